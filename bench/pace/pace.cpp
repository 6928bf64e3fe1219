// Pace of the download tool at real speed: a 20,000-byte image into the enclosure
// simulator. Prints the mean pace of the image bytes over the 1000 bytes/s that the 1 ms
// gap allows, and the tool's CPU time as a share of the transfer's wall time.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

static pid_t start(const std::vector<std::string>& argv, const std::string& dir, int* outFd,
                   const char* env) {
    int out[2];
    if (pipe(out)) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        if (chdir(dir.c_str()) != 0) _exit(126);
        if (env) putenv(const_cast<char*>(env));
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    *outFd = out[0];
    return pid;
}

static std::string drain(int fd) {
    std::string text;
    char buffer[65536];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(got));
    close(fd);
    return text;
}

int main() {
    char pattern[] = "/tmp/qpace.XXXXXX";
    if (!mkdtemp(pattern)) return perror("mkdtemp"), 1;
    std::string dir = pattern, link = dir + "/tty", image = dir + "/image";
    FILE* file = fopen(image.c_str(), "wb");
    if (!file) return perror("image"), 1;
    for (int i = 0; i < 20000; ++i)
        fputc((i * 13) & 0xFF, file);
    fclose(file);

    int simOut = -1;
    pid_t sim = start({SIM_PATH, "--link", link, "--expect", image}, dir, &simOut, nullptr);
    struct stat info {};
    for (int i = 0; i < 500 && lstat(link.c_str(), &info) != 0; ++i)
        usleep(10000);

    std::string devices = "QUILLON_SERIAL_DEVICES=" + link;
    int toolOut = -1;
    pid_t tool = start({TOOL_PATH, "image"}, dir, &toolOut, devices.c_str());
    std::string report = drain(toolOut);
    int status = 0;
    rusage usage{};
    wait4(tool, &status, 0, &usage);
    std::string verdict = drain(simOut);
    waitpid(sim, &status, 0);
    bool simOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;

    std::string command = "rm -rf '" + dir + "'";
    if (system(command.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());

    printf("%s", verdict.c_str());
    double rate = 0;
    size_t at = verdict.rfind(" bytes/s");
    size_t from = verdict.rfind(", ", at);
    if (at == std::string::npos || from == std::string::npos || !simOk) {
        fprintf(stderr, "the transfer did not succeed\n");
        return 1;
    }
    rate = atof(verdict.c_str() + from + 2);
    double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    // The image bytes span (count - 1) / rate seconds of wall time.
    double wall = rate > 0 ? 19999.0 / rate : 0;
    printf("pace ratio %.3f\n", rate / 1000.0);
    printf("cpu share %.2f%%\n", wall > 0 ? 100.0 * cpu / wall : 0.0);
    return 0;
}
