#include "suite/platform/DynamicLibrary.h"

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

using locmail::DynamicLibrary;

bool StillLoaded(const char* path)
{
    void* handle = ::dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        ::dlclose(handle);
    return handle != nullptr;
}

TEST(DynamicLibraryTest, CallsAFunctionReportsWhatIsMissingAndTheLastOwnerCloses)
{
    {
        DynamicLibrary first(LOCMAIL_TEST_PLUGIN);
        ASSERT_TRUE(first.IsLoaded()) << first.ErrorText();
        DynamicLibrary library(std::move(first));
        EXPECT_FALSE(first.IsLoaded());
        auto add = library.Function<int(int, int)>("PlatformTestAdd");
        ASSERT_NE(add, nullptr);
        EXPECT_EQ(add(2, 3), 5);
        EXPECT_EQ(library.Symbol("NoSuchFunction"), nullptr);
        EXPECT_NE(library.ErrorText().find("NoSuchFunction"), std::string::npos) << library.ErrorText();
        EXPECT_TRUE(StillLoaded(LOCMAIL_TEST_PLUGIN));
    }
    EXPECT_FALSE(StillLoaded(LOCMAIL_TEST_PLUGIN)) << "the last owner unloads";
    DynamicLibrary missing("/nonexistent/libnothing.so");
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_NE(missing.ErrorText().find("/nonexistent/libnothing.so"), std::string::npos);
    EXPECT_EQ(missing.Symbol("PlatformTestAdd"), nullptr);
}

} // namespace
