#include "app/LanguageTable.h"

namespace kx {

void LanguageTable::Select(std::string_view name, const std::filesystem::path& programFolder) {
    name_ = std::string(name.substr(0, kLanguageNameCapacity));
    filePath_ = programFolder / "lng" / (name_ + ".dat");
    file_ = IniFile::Load(filePath_);
}

const std::string& LanguageTable::Text(std::string_view key, int section) {
    if (section >= 0 && section < static_cast<int>(kSectionNames.size()))
        buffer_ = file_.GetString(kSectionNames[static_cast<std::size_t>(section)], key, key,
                                  kTextBufferSize);
    else
        buffer_ = std::string(key.substr(0, kTextBufferSize - 1));
    ExpandLineBreaks(buffer_);
    return buffer_;
}

void ExpandLineBreaks(std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\\' && text[i + 1] == 'n') {
            text[i] = '\r';
            text[i + 1] = '\n';
            ++i;
        }
    }
}

LanguageTable& ViewerLanguage() {
    static LanguageTable table;
    return table;
}

const std::string& Text(std::string_view key, int section) {
    return ViewerLanguage().Text(key, section);
}

}  // namespace kx
