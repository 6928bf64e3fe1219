// Stands in for polkit's pkexec in tests: records each call and answers as the test asks
// (FAKE_PKEXEC_ANSWER: "grant", the default, "cancel" or "deny"), with pkexec's exit codes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    if (const char* log = getenv("FAKE_PKEXEC_LOG")) {
        if (FILE* f = fopen(log, "a")) {
            for (int i = 1; i < argc; ++i)
                fprintf(f, "%s%s", i > 1 ? "|" : "", argv[i]);
            fputc('\n', f);
            fclose(f);
        }
    }
    const char* answer = getenv("FAKE_PKEXEC_ANSWER");
    if (answer && strcmp(answer, "cancel") == 0) return 126;
    if (answer && strcmp(answer, "deny") == 0) return 127;
    if (argc < 2) return 127;
    execv(argv[1], argv + 1);
    fprintf(stderr, "Cannot run program %s\n", argv[1]);
    return 127;
}
