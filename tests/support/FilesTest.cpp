// File references and FSSpec records, the bundle lookups of fileSupport, and the dialogs
// through their test answer.
#include "PlatformBundle.h"
#include "PlatformEvents.h"
#include "PlatformFiles.h"
#include "fileSupport.h"

#include "../common/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A temporary folder, removed again at the end of the test.
struct TempDir {
    fs::path path;
    TempDir() {
        char pattern[] = "/tmp/quillon-files-XXXXXX";
        path = fs::canonical(mkdtemp(pattern));
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

std::string pathOf(const FSRef& ref) {
    UInt8 buffer[2000];
    if (FSRefMakePath(&ref, buffer, sizeof buffer) != noErr) return "<error>";
    return reinterpret_cast<char*>(buffer);
}

FSRef refOf(const fs::path& p) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(p.c_str()), &ref, nullptr), noErr) << p;
    return ref;
}

// A Pascal string from a C string literal.
struct PStr {
    unsigned char bytes[256];
    explicit PStr(const char* s) {
        bytes[0] = UInt8(std::strlen(s));
        std::memcpy(bytes + 1, s, bytes[0]);
    }
    const unsigned char* operator*() const { return bytes; }
};

// Points the process's executable into a bundle laid out at `dir`, as the built one is.
struct FakeBundle {
    fs::path app, resources, exe;
    explicit FakeBundle(const fs::path& dir) {
        app = dir / "Quillon Updater.app";
        resources = app / "Contents" / "Resources";
        exe = app / "Contents" / "MacOS" / "Quillon Updater";
        writeFile(exe, "#!/bin/sh\n");
        fs::create_directories(resources);
        setMainExecutablePathForTesting(exe.string());
    }
    ~FakeBundle() { setMainExecutablePathForTesting(""); }
};

bool extendedAttributesWork(const fs::path& dir) {
    fs::path probe = dir / "xattr-probe";
    writeFile(probe, "");
    bool ok = setxattr(probe.c_str(), "user.quillon.probe", "x", 1, 0) == 0;
    fs::remove(probe);
    return ok;
}

} // namespace

TEST(FileReferences, PathsSizesParentsAndSpecsOfExistingObjects) {
    TempDir tmp;
    writeFile(tmp.path / "folder" / "image.bin", std::string(1234, 'x'));
    FSRef ref = refOf(tmp.path / "folder" / "image.bin");
    EXPECT_EQ(pathOf(ref), (tmp.path / "folder" / "image.bin").string());

    FSCatalogInfo info{};
    FSSpec spec{};
    FSRef parent{};
    HFSUniStr255 name{};
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoGettableInfo, &info, &name, &spec, &parent), noErr);
    EXPECT_EQ(info.dataLogicalSize, 1234u);
    EXPECT_EQ(info.nodeFlags & kFSNodeIsDirectoryMask, 0);
    EXPECT_EQ(pathOf(parent), (tmp.path / "folder").string());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(spec.name + 1), spec.name[0]), "image.bin");
    EXPECT_EQ(name.length, 9);
    EXPECT_EQ(name.unicode[0], u'i');
    EXPECT_EQ(info.volume, spec.vRefNum);
    EXPECT_EQ(info.parentDirID, UInt32(spec.parID));

    // The same object gives the same bytes, so references can be compared.
    FSRef again = refOf(tmp.path / "folder" / ".." / "folder" / "image.bin");
    EXPECT_EQ(std::memcmp(&ref, &again, sizeof ref), 0);

    // An FSSpec leads back to the object.
    FSRef fromSpec{};
    ASSERT_EQ(FSpMakeFSRef(&spec, &fromSpec), noErr);
    EXPECT_EQ(pathOf(fromSpec), pathOf(ref));
}

TEST(FileReferences, FailuresAreReportedNotGuessed) {
    TempDir tmp;
    fs::path file = tmp.path / "a.txt";
    writeFile(file, "old");
    FSRef ref = refOf(file);

    // Too small a buffer: an error, nothing cut.
    UInt8 small[8];
    std::memset(small, 0x55, sizeof small);
    EXPECT_EQ(FSRefMakePath(&ref, small, sizeof small), errFSPathTooLong);
    EXPECT_EQ(small[0], 0x55);

    // A reference to an object that is gone no longer resolves, also when another object
    // (with another inode, kept alive here) takes its name.
    writeFile(tmp.path / "other.txt", "other");
    fs::remove(file);
    UInt8 buffer[2000];
    EXPECT_EQ(FSRefMakePath(&ref, buffer, sizeof buffer), fnfErr);
    fs::rename(tmp.path / "other.txt", file);
    EXPECT_EQ(FSRefMakePath(&ref, buffer, sizeof buffer), fnfErr);

    FSRef missing{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>((tmp.path / "nope").c_str()), &missing,
                            nullptr),
              fnfErr);
    FSRef zeros{};
    EXPECT_EQ(FSRefMakePath(&zeros, buffer, sizeof buffer), paramErr);
    EXPECT_EQ(FSGetCatalogInfo(nullptr, 0, nullptr, nullptr, nullptr, nullptr), paramErr);
    FSSpec foreign{-99, 12345, {1, 'x'}};
    EXPECT_EQ(FSpMakeFSRef(&foreign, &missing), nsvErr);
}

TEST(FileReferences, LongAndNonMacRomanNamesStillLeadBackToTheirFile) {
    TempDir tmp;
    std::string longName = std::string(80, 'n') + ".txt";
    std::string greek = "\xce\xb1\xce\xb2.txt"; // alpha beta: not in Mac Roman
    for (const std::string& name : {longName, greek}) {
        writeFile(tmp.path / name, name);
        FSRef ref = refOf(tmp.path / name);
        FSSpec spec{};
        ASSERT_EQ(FSGetCatalogInfo(&ref, 0, nullptr, nullptr, &spec, nullptr), noErr);
        EXPECT_LE(spec.name[0], 63);
        FSRef back{};
        ASSERT_EQ(FSpMakeFSRef(&spec, &back), noErr) << name;
        EXPECT_EQ(pathOf(back), (tmp.path / name).string());
    }
}

TEST(FileReferences, CreatedFilesKeepTypeAndCreatorAndRefuseBadNames) {
    TempDir tmp;
    FSRef folder = refOf(tmp.path);
    const UniChar name[] = {u'l', u'o', u'g'};
    FSCatalogInfo info{};
    info.finderInfo.fileType = fourCC("TEXT");
    info.finderInfo.fileCreator = fourCC("ttxt");
    FSRef made{};
    ASSERT_EQ(FSCreateFileUnicode(&folder, 3, name, kFSCatInfoFinderInfo, &info, &made, nullptr),
              noErr);
    EXPECT_EQ(pathOf(made), (tmp.path / "log").string());
    EXPECT_EQ(FSCreateFileUnicode(&folder, 3, name, 0, nullptr, &made, nullptr), dupFNErr);

    if (extendedAttributesWork(tmp.path)) {
        FSCatalogInfo read{};
        ASSERT_EQ(FSGetCatalogInfo(&made, kFSCatInfoFinderInfo, &read, nullptr, nullptr, nullptr),
                  noErr);
        EXPECT_EQ(read.finderInfo.fileType, fourCC("TEXT"));
        EXPECT_EQ(read.finderInfo.fileCreator, fourCC("ttxt"));
    }

    const UniChar slash[] = {u'a', u'/', u'b'};
    const UniChar dots[] = {u'.', u'.'};
    EXPECT_EQ(FSCreateFileUnicode(&folder, 3, slash, 0, nullptr, &made, nullptr), bdNamErr);
    EXPECT_EQ(FSCreateFileUnicode(&folder, 2, dots, 0, nullptr, &made, nullptr), bdNamErr);
    EXPECT_EQ(FSCreateFileUnicode(&folder, 0, name, 0, nullptr, &made, nullptr), bdNamErr);
    EXPECT_EQ(FSMakeFSRefUnicode(&folder, 2, dots, 0, &made), bdNamErr);
    EXPECT_FALSE(fs::exists(tmp.path / "a"));
}

TEST(FileReferences, PreferencesFolderIsMadeWhenMissing) {
    TempDir tmp;
    std::string saved = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    setenv("XDG_CONFIG_HOME", (tmp.path / "config").c_str(), 1);
    FSRef ref{};
    EXPECT_EQ(FSFindFolder(kOnAppropriateDisk, kPreferencesFolderType, false, &ref), fnfErr);
    ASSERT_EQ(FSFindFolder(kOnAppropriateDisk, kPreferencesFolderType, true, &ref), noErr);
    EXPECT_EQ(pathOf(ref), (tmp.path / "config" / "Quillon Updater").string());
    EXPECT_TRUE(fs::is_directory(tmp.path / "config" / "Quillon Updater"));
    EXPECT_EQ(FSFindFolder(kOnAppropriateDisk, fourCC("desk"), true, &ref), fnfErr);
    if (saved.empty())
        unsetenv("XDG_CONFIG_HOME");
    else
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

TEST(ResourceFiles, BuiltBundle) {
    setMainExecutablePathForTesting(QUILLON_BUNDLE_EXECUTABLE);
    FSRef ref{};
    ASSERT_TRUE(getResourceFileFSRef(nullptr, &ref));
    EXPECT_EQ(pathOf(ref), fs::canonical(QUILLON_BUNDLE_RESOURCES).string());
    ASSERT_TRUE(getResourceFileFSRef(*PStr("Tarvo_Firmware.txt"), &ref));
    FSCatalogInfo info{};
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoGettableInfo, &info, nullptr, nullptr, nullptr),
              noErr);
    EXPECT_GT(info.dataLogicalSize, 0u);
    EXPECT_TRUE(getResourceFileFSRef(*PStr("Tarvo_Download.dat"), &ref));
    setMainExecutablePathForTesting("");
}

TEST(ResourceFiles, NamesInsideTheResourcesFolderOnly) {
    TempDir tmp;
    FakeBundle bundle(tmp.path);
    writeFile(bundle.resources / "a" / "b", "in a subfolder");
    writeFile(bundle.resources / "en.lproj" / "Tarvo_Firmware.txt", "localized copy");
    writeFile(tmp.path / "Tarvo_Firmware.txt", "beside the bundle");

    FSRef ref{};
    EXPECT_FALSE(getResourceFileFSRef(*PStr("Tarvo_Firmware.txt"), &ref));
    ASSERT_TRUE(getResourceFileFSRef(*PStr("a:b"), &ref));
    EXPECT_EQ(pathOf(ref), (bundle.resources / "a" / "b").string());
    EXPECT_FALSE(getResourceFileFSRef(*PStr("a:c"), &ref));

    writeFile(bundle.resources / "Tarvo_Firmware.txt", "image");
    ASSERT_TRUE(getResourceFileFSRef(*PStr("Tarvo_Firmware.txt"), &ref));
    EXPECT_EQ(pathOf(ref), (bundle.resources / "Tarvo_Firmware.txt").string());

    // Not in a bundle's Contents/MacOS folder: no resources folder at all.
    setMainExecutablePathForTesting((tmp.path / "loose-program").string());
    EXPECT_FALSE(getResourceFileFSRef(nullptr, &ref));
}

TEST(ResourceFiles, CreateFileWithAndWithoutReplace) {
    TempDir tmp;
    FSRef folder = refOf(tmp.path);
    writeFile(tmp.path / "prefs.plist", "keep me");
    FSRef ref{};

    EXPECT_EQ(
        FSCreateFile(&folder, *PStr("prefs.plist"), fourCC("TEXT"), fourCC("ttxt"), &ref, false),
        dupFNErr);
    ASSERT_EQ(
        FSCreateFile(&folder, *PStr("prefs.plist"), fourCC("TEXT"), fourCC("ttxt"), &ref, true),
        noErr);
    EXPECT_EQ(pathOf(ref), (tmp.path / "prefs.plist").string());
    EXPECT_EQ(readFile(tmp.path / "prefs.plist"), "keep me");

    ASSERT_EQ(FSCreateFile(&folder, *PStr("new.txt"), fourCC("TEXT"), fourCC("ttxt"), &ref, false),
              noErr);
    EXPECT_TRUE(fs::exists(tmp.path / "new.txt"));

    HFSUniStr255 uname{3, {u'u', u'n', u'i'}};
    EXPECT_EQ(FSCreateFile(nullptr, *PStr("x"), 0, 0, &ref, false), paramErr);
    EXPECT_EQ(FSCreateFile(&folder, static_cast<const unsigned char*>(nullptr), 0, 0, &ref, false),
              paramErr);
    EXPECT_EQ(FSCreateFile(&folder, *PStr("x"), 0, 0, nullptr, false), paramErr);
    EXPECT_EQ(FSCreateFile(nullptr, &uname, 0, 0, &ref, false), paramErr);
    EXPECT_EQ(FSCreateFile(&folder, static_cast<HFSUniStr255*>(nullptr), 0, 0, &ref, true),
              paramErr);
    EXPECT_EQ(FSCreateFile(&folder, &uname, 0, 0, nullptr, true), paramErr);
    EXPECT_FALSE(fs::exists(tmp.path / "x"));
    EXPECT_FALSE(fs::exists(tmp.path / "uni"));
}

// The caches live for the whole process, so one test walks them in order.
TEST(ResourceFiles, AppAndBundleReferencesAreCachedAfterTheFirstSuccess) {
    TempDir tmp;
    setMainExecutablePathForTesting(
        (tmp.path / "gone" / "X.app" / "Contents" / "MacOS" / "X").string());
    EXPECT_EQ(getAppRef(), nullptr);
    EXPECT_EQ(getBundleRef(), nullptr);

    FakeBundle bundle(tmp.path);
    FSSpec spec{};
    ASSERT_EQ(getAppFSS(&spec), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(spec.name + 1), spec.name[0]), "Quillon Updater");

    FSRef* app = getAppRef();
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(pathOf(*app), bundle.exe.string());
    FSRef* folder = getBundleRef();
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(pathOf(*folder), tmp.path.string());

    // Moving the executable afterwards changes nothing: the first answer is kept.
    setMainExecutablePathForTesting("/bin/sh");
    EXPECT_EQ(getAppRef(), app);
    EXPECT_EQ(getBundleRef(), folder);
}

TEST(Dialogs, AnswersComeBackAsFSSpecs) {
    TempDir tmp;
    writeFile(tmp.path / "old.log", "");
    FSSpec spec{};
    ASSERT_EQ(FSPathMakeSpec((tmp.path / "old.log").c_str(), &spec), noErr);

    setNavDialogAnswerForTesting(true, (tmp.path / "saved.log").string());
    ASSERT_EQ(
        navSaveFile(*PStr("Save Log"), *PStr("Where to?"), fourCC("TEXT"), fourCC("ttxt"), &spec),
        noErr);
    NavDialogRequest asked = platformLastNavDialogForTesting();
    EXPECT_TRUE(asked.save);
    EXPECT_EQ(asked.title, "Save Log");
    EXPECT_EQ(asked.message, "Where to?");
    EXPECT_EQ(asked.folder, tmp.path.string());
    EXPECT_EQ(asked.name, "old.log");
    std::string folder, name;
    ASSERT_EQ(FSpGetPaths(&spec, &folder, &name), noErr);
    EXPECT_EQ(folder, tmp.path.string());
    EXPECT_EQ(name, "saved.log"); // need not exist yet

    setNavDialogAnswerForTesting(true, (tmp.path / "old.log").string());
    ASSERT_EQ(navChooseFile(nullptr, nullptr, false, &spec), noErr);
    EXPECT_FALSE(platformLastNavDialogForTesting().save);
    FSRef ref{};
    ASSERT_EQ(FSpMakeFSRef(&spec, &ref), noErr);
    EXPECT_EQ(pathOf(ref), (tmp.path / "old.log").string());

    setNavDialogAnswerForTesting(true, "");
    EXPECT_EQ(navChooseFile(nullptr, nullptr, false, &spec), userCanceledErr);
    EXPECT_EQ(navSaveFile(nullptr, nullptr, 0, 0, &spec), userCanceledErr);
    EXPECT_EQ(navChooseFile(nullptr, nullptr, false, nullptr), paramErr);
    setNavDialogAnswerForTesting(false, "");
}
