#include "PlatformFileCopy.h"

#include "../common/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

FSRef refOf(const fs::path& p) {
    FSRef r{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(p.c_str()), &r, nullptr), noErr) << p;
    return r;
}

class FileCopy : public ::testing::Test {
  protected:
    fs::path dir;
    void SetUp() override {
        char tmpl[] = "/tmp/copytest-XXXXXX";
        dir = mkdtemp(tmpl);
        fs::create_directories(dir / "src");
        fs::create_directories(dir / "dst");
        std::ofstream(dir / "src" / "a.plist") << "default";
        fs::permissions(dir / "src" / "a.plist", fs::perms(0640));
    }
    void TearDown() override { fs::remove_all(dir); }
    size_t entries(const fs::path& p) {
        return size_t(std::distance(fs::directory_iterator(p), fs::directory_iterator()));
    }
};

TEST_F(FileCopy, CopiesAndReplacesOnlyWhenAsked) {
    FSRef src = refOf(dir / "src" / "a.plist"), dst = refOf(dir / "dst");
    const fs::path copy = dir / "dst" / "a.plist";

    FSRef made{};
    ASSERT_EQ(FSCopyObjectSync(&src, &dst, nullptr, &made, 0), noErr);
    EXPECT_EQ(readFile(copy), "default");
    EXPECT_EQ(fs::status(copy).permissions() & fs::perms::all, fs::perms(0640));
    UInt8 path[1024];
    ASSERT_EQ(FSRefMakePath(&made, path, sizeof path), noErr);
    EXPECT_EQ(fs::path(reinterpret_cast<char*>(path)), fs::canonical(copy));

    std::ofstream(copy) << "the user's own";
    EXPECT_EQ(FSCopyObjectSync(&src, &dst, nullptr, nullptr, 0), dupFNErr);
    EXPECT_EQ(readFile(copy), "the user's own");
    EXPECT_EQ(FSCopyObjectSync(&src, &dst, nullptr, nullptr, kFSFileOperationOverwrite), noErr);
    EXPECT_EQ(readFile(copy), "default");
    EXPECT_EQ(entries(dir / "dst"), 1u) << "no temporary file is left behind";

    EXPECT_EQ(FSCopyObjectSync(&src, &dst, CFSTR("renamed.plist"), nullptr, 0), noErr);
    EXPECT_EQ(readFile(dir / "dst" / "renamed.plist"), "default");
}

TEST_F(FileCopy, RefusesWhatItCannotCopySafely) {
    FSRef src = refOf(dir / "src" / "a.plist"), srcDir = refOf(dir / "src"),
          dst = refOf(dir / "dst");
    fs::create_directories(dir / "dst" / "taken");

    EXPECT_EQ(FSCopyObjectSync(&src, &srcDir, nullptr, nullptr, kFSFileOperationOverwrite), noErr);
    EXPECT_EQ(readFile(dir / "src" / "a.plist"), "default") << "a file copied onto itself is kept";
    EXPECT_EQ(FSCopyObjectSync(&src, &srcDir, nullptr, nullptr, 0), dupFNErr);

    struct Case {
        const FSRef* source;
        CFStringRef name;
        OSStatus expected;
    } cases[] = {
        {&srcDir, nullptr, paramErr},         {nullptr, nullptr, paramErr},
        {&src, CFSTR("../escape"), bdNamErr}, {&src, CFSTR(".."), bdNamErr},
        {&src, CFSTR(""), bdNamErr},          {&src, CFSTR("taken"), dupFNErr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platformStringUTF8(c.name));
        EXPECT_EQ(FSCopyObjectSync(c.source, &dst, c.name, nullptr, kFSFileOperationOverwrite),
                  c.expected);
    }
    EXPECT_FALSE(fs::exists(dir / "escape"));
    EXPECT_TRUE(fs::is_directory(dir / "dst" / "taken"));
    EXPECT_EQ(entries(dir / "dst"), 1u);
}

} // namespace
