#include <gtest/gtest.h>

#include <future>
#include <string>

#include "shell/NamedMutex.h"

using namespace kaldor;

namespace {
const std::string kName = "KaldorConsoleTest_" + std::to_string(GetCurrentProcessId());
} // namespace

TEST(NamedMutex, OneOwnerAtATimeUntilItLetsGo) {
    NamedMutex first(kName), second(kName);
    ASSERT_TRUE(first.Acquire());
    EXPECT_TRUE(first.Holds());
    EXPECT_TRUE(first.Acquire()) << "the owner asking again keeps it";

    EXPECT_FALSE(second.Acquire()) << "a second owner while the first holds it";
    EXPECT_FALSE(second.Holds());
    // Another thread, as another console's start would be: refused too.
    EXPECT_FALSE(std::async(std::launch::async, [] { return NamedMutex(kName).Acquire(); }).get());

    first.Release();
    EXPECT_FALSE(first.Holds());
    EXPECT_TRUE(second.Acquire()) << "free again once released";
}

TEST(NamedMutex, TheEndOfTheOwnerFreesTheName) {
    {
        NamedMutex owner(kName);
        ASSERT_TRUE(owner.Acquire());
    }
    NamedMutex next(kName);
    EXPECT_TRUE(next.Acquire());
}
