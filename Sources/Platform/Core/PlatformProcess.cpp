#include "PlatformProcess.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace {

// Children still running, as plain slots so that endStartedProcesses can read them from
// any thread without taking a lock while the process is about to end.
constexpr int kSlots = 32;
std::atomic<pid_t> gChildren[kSlots];
std::atomic<FILE*> gStreams[kSlots];
std::mutex gSlotLock;

int takeSlot(pid_t pid, FILE* stream) {
    std::lock_guard lock(gSlotLock);
    for (int i = 0; i < kSlots; ++i) {
        if (gChildren[i].load() == 0) {
            gStreams[i].store(stream);
            gChildren[i].store(pid);
            return i;
        }
    }
    return -1;
}

// In the child between fork and exec only async-signal-safe calls are made.
[[noreturn]] void execChild(int childEnd, int errorPipe, pid_t parent, const char* directory,
                            const char* program, char* const* argv) {
#if defined(__linux__)
    // The tool must not outlive the updater: it is killed when the parent ends, and when the
    // parent has already gone before this took effect, it never starts.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
#else
    (void)parent;
#endif
    // Signal state is inherited across exec; give the tool the defaults.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    int err = 0;
    if (dup2(childEnd, 0) < 0 || dup2(childEnd, 1) < 0)
        err = errno;
    else if (chdir(directory) != 0)
        err = errno;
    else {
        if (childEnd > 1)
            close(childEnd);
        execv(program, argv);
        err = errno;
    }
    ssize_t ignored = write(errorPipe, &err, sizeof err);
    (void)ignored;
    _exit(127);
}

}  // namespace

FILE* openProcessStream(const std::string& directory, const std::string& program,
                        const std::vector<std::string>& args) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return nullptr;
    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        close(ends[0]);
        close(ends[1]);
        return nullptr;
    }

    // Everything the child needs is prepared before fork.
    std::vector<std::string> words;
    words.push_back(program);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        close(ends[0]);
        close(ends[1]);
        close(errorPipe[0]);
        close(errorPipe[1]);
        return nullptr;
    }
    if (pid == 0)
        execChild(ends[1], errorPipe[1], parent, directory.c_str(), program.c_str(),
                  argv.data());

    close(ends[1]);
    close(errorPipe[1]);
    int childErr = 0;
    ssize_t got;
    do
        got = read(errorPipe[0], &childErr, sizeof childErr);
    while (got < 0 && errno == EINTR);
    close(errorPipe[0]);
    FILE* stream = nullptr;
    if (got == 0) {
        fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
        stream = fdopen(ends[0], "r+");
    }
    if (!stream || takeSlot(pid, stream) < 0) {
        if (stream)
            fclose(stream);
        else
            close(ends[0]);
        if (got == 0)
            kill(pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return nullptr;
    }
    return stream;
}

int closeProcessStream(FILE* stream) {
    if (!stream)
        return -1;
    pid_t pid = 0;
    {
        std::lock_guard lock(gSlotLock);
        for (int i = 0; i < kSlots; ++i) {
            if (gChildren[i].load() != 0 && gStreams[i].load() == stream) {
                pid = gChildren[i].load();
                break;
            }
        }
    }
    if (pid == 0)
        return -1;
    fclose(stream);
    int status = 0;
    pid_t r;
    do
        r = waitpid(pid, &status, 0);
    while (r < 0 && errno == EINTR);
    {
        std::lock_guard lock(gSlotLock);
        for (int i = 0; i < kSlots; ++i) {
            if (gChildren[i].load() == pid) {
                gChildren[i].store(0);
                gStreams[i].store(nullptr);
            }
        }
    }
    return r < 0 ? -1 : status;
}

int waitForStreamInput(FILE* stream, int milliseconds) {
    if (!stream)
        return -1;
    pollfd p{fileno(stream), POLLIN, 0};
    int r = poll(&p, 1, milliseconds < 0 ? 0 : milliseconds);
    if (r < 0)
        return errno == EINTR ? 0 : -1;
    return r > 0 ? 1 : 0;
}

int processStreamDescriptor(FILE* stream) { return stream ? fileno(stream) : -1; }

void endStartedProcesses() {
    for (int i = 0; i < kSlots; ++i) {
        pid_t pid = gChildren[i].load();
        if (pid > 0)
            kill(pid, SIGKILL);
    }
}
