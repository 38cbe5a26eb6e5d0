#include "suite/platform/Config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(ConfigTest, EnvironmentThenOptionThenDefault)
{
    struct Case {
        const char* env; // null: unset
        const char* option;
        std::string want;
    };
    const Case cases[] = {
        {nullptr, "", locmail::kDefaultConfigPath},
        {nullptr, "/opt/opt.ini", "/opt/opt.ini"},
        {"/env/env.ini", "/opt/opt.ini", "/env/env.ini"},
        {"/env/env.ini", "", "/env/env.ini"},
        {"", "/opt/opt.ini", "/opt/opt.ini"},
        {"", "", locmail::kDefaultConfigPath},
    };
    for (const Case& c : cases) {
        if (c.env)
            ::setenv("LOCMAIL_CONFIG", c.env, 1);
        else
            ::unsetenv("LOCMAIL_CONFIG");
        locmail::SetConfigOption(c.option);
        EXPECT_EQ(locmail::ConfigFilePath(), c.want)
            << "env " << (c.env ? c.env : "(unset)") << ", option " << c.option;
    }
    ::unsetenv("LOCMAIL_CONFIG");
    locmail::SetConfigOption("");
    EXPECT_STREQ(locmail::kDefaultConfigPath, "/etc/locmail/qxmta.ini");
}

} // namespace
