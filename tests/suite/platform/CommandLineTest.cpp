#include "suite/platform/Process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SplitCommandLineTest, WindowsRuntimeRules)
{
    using Args = std::vector<std::string>;
    struct Case {
        const char* line;
        Args want;
    };
    const Case cases[] = {
        {"", {}},
        {" \t ", {}},
        {"a b c", {"a", "b", "c"}},
        {"  a\t b  ", {"a", "b"}},
        {"\"a b\" c", {"a b", "c"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\"", {""}},
        {"a \"\" b", {"a", "", "b"}},
        {"\"unterminated arg", {"unterminated arg"}},
        {"C:\\dir\\prog.exe x", {"C:\\dir\\prog.exe", "x"}},
        {"a\\\\b", {"a\\\\b"}},                 // backslashes not before a quote are literal
        {"a\\\\\"b c\"", {"a\\b c"}},           // 2n + quote: n backslashes, quote groups
        {"a\\\"b", {"a\"b"}},                   // 2n+1 + quote: literal quote
        {"a\\\\\\\"b", {"a\\\"b"}},             // three backslashes and a quote
        {"\"x\\\" y\"", {"x\" y"}},             // escaped quote inside quotes
        {"\"a\"\"b\" c", {"a\"b", "c"}},        // doubled quote inside quotes
        {"end\\", {"end\\"}},
        {"/usr/bin/prog --opt=\"%F\" 'single'", {"/usr/bin/prog", "--opt=%F", "'single'"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(locmail::SplitCommandLine(c.line), c.want) << "line: " << c.line;
}

} // namespace
