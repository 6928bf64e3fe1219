#include "PlatformCollections.h"

#include <gtest/gtest.h>

namespace {

int refs(CFTypeRef o) {
    return static_cast<const PlatformObject*>(o)->refs.load();
}

TEST(Collections, CompareCaseInsensitively) {
    struct Case {
        const char* a;
        const char* b;
        CFStringCompareFlags flags;
        CFComparisonResult expected;
    } cases[] = {
        {"abc", "ABC", kCFCompareCaseInsensitive, kCFCompareEqualTo},
        {"abc", "ABC", 0, kCFCompareGreaterThan},
        {"Modem 1", "modem 1", kCFCompareCaseInsensitive, kCFCompareEqualTo},
        {"café", "CAFÉ", kCFCompareCaseInsensitive, kCFCompareEqualTo},
        {"œuvre", "ŒUVRE", kCFCompareCaseInsensitive, kCFCompareEqualTo},
        {"ÿ", "Ÿ", kCFCompareCaseInsensitive, kCFCompareEqualTo},
        {"abc", "abd", kCFCompareCaseInsensitive, kCFCompareLessThan},
        {"ab", "ABC", kCFCompareCaseInsensitive, kCFCompareLessThan},
        {"abc", "AB", kCFCompareCaseInsensitive, kCFCompareGreaterThan},
        {"", "", kCFCompareCaseInsensitive, kCFCompareEqualTo},
        {"a", "[", kCFCompareCaseInsensitive, kCFCompareGreaterThan}, // not folded to 'A'
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        CFStringRef a = platformStringCreateUTF8(c.a), b = platformStringCreateUTF8(c.b);
        EXPECT_EQ(CFStringCompare(a, b, c.flags), c.expected);
        CFRelease(a);
        CFRelease(b);
    }
    EXPECT_EQ(CFStringCompare(nullptr, CFSTR("a"), 1), kCFCompareLessThan);
}

TEST(Collections, ArraysRetainTheirValuesAndCopiesShareThem) {
    CFStringRef s = platformStringCreateUTF8("item");
    CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(a, s);
    CFArrayAppendValue(a, s);
    EXPECT_EQ(refs(s), 3);

    CFArrayRef frozen = CFArrayCreateCopy(nullptr, a);
    CFMutableArrayRef limited = CFArrayCreateMutableCopy(nullptr, 1, a);
    EXPECT_EQ(CFArrayGetCount(frozen), 2);
    EXPECT_EQ(CFArrayGetCount(limited), 1) << "a copy is cut at its capacity";
    CFArrayAppendValue(limited, s);
    EXPECT_EQ(CFArrayGetCount(limited), 1) << "a full array takes nothing more";
    CFArrayAppendValue(const_cast<CFMutableArrayRef>(frozen), s);
    EXPECT_EQ(CFArrayGetCount(frozen), 2) << "an immutable array takes nothing";
    EXPECT_EQ(refs(s), 6);

    EXPECT_EQ(CFArrayGetValueAtIndex(frozen, 1), s);
    EXPECT_EQ(CFArrayGetValueAtIndex(frozen, 2), nullptr);
    EXPECT_EQ(CFArrayGetValueAtIndex(frozen, -1), nullptr);

    CFRelease(a);
    CFRelease(frozen);
    CFRelease(limited);
    EXPECT_EQ(refs(s), 1);
    CFRelease(s);

    // Without call-backs the array holds plain pointers.
    int plain = 0;
    CFMutableArrayRef raw = CFArrayCreateMutable(nullptr, 0, nullptr);
    CFArrayAppendValue(raw, &plain);
    EXPECT_EQ(CFArrayGetValueAtIndex(raw, 0), &plain);
    CFRelease(raw);
}

TEST(Collections, ObjectsOfAnotherKindAreNoArrays) {
    CFStringRef s = platformStringCreateUTF8("not an array");
    auto wrong = reinterpret_cast<CFArrayRef>(s);
    EXPECT_EQ(CFArrayGetCount(wrong), 0);
    EXPECT_EQ(CFArrayGetValueAtIndex(wrong, 0), nullptr);
    EXPECT_EQ(CFArrayCreateCopy(nullptr, wrong), nullptr);
    EXPECT_EQ(CFArrayCreateMutableCopy(nullptr, 0, wrong), nullptr);
    EXPECT_EQ(CFGetTypeID(s), CFStringGetTypeID());
    EXPECT_EQ(CFGetTypeID(nullptr), 0u);
    CFRelease(s);
}

} // namespace
