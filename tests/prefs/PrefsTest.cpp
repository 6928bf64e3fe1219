#include "PlatformApp.h"
#include "PlatformBundle.h"
#include "PlatformMenus.h"
#include "PlatformPrefs.h"
#include "prefs.h"
#include "prefsSupport.h"
#include "windSupport.h"

#include "../common/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Texts = std::vector<std::string>;
using Items = std::set<std::pair<int, int>>; // (menu id, item)

std::string plist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + body +
           "</dict></plist>\n";
}

std::string strings(const Texts& texts) {
    std::string s = "<array>";
    for (const auto& t : texts)
        s += "<string>" + t + "</string>";
    return s + "</array>";
}

std::string utf8(CFTypeRef s) {
    return CFGetTypeID(s) == CFStringGetTypeID() ? platformStringUTF8(static_cast<CFStringRef>(s))
                                                 : "<not a string>";
}

std::string itemText(MenuRef menu, int item) {
    CFStringRef text = nullptr;
    if (CopyMenuItemTextAsCFString(menu, MenuItemIndex(item), &text) != noErr) return "<none>";
    std::string s = platformStringUTF8(text);
    CFRelease(text);
    return s;
}

// The menus 133 to 136 of a small interface file, a bundle in a temporary folder and a home
// of the test's own: the real user's preferences are never touched.
class Prefs : public ::testing::Test {
  protected:
    fs::path dir, resources, userFile;
    CFStringRef domain = CFSTR("Quillon Updater");

    void SetUp() override {
        char tmpl[] = "/tmp/prefs-XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("HOME", dir.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        fs::path contents = dir / "Quillon Updater.app" / "Contents";
        resources = contents / "Resources";
        fs::create_directories(resources);
        writeFile(contents / "MacOS" / "Quillon Updater", "");
        setMainExecutablePathForTesting((contents / "MacOS" / "Quillon Updater").string());
        resetPreferencesForTesting();
        userFile = platformPreferencesFile("Quillon Updater");

        platformInitApplicationForTesting();
        IBNibRef nib = nullptr;
        ASSERT_EQ(platformCreateNibReferenceInFolder(FIXTURES, CFSTR("menus"), &nib), noErr);
        ASSERT_EQ(SetMenuBarFromNib(nib, CFSTR("MenuBar")), noErr);
        DisposeNibReference(nib);
        ASSERT_EQ(CountMenuItems(GetMenuHandle(134)), 2);

        CFRelease(appName); // the name an earlier test's getPrefs found
        appName = CFSTR("Unknown");
        for (auto& list : phoneNoCmds) {
            CFRelease(list);
            list = nullptr;
        }
    }
    void TearDown() override {
        resetPreferencesForTesting();
        setMainExecutablePathForTesting("");
        fs::remove_all(dir);
    }

    void installBundleDefaults() {
        fs::copy_file(fs::path(SOURCE_DIR) / "bundle-resources" / "Quillon Updater.plist",
                      resources / "Quillon Updater.plist");
    }

    Items checkedItems() {
        Items found;
        for (int id = 133; id <= 136; ++id) {
            MenuRef menu = GetMenuHandle(MenuID(id));
            for (int item = 1; item <= CountMenuItems(menu); ++item)
                if (getItemCheck(menu, MenuItemIndex(item))) found.insert({id, item});
        }
        return found;
    }

    // The stored value of `key`: its texts (nested arrays give their first text), or
    // {"<absent>"}.
    Texts stored(const char* key) {
        CFPropertyListRef v = CFPreferencesCopyAppValue(CFSTR(key), domain);
        if (!v) return {"<absent>"};
        Texts texts;
        if (CFGetTypeID(v) == CFStringGetTypeID()) texts.push_back(utf8(v));
        auto array = static_cast<CFArrayRef>(v);
        for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
            CFTypeRef e = CFArrayGetValueAtIndex(array, i);
            texts.push_back(CFGetTypeID(e) == CFArrayGetTypeID()
                                ? utf8(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(e), 0))
                                : utf8(e));
        }
        CFRelease(v);
        return texts;
    }
};

TEST_F(Prefs, StoredTextsCheckMatchingItems) {
    struct Case {
        const char* what;
        std::string value; // "" : the key is absent
        Items expected;
    } cases[] = {
        {"case does not matter", strings({"abc"}), {{135, 1}}},
        {"same text in two menus", strings({"SHARED"}), {{133, 3}, {135, 2}}},
        {"several texts", strings({"modem b", "Sound"}), {{133, 2}, {135, 3}}},
        {"no match", strings({"Modem Z"}), {}},
        {"empty array", strings({}), {}},
        {"absent key", "", {}},
        {"not an array", "<string>abc</string>", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int id = 133; id <= 136; ++id)
            for (int item = 1; item <= CountMenuItems(GetMenuHandle(MenuID(id))); ++item)
                setItemCheck(GetMenuHandle(MenuID(id)), MenuItemIndex(item), false, false);
        resetPreferencesForTesting();
        writeFile(userFile, plist(c.value.empty() ? "" : "<key>MenuItemsChecked</key>" + c.value));
        getMenuItemsChecked(133, 135, domain);
        EXPECT_EQ(checkedItems(), c.expected);
    }

    // Items without a match keep their check mark.
    setItemCheck(GetMenuHandle(133), 1, true, false);
    resetPreferencesForTesting();
    writeFile(userFile, plist("<key>MenuItemsChecked</key>" + strings({"abc"})));
    getMenuItemsChecked(133, 135, domain);
    EXPECT_EQ(checkedItems(), (Items{{133, 1}, {135, 1}}));
}

TEST_F(Prefs, SavingCollectsCheckedAndDisabledItemsInMenuOrder) {
    saveMenuItemsChecked(133, 135, domain);
    EXPECT_EQ(stored("MenuItemsChecked"), Texts{}) << "nothing checked: an empty array";

    setItemCheck(GetMenuHandle(135), 1, true, false);
    setItemCheck(GetMenuHandle(133), 2, true, false);
    setItemCheck(GetMenuHandle(136), 1, true, false); // outside the range
    saveMenuItemsChecked(133, 135, domain);
    EXPECT_EQ(stored("MenuItemsChecked"), (Texts{"Modem B", "ABC"}));
    EXPECT_FALSE(fs::exists(userFile)) << "saving the items does not write the domain out";

    DisableMenuItem(GetMenuHandle(135), 3);
    saveMenuItemsDisabled(133, 135, domain);
    EXPECT_EQ(stored("MenuItemsDisabled"), Texts{"Sound"});

    CFPreferencesSetAppValue(CFSTR("MenuItemsDisabled"), nullptr, domain);
    writeFile(userFile, plist("<key>MenuItemsDisabled</key>" + strings({"MODEM A", "shared"})));
    resetPreferencesForTesting();
    getMenuItemsDisabled(133, 135, domain);
    EXPECT_FALSE(IsMenuItemEnabled(GetMenuHandle(133), 1));
    EXPECT_TRUE(IsMenuItemEnabled(GetMenuHandle(133), 2));
    EXPECT_FALSE(IsMenuItemEnabled(GetMenuHandle(133), 3));
    EXPECT_FALSE(IsMenuItemEnabled(GetMenuHandle(135), 2));
}

TEST_F(Prefs, DefaultFileIsInstalledOnceUnlessReplaced) {
    const std::string bundled = plist("<key>PhoneNos</key><array/>");
    const std::string users = plist("<key>PhoneNo</key><string>mine</string>");
    struct Case {
        const char* what;
        bool inBundle;
        bool userHasOne;
        bool overwrite;
        std::string expected; // the user's file afterwards, "" for none
    } cases[] = {
        {"first use", true, false, false, bundled},
        {"user's file kept", true, true, false, users},
        {"user's file replaced", true, true, true, bundled},
        {"bundle without the file", false, false, false, ""},
        {"bundle without the file, overwrite", false, true, true, users},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(resources / "Quillon Updater.plist");
        fs::remove(userFile);
        if (c.inBundle) writeFile(resources / "Quillon Updater.plist", bundled);
        if (c.userHasOne) writeFile(userFile, users);
        CFStringRef name = nullptr;
        EXPECT_EQ(getDefaultPrefs(c.overwrite, &name), noErr);
        EXPECT_EQ(platformStringUTF8(name), "Quillon Updater");
        CFRelease(name);
        if (c.expected.empty())
            EXPECT_FALSE(fs::exists(userFile));
        else
            EXPECT_EQ(readFile(userFile), c.expected);
    }
    EXPECT_EQ(getDefaultPrefs(false, nullptr), noErr);

    // No preferences folder can be made: its status, and no name.
    writeFile(dir / "blocker", "");
    setenv("XDG_CONFIG_HOME", (dir / "blocker").c_str(), 1);
    CFStringRef name = nullptr;
    EXPECT_NE(getDefaultPrefs(false, &name), noErr);
    EXPECT_EQ(name, nullptr);
}

TEST_F(Prefs, OnlyTheFirstTwentyCommandListsBecomeItems) {
    std::string lists = "<key>PhoneNos</key><array>";
    for (int i = 1; i <= 22; ++i) {
        lists += "<array><string>Number " + std::to_string(i) + "</string><string>ATDT " +
                 std::to_string(i) + "</string></array>";
    }
    writeFile(userFile, plist(lists + "</array>"));

    getPrefs();
    EXPECT_EQ(platformStringUTF8(appName), "Quillon Updater");
    MenuRef menu = GetMenuHandle(134);
    ASSERT_EQ(CountMenuItems(menu), 22);
    for (int item = 1; item <= 20; ++item) {
        SCOPED_TRACE(item);
        EXPECT_EQ(itemText(menu, item), "Number " + std::to_string(item));
        MenuCommand command = 0;
        GetMenuItemCommandID(menu, MenuItemIndex(item), &command);
        EXPECT_EQ(command, fourCC("PhNo"));
        EXPECT_EQ(CFArrayGetCount(phoneNoCmds[item - 1]), 2);
    }
    EXPECT_EQ(itemText(menu, 22), "Edit Numbers…") << "the menu's own items stay last";
}

TEST_F(Prefs, ValuesThatAreNoCommandListsAreSkipped) {
    writeFile(userFile, plist("<key>PhoneNos</key><array>"
                         "<array><string>First</string></array>"
                         "<string>not a list</string><array/>"
                         "<array><string>Second</string></array></array>"));
    getPrefs();
    MenuRef menu = GetMenuHandle(134);
    ASSERT_EQ(CountMenuItems(menu), 4);
    EXPECT_EQ(itemText(menu, 1), "First");
    EXPECT_EQ(itemText(menu, 2), "Second");
}

TEST_F(Prefs, MenuStateRoundTripThroughTheFile) {
    installBundleDefaults();
    getPrefs(); // installs the bundle's file: no lists yet
    EXPECT_TRUE(fs::exists(userFile));
    EXPECT_EQ(stored("PhoneNos"), Texts{});

    // Menu 134 with only its own two items: no lists and no chosen number are stored.
    CFPreferencesSetAppValue(phoneNoKey, CFSTR("old number"), domain);
    CFPreferencesSetAppValue(modemKey, CFSTR("Modem A"), domain);
    savePrefs();
    EXPECT_EQ(stored("PhoneNos"), Texts{});
    EXPECT_EQ(stored("PhoneNo"), Texts{"<absent>"});
    EXPECT_EQ(stored("menuModem"), Texts{"Modem A"}) << "nothing checked in 133 keeps the key";

    // Three numbers, the second one chosen, and a modem.
    writeFile(userFile,
         plist("<key>PhoneNos</key><array>"
               "<array><string>Home</string><string>ATDT 1</string></array>"
               "<array><string>Office</string><string>ATDT 2</string><string>ATH</string></array>"
               "<array><string>Lab</string></array></array>"
               "<key>MenuItemsChecked</key>" +
               strings({"office", "Modem B"}) + "<key>Unrelated</key><integer>7</integer>"));
    resetPreferencesForTesting();
    for (auto& list : phoneNoCmds) {
        CFRelease(list);
        list = nullptr;
    }
    IBNibRef nib = nullptr;
    platformCreateNibReferenceInFolder(FIXTURES, CFSTR("menus"), &nib);
    SetMenuBarFromNib(nib, CFSTR("MenuBar"));
    DisposeNibReference(nib);

    getPrefs();
    EXPECT_EQ(checkedItems(), (Items{{133, 2}, {134, 2}}));
    setItemCheck(GetMenuHandle(133), 1, true, false); // the last checked item of 133 wins
    savePrefs();

    resetPreferencesForTesting(); // read back from the disk only
    EXPECT_EQ(stored("PhoneNos"), (Texts{"Home", "Office", "Lab"}));
    EXPECT_EQ(stored("PhoneNo"), Texts{"Office"});
    EXPECT_EQ(stored("menuModem"), Texts{"Modem B"});
    EXPECT_EQ(stored("MenuItemsChecked"), (Texts{"Modem A", "Modem B", "Office"}));
    std::string file = readFile(userFile);
    EXPECT_NE(file.find("<string>ATH</string>"), std::string::npos) << file;
    EXPECT_NE(file.find("<integer>7</integer>"), std::string::npos) << file;
}

} // namespace
