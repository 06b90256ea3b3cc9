#include "cli/Arguments.h"

#include <cstdio>
#include <cstdlib>

namespace kx::cli {

Arguments::Arguments(const std::vector<std::string>& words,
                     const std::set<std::string>& valueOptions,
                     const std::set<std::string>& flagOptions) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("--", 0) != 0 || word == "--") {
            positional_.push_back(word);
        } else if (flagOptions.count(word)) {
            flags_.insert(word);
        } else if (valueOptions.count(word)) {
            if (i + 1 >= words.size()) {
                error_ = "option " + word + " needs a value";
                return;
            }
            options_.emplace_back(word, words[++i]);
        } else {
            error_ = "unknown option " + word;
            return;
        }
    }
}

std::optional<std::string> Arguments::Option(const std::string& name) const {
    std::optional<std::string> value;
    for (const auto& [optionName, optionValue] : options_)
        if (optionName == name) value = optionValue;  // the last one given wins
    return value;
}

int IntOption(const Arguments& args, const std::string& name) {
    auto text = args.Option(name);
    if (!text || text->empty()) return -1;
    char* end = nullptr;
    long value = std::strtol(text->c_str(), &end, 10);
    if (*end || value < 0 || value > 1000000) return -1;
    return int(value);
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "kxcard: %s\n", message.c_str());
    return 2;
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "kxcard: %s\n", message.c_str());
    return 1;
}

}  // namespace kx::cli
