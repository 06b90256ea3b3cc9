#include "camera/Utf8Text.h"

namespace kx {
namespace {

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Byte offset of character number index (or the text's end).
std::size_t CharacterOffset(std::string_view text, std::size_t index) {
    std::size_t offset = 0;
    std::size_t seen = 0;
    while (offset < text.size()) {
        if (offset == 0 || !IsContinuation(text[offset])) {
            if (seen == index) return offset;
            ++seen;
        }
        ++offset;
    }
    return text.size();
}

}  // namespace

std::string_view CutUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    // A UTF-8 character is at most four bytes, so at most three continuation bytes are passed.
    std::size_t end = maxBytes;
    for (int step = 0; step < 3 && end > 0 && IsContinuation(text[end]); ++step) --end;
    if (IsContinuation(text[end])) end = maxBytes;
    return text.substr(0, end);
}

std::string_view FirstCharacters(std::string_view text, std::size_t maxCharacters) {
    return text.substr(0, CharacterOffset(text, maxCharacters));
}

std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (i == 0 || !IsContinuation(text[i])) ++count;
    return count;
}

std::string_view CharacterRange(std::string_view text, std::size_t from, std::size_t count) {
    std::size_t begin = CharacterOffset(text, from);
    std::size_t end = CharacterOffset(text, from + count);
    return text.substr(begin, end - begin);
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string text;
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

}  // namespace kx
