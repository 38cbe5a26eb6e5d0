#include "suite/util/JsonString.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonString, EscapesWhatJsonForbidsAndReplacesEveryByteThatIsNotWellFormedUtf8)
{
    const std::pair<std::string, std::string> cases[] = {
        {"say \"hi\" \\ there", "\"say \\\"hi\\\" \\\\ there\""},
        {std::string("a\0b\x01\x1f\x7f", 6), "\"a\\u0000b\\u0001\\u001f\\u007f\""},
        {"\r\n\t\b\f", "\"\\r\\n\\t\\b\\f\""},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xA7", "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xA7\""},
        {"\xFF@x", "\"\xEF\xBF\xBD@x\""},
        {"cut \xC3", "\"cut \xEF\xBF\xBD\""},
        {"\xC3\x28", "\"\xEF\xBF\xBD(\""},
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                                 // overlong '/'
        {"\xE0\x80\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},                 // overlong, three bytes
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},                 // a surrogate
        {"\xF4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""}, // above U+10FFFF
        {"\xF4\x8F\xBF\xBF", "\"\xF4\x8F\xBF\xBF\""},                                 // U+10FFFF itself
    };
    for (const auto& [text, json] : cases)
        EXPECT_EQ(locmail::util::JsonString(text), json) << text;
}

} // namespace
