#include "cli/JsonReader.h"

#include <charconv>

namespace kx::cli {
namespace {

// Nesting deeper than this is refused rather than recursed into.
constexpr int kMaxDepth = 64;

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {}

    bool AtEnd() {
        SkipSpace();
        return pos_ >= text_.size();
    }
    bool Value(JsonValue& value, int depth);
    const std::string& error() const { return error_; }

  private:
    bool Fail(const std::string& message) {
        if (error_.empty()) error_ = message + " at offset " + std::to_string(pos_);
        return false;
    }
    void SkipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }
    bool Literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return Fail("unexpected text");
        pos_ += word.size();
        return true;
    }
    bool Hex4(std::uint32_t& code);
    bool String(std::string& out);
    bool Number(std::string& out);
    bool Array(JsonValue& value, int depth);
    bool Object(JsonValue& value, int depth);

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string error_;
};

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool Parser::Hex4(std::uint32_t& code) {
    if (text_.size() - pos_ < 4) return Fail("short \\u escape");
    code = 0;
    for (int i = 0; i < 4; ++i) {
        char c = text_[pos_++];
        int digit = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
        if (digit < 0) return Fail("bad \\u escape");
        code = code * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

bool Parser::String(std::string& out) {
    ++pos_;  // the opening quote
    while (pos_ < text_.size()) {
        char c = text_[pos_++];
        if (c == '"') return true;
        if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in a string");
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos_ >= text_.size()) break;
        char escape = text_[pos_++];
        switch (escape) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                std::uint32_t code = 0;
                if (!Hex4(code)) return false;
                if (code >= 0xD800 && code < 0xDC00) {
                    std::uint32_t low = 0;
                    if (text_.substr(pos_, 2) != "\\u") return Fail("lone surrogate");
                    pos_ += 2;
                    if (!Hex4(low)) return false;
                    if (low < 0xDC00 || low >= 0xE000) return Fail("lone surrogate");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xDC00 && code < 0xE000) {
                    return Fail("lone surrogate");
                }
                AppendUtf8(out, code);
                break;
            }
            default:
                return Fail("bad escape");
        }
    }
    return Fail("unterminated string");
}

bool Parser::Number(std::string& out) {
    const std::size_t start = pos_;
    auto digits = [&] {
        std::size_t first = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
        return pos_ > first;
    };
    if (text_[pos_] == '-') ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '0') {
        ++pos_;
    } else if (!digits()) {
        return Fail("bad number");
    }
    if (pos_ < text_.size() && text_[pos_] == '.') {
        ++pos_;
        if (!digits()) return Fail("bad number");
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
        ++pos_;
        if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
        if (!digits()) return Fail("bad number");
    }
    out = std::string(text_.substr(start, pos_ - start));
    return true;
}

bool Parser::Array(JsonValue& value, int depth) {
    value.type = JsonValue::Type::Array;
    ++pos_;
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == ']') {
        ++pos_;
        return true;
    }
    while (true) {
        JsonValue item;
        if (!Value(item, depth + 1)) return false;
        value.items.push_back(std::move(item));
        SkipSpace();
        if (pos_ >= text_.size()) return Fail("unterminated array");
        char c = text_[pos_++];
        if (c == ']') return true;
        if (c != ',') return Fail("expected , or ]");
    }
}

bool Parser::Object(JsonValue& value, int depth) {
    value.type = JsonValue::Type::Object;
    ++pos_;
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == '}') {
        ++pos_;
        return true;
    }
    while (true) {
        SkipSpace();
        if (pos_ >= text_.size() || text_[pos_] != '"') return Fail("expected a member name");
        std::string name;
        if (!String(name)) return false;
        SkipSpace();
        if (pos_ >= text_.size() || text_[pos_] != ':') return Fail("expected :");
        ++pos_;
        JsonValue member;
        if (!Value(member, depth + 1)) return false;
        value.members.push_back(JsonMember{std::move(name), std::move(member)});
        SkipSpace();
        if (pos_ >= text_.size()) return Fail("unterminated object");
        char c = text_[pos_++];
        if (c == '}') return true;
        if (c != ',') return Fail("expected , or }");
    }
}

bool Parser::Value(JsonValue& value, int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    SkipSpace();
    if (pos_ >= text_.size()) return Fail("expected a value");
    switch (text_[pos_]) {
        case '{':
            return Object(value, depth);
        case '[':
            return Array(value, depth);
        case '"':
            value.type = JsonValue::Type::String;
            return String(value.text);
        case 't':
            value.type = JsonValue::Type::Bool;
            value.boolean = true;
            return Literal("true");
        case 'f':
            value.type = JsonValue::Type::Bool;
            return Literal("false");
        case 'n':
            value.type = JsonValue::Type::Null;
            return Literal("null");
        default:
            value.type = JsonValue::Type::Number;
            return Number(value.text);
    }
}

}  // namespace

std::optional<std::int64_t> JsonValue::Integer() const {
    if (type != Type::Number || text.find_first_of(".eE") != std::string::npos) return std::nullopt;
    std::int64_t number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
}

std::optional<std::vector<JsonValue>> ParseJsonSequence(std::string_view text, std::string& error) {
    Parser parser(text);
    std::vector<JsonValue> values;
    while (!parser.AtEnd()) {
        JsonValue value;
        if (!parser.Value(value, 0)) {
            error = parser.error();
            return std::nullopt;
        }
        values.push_back(std::move(value));
    }
    if (values.empty()) {
        error = "no JSON value";
        return std::nullopt;
    }
    return values;
}

}  // namespace kx::cli
