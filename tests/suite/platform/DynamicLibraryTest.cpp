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

TEST(DynamicLibraryTest, LoadsAndCallsAFunction)
{
    DynamicLibrary library(LOCMAIL_TEST_PLUGIN);
    ASSERT_TRUE(library.IsLoaded()) << library.ErrorText();
    auto add = library.Function<int(int, int)>("PlatformTestAdd");
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);
    EXPECT_TRUE(library.ErrorText().empty());
}

TEST(DynamicLibraryTest, MissingSymbolIsNullWithAReason)
{
    DynamicLibrary library(LOCMAIL_TEST_PLUGIN);
    ASSERT_TRUE(library.IsLoaded());
    EXPECT_EQ(library.Symbol("NoSuchFunction"), nullptr);
    EXPECT_NE(library.ErrorText().find("NoSuchFunction"), std::string::npos) << library.ErrorText();
}

TEST(DynamicLibraryTest, MissingLibraryIsNotLoadedWithAReason)
{
    DynamicLibrary library("/nonexistent/libnothing.so");
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_NE(library.ErrorText().find("/nonexistent/libnothing.so"), std::string::npos);
    EXPECT_EQ(library.Symbol("PlatformTestAdd"), nullptr);
    EXPECT_EQ(library.ErrorText(), "no library loaded");
}

TEST(DynamicLibraryTest, OwnershipMovesAndTheLastOwnerUnloads)
{
    {
        DynamicLibrary first(LOCMAIL_TEST_PLUGIN);
        DynamicLibrary second(std::move(first));
        EXPECT_FALSE(first.IsLoaded());
        EXPECT_NE(second.Symbol("PlatformTestAdd"), nullptr);
        DynamicLibrary third;
        third = std::move(second);
        EXPECT_TRUE(third.IsLoaded());
        EXPECT_TRUE(StillLoaded(LOCMAIL_TEST_PLUGIN));
    }
    EXPECT_FALSE(StillLoaded(LOCMAIL_TEST_PLUGIN));

    DynamicLibrary closed(LOCMAIL_TEST_PLUGIN);
    closed.Close();
    EXPECT_FALSE(closed.IsLoaded());
    EXPECT_FALSE(StillLoaded(LOCMAIL_TEST_PLUGIN));
}

} // namespace
