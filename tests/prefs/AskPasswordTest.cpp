#include "PlatformAuth.h"
#include "PlatformBundle.h"
#include "miscSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A bundle laid out in a temporary folder: an executable tool, a plain data file.
class AskPassword : public ::testing::Test {
  protected:
    fs::path dir, resources, log;
    void SetUp() override {
        char tmpl[] = "/tmp/askpw-XXXXXX";
        dir = mkdtemp(tmpl);
        fs::path contents = dir / "Quillon Updater.app" / "Contents";
        fs::create_directories(contents / "MacOS");
        resources = contents / "Resources";
        fs::create_directories(resources);
        setMainExecutablePathForTesting((contents / "MacOS" / "Quillon Updater").string());
        fs::copy_file("/bin/echo", resources / "tool");
        std::ofstream(resources / "data.txt") << "not a program";
        fs::permissions(resources / "data.txt", fs::perms(0644));
        log = dir / "calls";
        setenv("FAKE_PKEXEC_LOG", log.c_str(), 1);
        unsetenv("FAKE_PKEXEC_ANSWER");
        setAuthorizationHelperForTesting(FAKE_PKEXEC);
    }
    void TearDown() override {
        setAuthorizationHelperForTesting(nullptr);
        setMainExecutablePathForTesting("");
        fs::remove_all(dir);
    }
    size_t calls() const {
        std::ifstream in(log);
        size_t n = 0;
        for (std::string l; std::getline(in, l);)
            ++n;
        return n;
    }
    std::string lastCall() const {
        std::ifstream in(log);
        std::string last;
        for (std::string l; std::getline(in, l);)
            last = l;
        return last;
    }
};

TEST_F(AskPassword, PathForTool) {
    const std::string folder = fs::canonical(resources).string();
    struct Case {
        const char* name; // null: the folder itself
        bool expected;
        std::string path; // "" when no path is formed
    } cases[] = {
        {nullptr, true, folder},
        {"tool", true, folder + "/tool"},
        {"data.txt", false, folder + "/data.txt"}, // exists, not executable
        {"missing", false, folder + "/missing"},
        {"../Resources/tool", false, ""},
        {"/bin/sh", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name ? c.name : "(null)");
        char path[1024];
        memset(path, 'x', sizeof path);
        path[sizeof path - 1] = 0;
        CFStringRef name = c.name ? platformStringCreateUTF8(c.name) : nullptr;
        EXPECT_EQ(pathForTool(name, path), c.expected);
        if (!c.path.empty()) {
            EXPECT_EQ(std::string(path), c.path);
        }
        if (name) CFRelease(name);
    }

    setMainExecutablePathForTesting((dir / "not-in-a-bundle").string());
    char path[1024] = "";
    EXPECT_FALSE(pathForTool(nullptr, path));
}

// One process, one authorization: the steps share it and run in this order.
TEST_F(AskPassword, OneAuthorizationForTheRun) {
    setenv("FAKE_PKEXEC_ANSWER", "cancel", 1);
    EXPECT_EQ(askPassword(nullptr, nullptr, nullptr), errAuthorizationCanceled);
    EXPECT_EQ(calls(), 1u);

    unsetenv("FAKE_PKEXEC_ANSWER");
    EXPECT_EQ(askPassword(nullptr, nullptr, nullptr), noErr) << "granted: no tool, no failure";
    EXPECT_EQ(calls(), 2u);

    // The grant is kept: neither of these asks again.
    EXPECT_EQ(askPassword(nullptr, nullptr, nullptr), noErr);
    EXPECT_EQ(askPassword(CFSTR("missing"), nullptr, nullptr), errAuthorizationToolExecuteFailure);
    EXPECT_EQ(askPassword(CFSTR("data.txt"), nullptr, nullptr), errAuthorizationToolExecuteFailure);
    EXPECT_EQ(calls(), 2u);

    char a0[] = "hello", a1[] = "from root";
    char* args[] = {a0, a1, nullptr};
    FILE* pipe = nullptr;
    ASSERT_EQ(askPassword(CFSTR("tool"), args, &pipe), noErr);
    ASSERT_NE(pipe, nullptr);
    char line[64] = "";
    EXPECT_NE(fgets(line, sizeof line, pipe), nullptr);
    EXPECT_STREQ(line, "hello from root\n");
    fclose(pipe);
    EXPECT_EQ(lastCall(), fs::canonical(resources).string() + "/tool|hello|from root");
}

} // namespace
