#include "PlatformAuth.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class AuthTest : public ::testing::Test {
  protected:
    fs::path dir;
    fs::path log;
    void SetUp() override {
        char tmpl[] = "/tmp/authtest-XXXXXX";
        dir = mkdtemp(tmpl);
        log = dir / "calls";
        setenv("FAKE_PKEXEC_LOG", log.c_str(), 1);
        unsetenv("FAKE_PKEXEC_ANSWER");
        setAuthorizationHelperForTesting(FAKE_PKEXEC);
    }
    void TearDown() override {
        setAuthorizationHelperForTesting(nullptr);
        fs::remove_all(dir);
    }
    std::vector<std::string> calls() const {
        std::vector<std::string> lines;
        std::ifstream in(log);
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        return lines;
    }
    static std::string readAll(FILE* f) {
        std::string out;
        for (int c; (c = fgetc(f)) != EOF;)
            out += char(c);
        return out;
    }
};

TEST_F(AuthTest, ProgramThatCannotRunAsksOncePerReferenceThenFails) {
    AuthorizationRef ref = nullptr;
    ASSERT_EQ(AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &ref), noErr);
    ASSERT_NE(ref, nullptr);

    // Relative and missing paths both name no program; the rights are still obtained first.
    EXPECT_EQ(AuthorizationExecuteWithPrivileges(ref, "nill", 0, nullptr, nullptr),
              errAuthorizationToolExecuteFailure);
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_TRUE(calls()[0].ends_with("/true")) << calls()[0];

    // The reference now holds the grant: no second request.
    EXPECT_EQ(
        AuthorizationExecuteWithPrivileges(ref, (dir / "missing").c_str(), 0, nullptr, nullptr),
        errAuthorizationToolExecuteFailure);
    EXPECT_EQ(calls().size(), 1u);
}

TEST_F(AuthTest, RefusalsHaveTheirOwnStatus) {
    struct Case {
        const char* answer;
        const char* tool;
        OSStatus expected;
    } cases[] = {
        {"cancel", "nill", errAuthorizationCanceled},
        {"deny", "nill", errAuthorizationDenied},
        {"cancel", "/bin/cat", errAuthorizationCanceled},
        {"deny", "/bin/cat", errAuthorizationDenied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.answer) + " " + c.tool);
        setenv("FAKE_PKEXEC_ANSWER", c.answer, 1);
        AuthorizationRef ref = nullptr;
        AuthorizationCreate(nullptr, nullptr, 0, &ref);
        FILE* stream = reinterpret_cast<FILE*>(1);
        EXPECT_EQ(AuthorizationExecuteWithPrivileges(ref, c.tool, 0, nullptr, &stream), c.expected);
        EXPECT_EQ(stream, nullptr);
    }
}

TEST_F(AuthTest, StreamIsTheProgramsInputAndOutput) {
    AuthorizationRef ref = nullptr;
    AuthorizationCreate(nullptr, nullptr, 0, &ref);
    FILE* stream = nullptr;
    ASSERT_EQ(AuthorizationExecuteWithPrivileges(ref, "/bin/cat", 0, nullptr, &stream), noErr);
    ASSERT_NE(stream, nullptr);
    fputs("through the tool\n", stream);
    fflush(stream);
    shutdown(fileno(stream), SHUT_WR);
    EXPECT_EQ(readAll(stream), "through the tool\n");
    fclose(stream);
    EXPECT_EQ(calls(), std::vector<std::string>{"/bin/cat"});
}

TEST_F(AuthTest, ArgumentsReachTheProgramUnchanged) {
    AuthorizationRef ref = nullptr;
    AuthorizationCreate(nullptr, nullptr, 0, &ref);
    char a0[] = "$HOME", a1[] = "two words", a2[] = "`x`;\"q\"";
    char* args[] = {a0, a1, a2, nullptr};
    FILE* stream = nullptr;
    ASSERT_EQ(AuthorizationExecuteWithPrivileges(ref, "/bin/echo", 0, args, &stream), noErr);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(readAll(stream), "$HOME two words `x`;\"q\"\n");
    fclose(stream);
}

TEST_F(AuthTest, FailuresOfTheCallItself) {
    EXPECT_EQ(AuthorizationCreate(nullptr, nullptr, 0, nullptr), errAuthorizationInvalidPointer);
    EXPECT_EQ(AuthorizationExecuteWithPrivileges(nullptr, "/bin/cat", 0, nullptr, nullptr),
              errAuthorizationInvalidRef);

    AuthorizationRef ref = nullptr;
    AuthorizationCreate(nullptr, nullptr, 0, &ref);
    setAuthorizationHelperForTesting((dir / "no-such-helper").c_str());
    EXPECT_EQ(AuthorizationExecuteWithPrivileges(ref, "/bin/cat", 0, nullptr, nullptr),
              errAuthorizationInternal);
}

} // namespace
