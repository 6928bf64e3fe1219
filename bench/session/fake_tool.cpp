// Stands in for the download tool in the session benchmark, writing its output at full
// speed. FAKE_TOOL_MODE=transfer:SIZE gives the exact output of a transfer of SIZE bytes;
// FAKE_TOOL_MODE=stream gives progress lines without end (until the reader goes away).
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main() {
    const char* mode = std::getenv("FAKE_TOOL_MODE");
    if (!mode)
        return 1;
    std::printf("Please wait a moment\nStart upgrading...\n"
                "CAUTION ! DO NOT TURN OFF THE SYSTEM OR INTERRUPT PROGRAM.\n");
    if (std::strncmp(mode, "transfer:", 9) == 0) {
        long size = std::atol(mode + 9);
        int blocks = 0;
        for (long sent = 1; sent <= size; ++sent) {
            if (sent % 10240 == 0)
                ++blocks;
            if (blocks > 2)
                std::printf("Transfer %ld Bytes  %d%%\r", sent, blocks - 2);
        }
        std::printf("\n");
        std::printf("Upgraded Firmware Successfully\n");
        return 0;
    }
    for (long sent = 30720;; sent = sent >= 1048576 ? 30720 : sent + 1)
        if (std::printf("Transfer %ld Bytes  %ld%%\r", sent, sent / 10240 - 2) < 0)
            return 0;
}
