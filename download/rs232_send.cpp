// Send scripts: texts for the port with escapes for control bytes, hex runs and waits,
// and the checks for the command-line texts that feed them.
#include "rs232.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

static void sendByte(int descriptor, unsigned char byte) {
    if (write(descriptor, &byte, 1) != 1) Abort(descriptor);
}

int rs232_send(int descriptor, const char* script, float pauseTime, int unit, int verbose) {
    if (verbose) printf("send ");
    bool hexMode = false;
    const char* p = script;
    while (*p) {
        if (*p == '\\') {
            char escape = p[1];
            switch (escape) {
            case '-':
                sendByte(descriptor, '-');
                if (verbose) printf("-");
                p += 2;
                continue;
            case '0':
                sendByte(descriptor, 0);
                if (verbose) printf("<null>");
                p += 2;
                continue;
            case '\\':
                sendByte(descriptor, '\\');
                if (verbose) printf("\\");
                p += 2;
                continue;
            case 'n':
                sendByte(descriptor, '\n');
                if (verbose) printf("<lf>");
                p += 2;
                continue;
            case 'r':
                sendByte(descriptor, '\r');
                if (verbose) printf("<cr>");
                p += 2;
                continue;
            case 'h':
                hexMode = !hexMode;
                if (verbose) printf(hexMode ? "<hex>" : "<ascii>");
                p += 2;
                continue;
            case 'p':
                if (verbose) printf("<pause>\n");
                rs232_wait(pauseTime, unit, verbose);
                p += 2;
                continue;
            case 'w': {
                p += 2;
                std::string number;
                while (*p && *p != ' ')
                    number += *p++;
                if (*p == ' ') ++p;
                float time = ck_atof(number.c_str());
                if (verbose) printf("<wait>\n");
                rs232_wait(time, unit, verbose);
                continue;
            }
            default:
                // Not an escape: the backslash goes out as itself and the next character
                // is read as usual (a backslash at the very end is sent too).
                sendByte(descriptor, '\\');
                if (verbose) printf("%c", '\\');
                ++p;
                continue;
            }
        }
        if (!hexMode) {
            sendByte(descriptor, static_cast<unsigned char>(*p));
            if (verbose) printf("%c", *p);
            ++p;
            continue;
        }
        if (*p == ' ') {
            ++p;
            if (*p == '\0' || *p == '\\') continue;
        }
        // An odd digit at the end is no byte; stop there rather than read past the script.
        if (p[1] == '\0') break;
        char pair[3] = {p[0], p[1], '\0'};
        int value = hex2dec(pair);
        sendByte(descriptor, static_cast<unsigned char>(value));
        if (verbose) printf("(%x)", value);
        p += 2;
    }
    if (verbose) printf("\n");
    return 1;
}

void rs232_wait(float time, int unit, int verbose) {
    double micros = unit == 1 ? double(time) * 1000.0 : double(time) * 1000000.0;
    // A count outside 32 bits (or negative) would be undefined to convert; hold it at the ends.
    if (!(micros > 0.0)) micros = 0.0;
    if (micros > double(UINT32_MAX)) micros = double(UINT32_MAX);
    usleep(static_cast<std::uint32_t>(micros));
    if (verbose) {
        if (unit == 1)
            printf("wait %f mSec\n", double(time));
        else
            printf("wait %f seconds\n", double(time));
    }
}

char* setstr(char* destination, const char* source, int maxLength) {
    if (strlen(source) > static_cast<size_t>(maxLength < 0 ? 0 : maxLength)) {
        fprintf(stderr, "%s argument too long\n", source);
        exit(-1);
    }
    for (const char* p = source; *p; ++p) {
        if (*p == '-' && (p == source || p[-1] != '\\')) {
            fputs("to send NULL use -s\"\\0\" not -s\"\" or -s\n", stderr);
            fputs("to include '-' character in send string use '\\-'\n", stderr);
            exit(-1);
        }
    }
    return strcpy(destination, source);
}

int hex2dec(const char* text) {
    // Unsigned, so that a text longer than eight digits wraps instead of overflowing.
    unsigned value = 0;
    for (const char* p = text; *p; ++p) {
        int count = isdigit(static_cast<unsigned char>(*p))
                        ? *p - '0'
                        : toupper(static_cast<unsigned char>(*p)) - 55;
        if (count < 0 || count > 15) return 0;
        value = value * 16u + static_cast<unsigned>(count);
    }
    return static_cast<int>(value);
}

float ck_atof(const char* text) {
    for (const char* p = text; *p; ++p) {
        if (!isdigit(static_cast<unsigned char>(*p)) && *p != '.') {
            fputs("Error!\n", stderr);
            exit(-1);
        }
    }
    return static_cast<float>(atof(text));
}
