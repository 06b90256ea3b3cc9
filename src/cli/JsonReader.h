#pragma once
// Minimal JSON input for kxcard: a value tree parsed from text (RFC 8259), with the numbers kept
// as their text so that integers can be checked exactly.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kx::cli {

struct JsonMember;

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    std::string text;  // a string's UTF-8 bytes, or a number as written
    std::vector<JsonValue> items;
    std::vector<JsonMember> members;  // in the order written

    // A number written as an integer (no fraction, no exponent) that fits 64 bits.
    std::optional<std::int64_t> Integer() const;
};

struct JsonMember {
    std::string name;
    JsonValue value;
};

// Parses a sequence of JSON values separated by white space (one value is a sequence of one).
// Nothing, with a message in error, when the text is not such a sequence.
std::optional<std::vector<JsonValue>> ParseJsonSequence(std::string_view text, std::string& error);

}  // namespace kx::cli
