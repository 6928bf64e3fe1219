// Starting the tool: no shell between the folder name and the program, one stream for its
// input and output, reads that never block, and no child left behind when we end.
#include "PlatformProcess.h"
#include "PlatformTimeManager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Reads what the child writes until it ends, waiting between reads as the session does.
std::string readAll(FILE* s) {
    std::string out;
    for (;;) {
        clearerr(s);
        int c = fgetc(s);
        if (c != EOF) {
            out += char(c);
            continue;
        }
        if (feof(s))
            return out;
        EXPECT_TRUE(ferror(s)) << "nothing waiting is reported, not blocked on";
        if (waitForStreamInput(s, 1000) < 0)
            return out;
    }
}

fs::path makeTempDir(const std::string& name) {
    char tmpl[] = "/tmp/quillon-proc-XXXXXX";
    fs::path base = mkdtemp(tmpl);
    fs::path dir = base / name;
    fs::create_directories(dir);
    return dir;
}

TEST(ProcessStream, StartsInAHostileFolderWithoutAShell) {
    fs::path dir = makeTempDir("a b\"c'd$HOME`id`\\e;f");
    {
        std::ofstream(dir / "tool") << "#!/bin/sh\npwd\necho \"$1|$2\"\n";
    }
    chmod((dir / "tool").c_str(), 0755);
    FILE* s = openProcessStream(dir.string(), "./tool", {"x y", "$HOME"});
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(readAll(s), dir.string() + "\nx y|$HOME\n");
    int status = closeProcessStream(s);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    fs::remove_all(dir.parent_path());
}

TEST(ProcessStream, InputAndOutputShareTheStream) {
    FILE* s = openProcessStream("/", "/bin/sh", {"-c", "read a; echo \"got $a\"; exit 3"});
    ASSERT_NE(s, nullptr);
    clearerr(s);
    EXPECT_EQ(fgetc(s), EOF);
    EXPECT_FALSE(feof(s)) << "no output yet is not the end";
    fputs("hello\n", s);
    fflush(s);
    EXPECT_EQ(readAll(s), "got hello\n");
    int status = closeProcessStream(s);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
}

TEST(ProcessStream, WaitTimesOutWhenTheChildIsSilent) {
    FILE* s = openProcessStream("/", "/bin/sleep", {"5"});
    ASSERT_NE(s, nullptr);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(waitForStreamInput(s, 50), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(45));
    // Closing does not signal the child: it waits for it, so end it here.
    endStartedProcesses();
    int status = closeProcessStream(s);
    EXPECT_TRUE(WIFSIGNALED(status));
}

TEST(ProcessStream, FailuresToStartReturnNull) {
    EXPECT_EQ(openProcessStream("/nonexistent-folder", "/bin/true", {}), nullptr);
    EXPECT_EQ(openProcessStream("/", "./no-such-program", {}), nullptr);
    EXPECT_EQ(closeProcessStream(nullptr), -1);
    EXPECT_EQ(closeProcessStream(stdin), -1) << "not one of ours";
    EXPECT_EQ(waitForStreamInput(nullptr, 0), -1);
}

enum class Ending { exitNormally, exitToShellFromAnotherThread };

// A helper process starts a child that would sleep for 100 s, then ends; the child must end
// with it. The test process is made the children's reaper so it can see the child end.
TEST(ProcessStream, ChildEndsWithItsParent) {
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    for (Ending ending : {Ending::exitNormally, Ending::exitToShellFromAnotherThread}) {
        int pids[2];
        ASSERT_EQ(pipe(pids), 0);
        pid_t helper = fork();
        ASSERT_GE(helper, 0);
        if (helper == 0) {
            FILE* s = openProcessStream("/", "/bin/sh", {"-c", "echo $$; exec sleep 100"});
            if (!s)
                _exit(2);
            char line[32] = {};
            int n = 0;
            while (n < 31) {
                clearerr(s);
                int c = fgetc(s);
                if (c == '\n')
                    break;
                if (c != EOF)
                    line[n++] = char(c);
                else if (feof(s))
                    _exit(3);
                else
                    waitForStreamInput(s, 100);
            }
            if (write(pids[1], line, sizeof line) != sizeof line)
                _exit(4);
            if (ending == Ending::exitToShellFromAnotherThread) {
                std::thread([] { ExitToShell(); }).join();
            }
            _exit(0);
        }
        close(pids[1]);
        char line[32] = {};
        ASSERT_EQ(read(pids[0], line, sizeof line), ssize_t(sizeof line));
        close(pids[0]);
        int status = 0;
        ASSERT_EQ(waitpid(helper, &status, 0), helper);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        pid_t child = std::atoi(line);
        ASSERT_GT(child, 0);
        pid_t reaped = 0;
        for (int i = 0; i < 400 && reaped == 0; ++i) {
            reaped = waitpid(child, &status, WNOHANG);
            if (reaped == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_EQ(reaped, child) << "the child outlived its parent";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
}

}  // namespace
