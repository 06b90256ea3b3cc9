#pragma once
// Cutting UTF-8 text to a byte or character limit without splitting a character.
#include <cstddef>
#include <string>
#include <string_view>

namespace kx {

// The longest prefix of text of at most maxBytes bytes that does not end inside a UTF-8
// character. Text that is not valid UTF-8 is cut at most three bytes before the limit.
std::string_view CutUtf8(std::string_view text, std::size_t maxBytes);

// The first maxCharacters characters of UTF-8 text (a character is a lead byte and the
// continuation bytes after it; the first byte always starts one).
std::string_view FirstCharacters(std::string_view text, std::size_t maxCharacters);

// The number of characters of UTF-8 text, counted as FirstCharacters counts them.
std::size_t CharacterCount(std::string_view text);

// Characters from..from+count of UTF-8 text (clamped to the text).
std::string_view CharacterRange(std::string_view text, std::size_t from, std::size_t count);

// 8-bit text in the Windows Western code page subset that maps one to one (ISO 8859-1) as UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);

}  // namespace kx
