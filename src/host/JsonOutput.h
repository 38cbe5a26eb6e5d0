// The --json form of the listings: one array of objects with lower-case keys,
// each text quoted by util::JsonString (so any byte from mail comes out as
// valid JSON).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace locmail::host {

class JsonObject {
public:
    JsonObject& Text(std::string_view key, std::string_view value);
    JsonObject& Number(std::string_view key, std::int64_t value);
    JsonObject& Bool(std::string_view key, bool value);
    // VALUE is JSON already (an array or an object).
    JsonObject& Json(std::string_view key, std::string_view value);
    std::string Done() const { return "{" + fields_ + "}"; }

private:
    JsonObject& Add(std::string_view key, std::string_view json);
    std::string fields_;
};

std::string JsonTexts(const std::vector<std::string>& texts);
std::string JsonArray(const std::vector<std::string>& items);

// ITEMS as an array on standard output, one item to a line.
void PrintJsonArray(const std::vector<std::string>& items);

} // namespace locmail::host
