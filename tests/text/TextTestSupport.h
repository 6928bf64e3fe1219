// Small helpers shared by the text tests.
#pragma once

#include "PlatformStrings.h"
#include "_printf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The engine's result for `format` and `args`, as UTF-8.
template <class Fmt, class... A> std::string render(Fmt format, const A&... args) {
    CFStringRef s = _cfprintf(format, args...);
    std::string out = platformStringUTF8(s);
    CFRelease(s);
    return out;
}

inline std::u16string unitsOf(CFStringRef s) {
    return std::u16string(platformStringUnits(s));
}

// One row of a table: what the format was, what came out, what should have.
struct Row {
    const char* format;
    std::string got;
    std::string want;
};

inline void checkRows(const std::vector<Row>& rows) {
    for (const Row& r : rows)
        EXPECT_EQ(r.got, r.want) << "format: " << r.format;
}

inline std::string pstr(const unsigned char* p) {
    return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}
