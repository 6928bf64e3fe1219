#include "PlatformAuth.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

struct AuthorizationOpaqueRef {
    bool granted = false;
};

namespace {

std::string testHelper;

const char* const kHelperPaths[] = {"/usr/bin/pkexec", "/bin/pkexec"};
const char* const kTruePaths[] = {"/usr/bin/true", "/bin/true"};

bool isExecutableFile(const char* path) {
    if (!path || path[0] != '/') return false;
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return access(path, X_OK) == 0;
}

// The helper to run through, "" when there is none.
std::string helperPath() {
    if (!testHelper.empty()) return testHelper;
    for (const char* p : kHelperPaths)
        if (isExecutableFile(p)) return p;
    return {};
}

// The name the kernel shows for a process running `path` (its base name, cut at 15 bytes).
std::string commandNameOf(const std::string& path) {
    auto slash = path.rfind('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return base.substr(0, 15);
}

std::string currentCommandName(pid_t pid) {
    std::string file = "/proc/" + std::to_string(pid) + "/comm";
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char buf[64];
    ssize_t n = read(fd, buf, sizeof buf - 1);
    close(fd);
    if (n <= 0) return {};
    std::string name(buf, size_t(n));
    if (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
}

// How the helper's ending reads as a decision: 126 is a dismissed or failed authentication,
// 127 a user who is not authorized (also pkexec's answer for a program it cannot find).
OSStatus statusOfEnding(int waitStatus) {
    if (!WIFEXITED(waitStatus)) return errAuthorizationInternal;
    switch (WEXITSTATUS(waitStatus)) {
    case 0:
        return noErr;
    case 126:
        return errAuthorizationCanceled;
    case 127:
        return errAuthorizationDenied;
    default:
        return errAuthorizationInternal;
    }
}

bool waitFor(pid_t pid, int* status) {
    while (waitpid(pid, status, 0) < 0)
        if (errno != EINTR) return false;
    return true;
}

// The started program is nobody's child to wait for: reap it when it ends so that it does not
// linger as a zombie.
void reapLater(pid_t pid) {
    std::thread([pid] {
        int status;
        waitFor(pid, &status);
    }).detach();
}

pid_t spawn(const std::vector<std::string>& argv, int streamFd) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (streamFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, streamFd, STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, streamFd, STDOUT_FILENO);
    }
    pid_t pid = -1;
    int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Asks for the rights alone by running the system's `true` through the helper.
OSStatus obtainRights(const std::string& helper) {
    std::string truePath;
    for (const char* p : kTruePaths)
        if (isExecutableFile(p)) truePath = p;
    if (truePath.empty()) return errAuthorizationInternal;
    pid_t pid = spawn({helper, truePath}, -1);
    if (pid < 0) return errAuthorizationInternal;
    int status;
    if (!waitFor(pid, &status)) return errAuthorizationInternal;
    return statusOfEnding(status);
}

// Waits until the helper has either executed the program (the process shows another name)
// or ended; polkit may keep the user at its dialog for as long as the user likes. Until the
// kernel has finished starting the helper, the child still shows our own name.
OSStatus awaitDecision(pid_t pid, const std::string& helper) {
    const std::string helperName = commandNameOf(helper);
    const std::string ownName = currentCommandName(getpid());
    for (;;) {
        int status;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            // 126 and 127 are the helper's refusals; any other ending is the program's own
            // (it ran and has finished already).
            OSStatus s = statusOfEnding(status);
            return s == errAuthorizationInternal ? noErr : s;
        }
        if (r < 0 && errno != EINTR) return errAuthorizationInternal;
        std::string name = currentCommandName(pid);
        if (!name.empty() && name != helperName && name != ownName) {
            reapLater(pid);
            return noErr;
        }
        usleep(10000);
    }
}

} // namespace

OSStatus AuthorizationCreate(const AuthorizationRights*, const AuthorizationEnvironment*,
                             AuthorizationFlags, AuthorizationRef* authorization) {
    if (!authorization) return errAuthorizationInvalidPointer;
    *authorization = new AuthorizationOpaqueRef;
    return noErr;
}

OSStatus AuthorizationExecuteWithPrivileges(AuthorizationRef authorization, const char* pathToTool,
                                            AuthorizationFlags, char* const* arguments,
                                            FILE** communicationsPipe) {
    if (communicationsPipe) *communicationsPipe = nullptr;
    if (!authorization) return errAuthorizationInvalidRef;
    if (!pathToTool) return errAuthorizationInvalidPointer;

    const std::string helper = helperPath();
    const bool direct = helper.empty();
    if (direct && geteuid() != 0) return errAuthorizationInternal;

    if (!isExecutableFile(pathToTool)) {
        if (!authorization->granted && !direct) {
            OSStatus s = obtainRights(helper);
            if (s != noErr) return s;
            authorization->granted = true;
        }
        return errAuthorizationToolExecuteFailure;
    }

    std::vector<std::string> argv;
    if (!direct) argv.push_back(helper);
    argv.push_back(pathToTool);
    for (char* const* a = arguments; a && *a; ++a)
        argv.push_back(*a);

    int sv[2] = {-1, -1};
    if (communicationsPipe && socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0)
        return errAuthorizationInternal;

    pid_t pid = spawn(argv, sv[1]);
    if (sv[1] >= 0) close(sv[1]);
    if (pid < 0) {
        if (sv[0] >= 0) close(sv[0]);
        return direct ? OSStatus(errAuthorizationToolExecuteFailure) : errAuthorizationInternal;
    }

    OSStatus status = noErr;
    if (direct)
        reapLater(pid);
    else
        status = awaitDecision(pid, helper);
    if (status != noErr) {
        if (sv[0] >= 0) close(sv[0]);
        return status;
    }
    authorization->granted = true;

    if (communicationsPipe) {
        FILE* stream = fdopen(sv[0], "r+");
        if (!stream) {
            close(sv[0]);
            return errAuthorizationInternal;
        }
        *communicationsPipe = stream;
    }
    return noErr;
}

void setAuthorizationHelperForTesting(const char* path) {
    testHelper = path ? path : "";
}
