// Send scripts and the checks of their command-line texts.
#include "rs232.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// Runs a script into a pipe and returns the bytes that came out and the echo.
struct Sent {
    std::string bytes;
    std::string echo;
};

Sent send(const char* script, int verbose, float pause = 0, int unit = 1) {
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(rs232_send(ends[1], script, pause, unit, verbose), 1);
    fflush(stdout);
    Sent sent;
    sent.echo = testing::internal::GetCapturedStdout();
    close(ends[1]);
    char buffer[256];
    for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;)
        sent.bytes.append(buffer, size_t(got));
    close(ends[0]);
    return sent;
}

TEST(Rs232Send, EscapesAndHexRuns) {
    using namespace std::string_literals;
    struct Case {
        const char* script;
        std::string bytes;
        const char* echo;
    } cases[] = {
        {"AT\\r", "AT\r", "send AT<cr>\n"},
        {"\\h41 42\\h", "AB", "send <hex>(41)(42)<ascii>\n"},
        {"\\h4142\\hC", "ABC", "send <hex>(41)(42)<ascii>C\n"},
        {"\\hff 00 0a\\h", "\xff\x00\x0a"s, "send <hex>(ff)(0)(a)<ascii>\n"},
        {"\\-\\0\\\\\\n", "-\0\\\n"s, "send -<null>\\<lf>\n"},
        {"\\x", "\\x", "send \\x\n"},
        {"a\\", "a\\", "send a\\\n"},
        {"\\h\\r41\\h", "\rA", "send <hex><cr>(41)<ascii>\n"},
        // A space before an escape is the one skipped, not the first half of a pair.
        {"\\h41 \\h!", "A!", "send <hex>(41)<ascii>!\n"},
        // An incomplete pair at the end is not sent, and nothing past the script is read.
        {"\\h414", "A", "send <hex>(41)\n"},
        {"\\hzz\\h", "\0"s, "send <hex>(0)<ascii>\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        Sent sent = send(c.script, 1);
        EXPECT_EQ(sent.bytes, c.bytes);
        EXPECT_EQ(sent.echo, c.echo);
        EXPECT_EQ(send(c.script, 0).echo, "");
    }
}

TEST(Rs232Send, WaitsAndPausesSendNothing) {
    auto start = std::chrono::steady_clock::now();
    Sent sent = send("\\w250 OK", 1);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(sent.bytes, "OK");
    EXPECT_EQ(sent.echo, "send <wait>\nwait 250.000000 mSec\nOK\n");
    EXPECT_GE(waited, std::chrono::milliseconds(250));

    EXPECT_EQ(send("a\\pb", 1, 0.5f, 1).echo, "send a<pause>\nwait 0.500000 mSec\nb\n");
    EXPECT_EQ(send("\\w0.01", 1, 0, 2).echo, "send <wait>\nwait 0.010000 seconds\n\n");
}

TEST(Rs232Send, AFailedWriteClosesThePortAndTheScriptGoesOn) {
    int readOnly = open("/dev/null", O_RDONLY);
    fd = open("/dev/null", O_WRONLY);
    ASSERT_GE(readOnly, 0);
    ASSERT_GE(fd, 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(rs232_send(readOnly, "ab", 0, 1, 1), 1);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "send ab\n");
    EXPECT_EQ(fcntl(fd, F_GETFD), -1) << "Abort closed the port in fd";
    close(readOnly);
}

TEST(Rs232Wait, ExtremeTimesAreHeldInRange) {
    testing::internal::CaptureStdout();
    rs232_wait(-5.0f, 1, 1);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "wait -5.000000 mSec\n");
}

TEST(Hex2dec, Values) {
    struct Case {
        const char* text;
        int value;
    } cases[] = {
        {"ff", 255}, {"FF", 255}, {"0a", 10}, {"100", 256}, {"7fffffff", 0x7fffffff},
        {"1G", 0},   {"", 0},     {"-1", 0},  {"g", 0},     {" 1", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hex2dec(c.text), c.value) << c.text;
}

TEST(CkAtof, AcceptsDigitsAndPoints) {
    EXPECT_FLOAT_EQ(ck_atof("2.5"), 2.5f);
    EXPECT_FLOAT_EQ(ck_atof("250"), 250.0f);
    EXPECT_FLOAT_EQ(ck_atof("1.2.3"), 1.2f);
    EXPECT_FLOAT_EQ(ck_atof(""), 0.0f);
}

TEST(CkAtofDeathTest, AnyOtherCharacterEndsTheProcess) {
    for (const char* text : {"2,5", "-1", "1e3", " 1"}) {
        EXPECT_EXIT(ck_atof(text), testing::ExitedWithCode(255), "^Error!\n$") << text;
    }
}

TEST(Setstr, CopiesAUsableArgument) {
    char destination[16];
    memset(destination, 'z', sizeof destination);
    EXPECT_EQ(setstr(destination, "\\-x", 15), destination);
    EXPECT_STREQ(destination, "\\-x");
    EXPECT_STREQ(setstr(destination, "exactly15chars!", 15), "exactly15chars!");
    EXPECT_STREQ(setstr(destination, "", 15), "");
}

TEST(SetstrDeathTest, UnusableArgumentsEndTheProcess) {
    char destination[16];
    const char* dash = "^to send NULL use -s\"\\\\0\" not -s\"\" or -s\n"
                       "to include '-' character in send string use '\\\\-'\n$";
    EXPECT_EXIT(setstr(destination, "-x", 15), testing::ExitedWithCode(255), dash);
    EXPECT_EXIT(setstr(destination, "a-b", 15), testing::ExitedWithCode(255), dash);
    EXPECT_EXIT(setstr(destination, "sixteen chars!!!", 15), testing::ExitedWithCode(255),
                "^sixteen chars!!! argument too long\n$");
}

} // namespace
