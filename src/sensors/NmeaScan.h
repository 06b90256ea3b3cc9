#pragma once
// Field-by-field reading of one NMEA line with the rules of a C scan format: numbers skip
// leading blanks, a character field takes the next character as it is, literal text must match.
// Once a field fails, every later field fails too and keeps its earlier value, so a caller reads
// "as far as the line matches". Integers saturate instead of overflowing.
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

class NmeaScan {
  public:
    // The line ends at its first NUL byte, as a C string would.
    explicit NmeaScan(std::string_view line);

    NmeaScan& Literal(std::string_view text);
    NmeaScan& Int64(std::int64_t& value);
    NmeaScan& Int(int& value);
    NmeaScan& Char(char& value);
    NmeaScan& Double(double& value);

    bool ok() const { return ok_; }

  private:
    void SkipBlanks();
    bool ReadInteger(std::int64_t& value);

    std::string line_;  // NUL-terminated copy, so number parsing cannot read past the end
    std::size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace kx
