#include "platform/AsciiCase.h"

#include <gtest/gtest.h>

namespace {

TEST(AsciiCase, FoldsAsciiLettersOnly) {
    // Windows-1252 letters (0xC9 'E acute', 0xE9 'e acute') and punctuation are left alone,
    // whatever the process's locale.
    EXPECT_EQ(platform::ToUpperAscii("gaz=Argon \xE9[z]"), "GAZ=ARGON \xE9[Z]");
    EXPECT_EQ(platform::ToLowerAscii("USERS.DAT \xC9@"), "users.dat \xC9@");
    EXPECT_FALSE(platform::EqualNoCase("\xC9T\xC9", "\xE9t\xE9"));
    EXPECT_FALSE(platform::EqualNoCase("@", "`"));  // 0x40 and 0x60 differ only in the case bit
}

TEST(AsciiCase, Comparisons) {
    struct Case {
        std::string_view a, b;
        bool equal, starts, ends;
    };
    const Case cases[] = {
        {"GROUP.dat", "group.DAT", true, true, true},
        {"GROUP.dat", "group.", false, true, false},
        {"SCO001.002", ".002", false, false, true},
        {"HST", "HSTX", false, false, false},
        {"", "", true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + std::string(c.b));
        EXPECT_EQ(platform::EqualNoCase(c.a, c.b), c.equal);
        EXPECT_EQ(platform::StartsWithNoCase(c.a, c.b), c.starts);
        EXPECT_EQ(platform::EndsWithNoCase(c.a, c.b), c.ends);
    }
}

}  // namespace
