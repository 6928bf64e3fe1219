// The debug console: closed at the application's start, and when opened, a window fitted to
// the screen whose text can be selected and saved.
#include "PlatformApp.h"
#include "PlatformConsole.h"
#include "_printf.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

TEST(Console, ApplicationStartRecordsOnlyVersionAndHeader) {
    openConsole(0x1E, "Appl:");
    EXPECT_EQ(dbDlog, nullptr);
    EXPECT_EQ(dbMLTE, nullptr);
    EXPECT_STREQ(_hdrConsole, "Appl:");
    EXPECT_NE(_MacOSversion, 0);
    // A header longer than 31 characters is cut, never overrun.
    openConsole(0x1E, "%s", "0123456789012345678901234567890123456789");
    EXPECT_STREQ(_hdrConsole, "0123456789012345678901234567890");
}

TEST(Console, OpenedWindowIsFittedToTheScreenAndSavesItsText) {
    platformInitApplicationForTesting();
    Rect screen = GetQDGlobalsScreenBits();
    Rect bounds{10, 0, 4000, 4000};
    openConsole(0x80, "Dbg:", "\x05Trace", &bounds);
    ASSERT_NE(dbDlog, nullptr);
    ASSERT_NE(dbMLTE, nullptr);
    EXPECT_STREQ(_hdrConsole, "Dbg:");
    // Adjusted in place: top and left at least 50 and 4, inside the screen's margins.
    EXPECT_EQ(bounds.top, 50);
    EXPECT_EQ(bounds.left, 4);
    EXPECT_EQ(bounds.bottom, screen.bottom - 4);
    EXPECT_EQ(bounds.right, screen.right - 100);
    Rect placed = GetConsoleBounds(dbDlog);
    EXPECT_EQ(placed.top, bounds.top);
    EXPECT_EQ(placed.left, bounds.left);

    EXPECT_FALSE(IsConsoleMenuItemEnabled(dbDlog, 131, 0)) << "nothing to save yet";
    TXNAppendText(dbMLTE, CFSTR("line one\nline two\n"));
    EXPECT_TRUE(TXNIsSelectionEmpty(dbMLTE));
    EXPECT_FALSE(IsConsoleMenuItemEnabled(dbDlog, 132, 2)) << "nothing selected to copy";
    menuConsole(132, 5);
    EXPECT_FALSE(TXNIsSelectionEmpty(dbMLTE));
    EXPECT_TRUE(IsConsoleMenuItemEnabled(dbDlog, 132, 1));
    EXPECT_TRUE(IsConsoleMenuItemEnabled(dbDlog, 132, 2));

    EXPECT_EQ(_dbSave(nullptr), paramErr);
    setNavPutFileAnswerForTesting(true, "");
    EXPECT_EQ(_dbSave(dbMLTE), userCanceledErr);
    char path[] = "/tmp/quillon-console-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    setNavPutFileAnswerForTesting(true, path);
    EXPECT_EQ(_dbSave(dbMLTE), noErr);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "line one\nline two\n");
    setNavPutFileAnswerForTesting(true, "/nonexistent-folder/x.txt");
    EXPECT_EQ(_dbSave(dbMLTE), ioErr);
    std::remove(path);
}

TEST(Console, DefaultTitleAndBounds) {
    platformInitApplicationForTesting();
    openConsole(0x80, nullptr);
    ASSERT_NE(dbDlog, nullptr);
    Rect screen = GetQDGlobalsScreenBits();
    Rect placed = GetConsoleBounds(dbDlog);
    EXPECT_EQ(placed.top, 50);
    EXPECT_EQ(placed.left, 10);
    EXPECT_EQ(placed.bottom, std::min<int>(650, screen.bottom - 4));
    EXPECT_EQ(placed.right, std::min<int>(710, screen.right - 100));
}

TEST(ConsoleDeathTest, CloseBoxEndsTheApplication) {
    EXPECT_EXIT(
        {
            platformInitApplicationForTesting();
            openConsole(0x80, nullptr);
            clickConsoleCloseBoxForTesting(dbDlog);
            std::fprintf(stderr, "still running\n");
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), ::testing::Not(::testing::HasSubstr("still running")));
}

}  // namespace
