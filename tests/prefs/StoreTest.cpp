#include "PlatformCollections.h"
#include "PlatformPrefs.h"

#include "../common/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string text(CFTypeRef s) {
    return CFGetTypeID(s) == CFStringGetTypeID() ? platformStringUTF8(static_cast<CFStringRef>(s))
                                                 : "<not a string>";
}

CFStringRef str(const char* s) {
    return CFSTR(s);
}

// Every test has a home of its own: the real user's preferences are never touched.
class StoreTest : public ::testing::Test {
  protected:
    fs::path home;
    fs::path file;
    CFStringRef domain = CFSTR("Store Test");
    void SetUp() override {
        char tmpl[] = "/tmp/prefstest-XXXXXX";
        home = mkdtemp(tmpl);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        resetPreferencesForTesting();
        file = platformPreferencesFile("Store Test");
    }
    void TearDown() override {
        resetPreferencesForTesting();
        fs::remove_all(home);
    }
};

TEST_F(StoreTest, FileLivesInTheConfigFolder) {
    EXPECT_EQ(file, home / "config" / "Quillon Updater" / "Store Test.plist");
    for (const char* bad : {"", ".", "..", "../escape", "a/b"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(platformPreferencesFile(bad), "");
        CFStringRef d = platformStringCreateUTF8(bad);
        CFPreferencesSetAppValue(str("k"), str("v"), d);
        EXPECT_EQ(CFPreferencesCopyAppValue(str("k"), d), nullptr);
        EXPECT_FALSE(CFPreferencesAppSynchronize(d));
        CFRelease(d);
    }
    EXPECT_FALSE(fs::exists(home / "escape.plist"));
}

TEST_F(StoreTest, RoundTripThroughTheFile) {
    CFMutableArrayRef inner = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(inner, str("Home"));
    CFArrayAppendValue(inner, str("ATDT 555 0100"));
    CFMutableArrayRef outer = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(outer, inner);
    CFMutableArrayRef empty = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);

    CFPreferencesSetAppValue(str("Name"), str("Zoë <&> \"quoted\""), domain);
    CFPreferencesSetAppValue(str("Lists"), outer, domain);
    CFPreferencesSetAppValue(str("Empty"), empty, domain);
    CFRelease(inner);
    CFRelease(outer);
    CFRelease(empty);
    EXPECT_FALSE(fs::exists(file)) << "nothing is written before synchronizing";
    ASSERT_TRUE(CFPreferencesAppSynchronize(domain));
    ASSERT_TRUE(fs::exists(file));
    // Only the file itself: the temporary file has been renamed over it.
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1);

    resetPreferencesForTesting();
    CFTypeRef name = CFPreferencesCopyAppValue(str("Name"), domain);
    EXPECT_EQ(text(name), "Zoë <&> \"quoted\"");
    CFRelease(name);

    auto lists = static_cast<CFArrayRef>(CFPreferencesCopyAppValue(str("Lists"), domain));
    ASSERT_EQ(CFGetTypeID(lists), CFArrayGetTypeID());
    ASSERT_EQ(CFArrayGetCount(lists), 1);
    auto back = static_cast<CFArrayRef>(CFArrayGetValueAtIndex(lists, 0));
    ASSERT_EQ(CFArrayGetCount(back), 2);
    EXPECT_EQ(text(CFArrayGetValueAtIndex(back, 0)), "Home");
    EXPECT_EQ(text(CFArrayGetValueAtIndex(back, 1)), "ATDT 555 0100");
    CFRelease(lists);

    auto none = static_cast<CFArrayRef>(CFPreferencesCopyAppValue(str("Empty"), domain));
    ASSERT_NE(none, nullptr) << "an empty array is a value, not a missing key";
    EXPECT_EQ(CFArrayGetCount(none), 0);
    CFRelease(none);

    // A null value removes the key, on disk too.
    CFPreferencesSetAppValue(str("Name"), nullptr, domain);
    EXPECT_EQ(CFPreferencesCopyAppValue(str("Name"), domain), nullptr);
    ASSERT_TRUE(CFPreferencesAppSynchronize(domain));
    resetPreferencesForTesting();
    EXPECT_EQ(CFPreferencesCopyAppValue(str("Name"), domain), nullptr);
    EXPECT_EQ(readFile(file).find("Zo"), std::string::npos);
}

TEST_F(StoreTest, KeysOfOtherKindsAndOutsideChangesAreKept) {
    writeFile(file, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<plist version=\"1.0\"><dict>\n"
               "<key>Count</key><integer>42</integer>\n"
               "<key>Greeting</key><string>hello</string>\n"
               "</dict></plist>\n");
    EXPECT_EQ(CFPreferencesCopyAppValue(str("Count"), domain), nullptr)
        << "a kind the store does not hold reads as absent";
    CFTypeRef g = CFPreferencesCopyAppValue(str("Greeting"), domain);
    EXPECT_EQ(text(g), "hello");
    CFRelease(g);

    // Another program replaces the file: the next read sees it.
    writeFile(file, "<plist version=\"1.0\"><dict><key>Count</key><integer>42</integer>"
               "<key>Greeting</key><string>changed</string></dict></plist>");
    g = CFPreferencesCopyAppValue(str("Greeting"), domain);
    EXPECT_EQ(text(g), "changed");
    CFRelease(g);

    CFPreferencesSetAppValue(str("Added"), str("x"), domain);
    ASSERT_TRUE(CFPreferencesAppSynchronize(domain));
    std::string written = readFile(file);
    EXPECT_NE(written.find("<integer>42</integer>"), std::string::npos) << written;
    EXPECT_NE(written.find("changed"), std::string::npos) << written;
    EXPECT_NE(written.find("<key>Added</key>"), std::string::npos) << written;
}

TEST_F(StoreTest, UnparsableFileIsReportedAndLeftAlone) {
    for (const std::string& garbage :
         {std::string("this is not a property list"), std::string("<plist><dict><key>a</key>"),
          std::string("<plist version=\"1.0\"><array><string>x</string></array></plist>")}) {
        SCOPED_TRACE(garbage);
        resetPreferencesForTesting();
        writeFile(file, garbage);
        testing::internal::CaptureStderr();
        EXPECT_EQ(CFPreferencesCopyAppValue(str("a"), domain), nullptr);
        CFPreferencesSetAppValue(str("a"), str("new"), domain);
        EXPECT_FALSE(CFPreferencesAppSynchronize(domain));
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(file.string()), std::string::npos) << err;
        EXPECT_EQ(readFile(file), garbage);
    }
}

TEST_F(StoreTest, BinaryFileIsRead) {
    // "bplist00" holding { "k" = "v" }, as the other platform writes preferences.
    const unsigned char bin[] = {
        'b',  'p', 'l', 'i', 's', 't', '0', '0', 0xd1, 0x01, 0x02, 0x51, 'k', 0x51, 'v', 0x08, 0x0b,
        0x0d, 0,   0,   0,   0,   0,   0,   1,   1,    0,    0,    0,    0,   0,    0,   0,    3,
        0,    0,   0,   0,   0,   0,   0,   0,   0,    0,    0,    0,    0,   0,    0,   0x0f};
    writeFile(file, std::string(reinterpret_cast<const char*>(bin), sizeof bin));
    CFTypeRef v = CFPreferencesCopyAppValue(str("k"), domain);
    EXPECT_EQ(text(v), "v");
    CFRelease(v);
}

} // namespace
