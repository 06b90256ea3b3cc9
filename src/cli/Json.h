#pragma once
// Minimal JSON output for kxcard: objects written key by key, strings escaped.
#include <cstdint>
#include <string>
#include <string_view>

namespace kx::cli {

std::string JsonString(std::string_view text);

// Builds one JSON object: JsonObject().Add("a", 1).Add("b", "x").str() gives {"a":1,"b":"x"}.
class JsonObject {
  public:
    JsonObject& Add(std::string_view key, std::string_view value);
    JsonObject& Add(std::string_view key, const char* value) {
        return Add(key, std::string_view(value));
    }
    JsonObject& Add(std::string_view key, std::int64_t value);
    JsonObject& Add(std::string_view key, int value) { return Add(key, std::int64_t{value}); }
    JsonObject& Add(std::string_view key, double value);
    JsonObject& Add(std::string_view key, bool value);
    // value is inserted as it stands (an array or object built elsewhere).
    JsonObject& AddRaw(std::string_view key, std::string_view json);
    std::string str() const { return text_ + "}"; }

  private:
    void Key(std::string_view key);
    std::string text_ = "{";
};

}  // namespace kx::cli
