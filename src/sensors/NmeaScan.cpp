#include "sensors/NmeaScan.h"

#include <cctype>
#include <cstdlib>
#include <limits>

namespace kx {

NmeaScan::NmeaScan(std::string_view line) : line_(line.substr(0, line.find('\0'))) {}

void NmeaScan::SkipBlanks() {
    while (pos_ < line_.size() && std::isspace(static_cast<unsigned char>(line_[pos_]))) ++pos_;
}

NmeaScan& NmeaScan::Literal(std::string_view text) {
    if (!ok_) return *this;
    if (line_.compare(pos_, text.size(), text) != 0) {
        ok_ = false;
        return *this;
    }
    pos_ += text.size();
    return *this;
}

bool NmeaScan::ReadInteger(std::int64_t& value) {
    SkipBlanks();
    std::size_t at = pos_;
    bool negative = false;
    if (at < line_.size() && (line_[at] == '+' || line_[at] == '-')) negative = line_[at++] == '-';
    if (at >= line_.size() || !std::isdigit(static_cast<unsigned char>(line_[at]))) return false;
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t magnitude = 0;
    bool saturated = false;
    for (; at < line_.size() && std::isdigit(static_cast<unsigned char>(line_[at])); ++at) {
        int digit = line_[at] - '0';
        if (magnitude > (kMax - digit) / 10)
            saturated = true;
        else if (!saturated)
            magnitude = magnitude * 10 + digit;
    }
    if (saturated) magnitude = kMax;
    value =
        negative ? (saturated ? std::numeric_limits<std::int64_t>::min() : -magnitude) : magnitude;
    pos_ = at;
    return true;
}

NmeaScan& NmeaScan::Int64(std::int64_t& value) {
    if (!ok_) return *this;
    std::int64_t read = 0;
    if (!ReadInteger(read)) {
        ok_ = false;
        return *this;
    }
    value = read;
    return *this;
}

NmeaScan& NmeaScan::Int(int& value) {
    if (!ok_) return *this;
    std::int64_t read = 0;
    if (!ReadInteger(read)) {
        ok_ = false;
        return *this;
    }
    if (read > std::numeric_limits<int>::max()) read = std::numeric_limits<int>::max();
    if (read < std::numeric_limits<int>::min()) read = std::numeric_limits<int>::min();
    value = static_cast<int>(read);
    return *this;
}

NmeaScan& NmeaScan::Char(char& value) {
    if (!ok_) return *this;
    if (pos_ >= line_.size()) {
        ok_ = false;
        return *this;
    }
    value = line_[pos_++];
    return *this;
}

NmeaScan& NmeaScan::Double(double& value) {
    if (!ok_) return *this;
    SkipBlanks();
    const char* start = line_.c_str() + pos_;
    char* end = nullptr;
    double read = std::strtod(start, &end);
    if (end == start) {
        ok_ = false;
        return *this;
    }
    value = read;
    pos_ += static_cast<std::size_t>(end - start);
    return *this;
}

}  // namespace kx
