#include "host/JsonOutput.h"

#include "suite/util/JsonString.h"

#include <cstdio>

namespace locmail::host {

JsonObject& JsonObject::Add(std::string_view key, std::string_view json)
{
    if (!fields_.empty())
        fields_ += ",";
    fields_.append(util::JsonString(key)).append(":").append(json);
    return *this;
}

JsonObject& JsonObject::Text(std::string_view key, std::string_view value) { return Add(key, util::JsonString(value)); }

JsonObject& JsonObject::Number(std::string_view key, std::int64_t value) { return Add(key, std::to_string(value)); }

JsonObject& JsonObject::Bool(std::string_view key, bool value) { return Add(key, value ? "true" : "false"); }

JsonObject& JsonObject::Json(std::string_view key, std::string_view value) { return Add(key, value); }

std::string JsonArray(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (const auto& item : items)
        out.append(out.size() > 1 ? "," : "").append(item);
    return out + "]";
}

std::string JsonTexts(const std::vector<std::string>& texts)
{
    std::vector<std::string> quoted;
    for (const auto& text : texts)
        quoted.push_back(util::JsonString(text));
    return JsonArray(quoted);
}

void PrintJsonArray(const std::vector<std::string>& items)
{
    std::printf("[");
    for (std::size_t i = 0; i < items.size(); ++i)
        std::printf("%s\n%s", i ? "," : "", items[i].c_str());
    std::printf("%s]\n", items.empty() ? "" : "\n");
}

} // namespace locmail::host
