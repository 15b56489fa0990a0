#include "platform/fs_wrappers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <boost/regex.hpp>
#include <string>
#include <vector>

#include "tests/support/file_helpers.h"

namespace {

using Vok::Test::CTempFolder;
using Vok::Test::WriteTextFile;

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST(FsWrappersTests, ExistenceAndFolderCreation) {
    CTempFolder tmp;
    WriteTextFile(tmp / "file.txt", "x");
    EXPECT_TRUE(DirectoryExists(tmp.Path()));
    EXPECT_FALSE(DirectoryExists(tmp / "file.txt"));
    EXPECT_TRUE(PathExists(tmp / "file.txt"));
    EXPECT_FALSE(PathExists(tmp / "missing"));
    EXPECT_FALSE(DirectoryExists(""));

    EXPECT_TRUE(CreateDirectories(tmp / "a/b/c"));
    EXPECT_TRUE(DirectoryExists(tmp / "a/b/c"));
    EXPECT_FALSE(CreateDirectories(tmp / "a/b/c"));
    EXPECT_FALSE(CreateDirectories(tmp / "file.txt/sub"));  // an error, not an exception
}

TEST(FsWrappersPieces, FileNameParentAndExtensionOfPaths) {
    struct sRow {
        const char* path;
        const char* name;
        const char* parent;
        const char* withoutExtension;
    } const rows[] = {
        {"/a/b/c.txt", "c.txt", "/a/b", "/a/b/c"},
        {"c.tar.gz", "c.tar.gz", "", "c.tar"},
        {"/a/b.d/c", "c", "/a/b.d", "/a/b.d/c"},
        {"", "", "", ""},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(GetPathFileName(r.path), r.name) << r.path;
        EXPECT_EQ(GetPathParent(r.path), r.parent) << r.path;
        EXPECT_EQ(GetPathWithoutExtension(r.path), r.withoutExtension) << r.path;
    }
    EXPECT_FALSE(GetCurrentPathText().empty());
}

TEST(FsWrappersRelative, MakeRelativeToBaseRefusesParentStepsWhenAsked) {
    CTempFolder tmp;
    WriteTextFile(tmp / "base/in/f.txt", "");
    WriteTextFile(tmp / "other/g.txt", "");
    WriteTextFile(tmp / "base/..data/h.txt", "");
    const std::string base = tmp / "base";

    EXPECT_EQ(MakeRelativeToBase(tmp / "base/in/f.txt", base, false), "in/f.txt");
    EXPECT_EQ(MakeRelativeToBase(tmp / "other/g.txt", base, true), "../other/g.txt");
    EXPECT_EQ(MakeRelativeToBase(tmp / "other/g.txt", base, false), tmp / "other/g.txt");
    // The parent folder itself is a parent step too.
    EXPECT_EQ(MakeRelativeToBase(tmp.Path(), base, false), tmp.Path());
    // A name that only begins with two dots stays below the base.
    EXPECT_EQ(MakeRelativeToBase(tmp / "base/..data/h.txt", base, false), "..data/h.txt");
}

TEST(FsWrappersInside, IsPathInsideFolderComparesNormalElements) {
    struct sRow {
        const char* path;
        const char* folder;
        bool inside;
    } const rows[] = {
        {"/a/b/c.txt", "/a/b/", true},
        {"/a/b/c.txt", "/a/b", true},
        {"/a/b", "/a/b", false},
        {"/a/b/", "/a/b", false},
        {"/a/bc/x", "/a/b", false},
        {"./a/b/x", "a/b", true},
        {"/a/b/../c/x", "/a/b", false},
        {"/a/b/./c/../d", "/a/b", true},
        {"/A/b/c", "/a/b", false},
        {"../x", "", false},
        {"/a", "/a/b", false},
        {"a/b", "/", false},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(IsPathInsideFolder(r.path, r.folder), r.inside) << r.path << " in " << r.folder;
    }
}

TEST(FsWrappersText, CleanRelativePathRemovesDotRuns) {
    struct sRow {
        const char* in;
        const char* out;
    } const rows[] = {
        {".\\a\\b", "a\\b"}, {"./a/b", "a/b"}, {"././/x", "x"}, {"a\\.", "a\\"},
        {"a.", "a"},         {"../x", "../x"}, {"a/./b", "a/./b"}, {"", ""},
    };
    for (const auto& r : rows) EXPECT_EQ(CleanRelativePath(r.in), r.out) << r.in;
}

TEST(FsWrappersText, FileMaskToRegexEscapesEverySpecialCharacter) {
    struct sRow {
        const char* mask;
        const char* regex;
    } const rows[] = {
        {"", ".*"},
        {"*.txt", ".*\\.txt"},
        {"a?c", "a.c"},
        {"a+b", "a\\+b"},
        {"a{b}", "a\\{b\\}"},
        {"(x)[y]^$|/", "\\(x\\)\\[y\\]\\^\\$\\|\\/"},
        {"a\\b", "a\\\\b"},
    };
    for (const auto& r : rows) EXPECT_EQ(FileMaskToRegex(r.mask), r.regex) << r.mask;
    // Every mask compiles, a lone brace included.
    for (const char* mask : {"a{b", "}", "{2}", "x{1,3}"}) {
        EXPECT_NO_THROW(boost::regex(FileMaskToRegex(mask))) << mask;
    }
    EXPECT_TRUE(boost::regex_match("x{1,3}", boost::regex(FileMaskToRegex("x{1,3}"))));
}

class FsWrappersFind : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTextFile(tmp / "a.txt", "");
        WriteTextFile(tmp / "B.TXT", "");
        WriteTextFile(tmp / "c.log", "");
        WriteTextFile(tmp / "sub/d.txt", "");
        WriteTextFile(tmp / "sub/deeper/e.txt", "");
        WriteTextFile(tmp / "brace{1}.txt", "");
    }
    CTempFolder tmp;
};

TEST_F(FsWrappersFind, FindsByMaskCaseInsensitivelyWithOrWithoutRecursion) {
    std::vector<std::string> found;
    EXPECT_TRUE(FindFiles(found, tmp.Path(), "*.txt", false, false));
    EXPECT_EQ(Sorted(found), (std::vector<std::string>{"B.TXT", "a.txt", "brace{1}.txt"}));

    found.clear();
    EXPECT_TRUE(FindFiles(found, tmp.Path(), "*.txt", true, true));
    EXPECT_EQ(Sorted(found), Sorted({tmp / "B.TXT", tmp / "a.txt", tmp / "brace{1}.txt",
                                     tmp / "sub/d.txt", tmp / "sub/deeper/e.txt"}));

    // A mask must cover the whole path, so a bare name finds nothing.
    found.clear();
    EXPECT_FALSE(FindFiles(found, tmp.Path(), "a.txt", false, false));
    EXPECT_TRUE(FindFiles(found, tmp.Path(), "*brace{1}.txt", false, false));

    found = {"kept"};
    EXPECT_FALSE(FindFiles(found, tmp / "missing", "*", true, true));
    EXPECT_EQ(found, std::vector<std::string>{"kept"});
}

TEST_F(FsWrappersFind, DoesNotFollowLinksToFolders) {
    ASSERT_EQ(::symlink(tmp.Path().c_str(), (tmp / "sub/loop").c_str()), 0);
    std::vector<std::string> found;
    EXPECT_TRUE(FindFiles(found, tmp.Path(), "*e.txt", true, true));
    EXPECT_EQ(found, std::vector<std::string>{tmp / "sub/deeper/e.txt"});
}

TEST_F(FsWrappersFind, FindFilesInFoldersStopsAtTheFirstThatAdds) {
    std::vector<std::string> found;
    EXPECT_FALSE(FindFilesInFolders(found, {}, "*", true, true, false));
    const std::vector<std::string> folders = {tmp / "missing", tmp / "sub/deeper", tmp / "sub"};
    EXPECT_TRUE(FindFilesInFolders(found, folders, "*.txt", false, false, true));
    EXPECT_EQ(found, std::vector<std::string>{"e.txt"});
    found.clear();
    EXPECT_TRUE(FindFilesInFolders(found, folders, "*.txt", false, false, false));
    EXPECT_EQ(found, (std::vector<std::string>{"e.txt", "d.txt"}));
}

TEST(FsWrappersCopy, CopiesFromTheFirstFolderThatHoldsTheFile) {
    CTempFolder tmp;
    WriteTextFile(tmp / "two/f.txt", "second");
    WriteTextFile(tmp / "three/f.txt", "third");
    WriteTextFile(tmp / "dest/keep.txt", "old");
    CreateDirectories(tmp / "one");
    const std::vector<std::string> folders = {tmp / "one/", tmp / "two/", tmp / "three/"};

    EXPECT_TRUE(CopyFileFromFirstFolder("f.txt", folders, tmp / "dest/"));
    EXPECT_EQ(Vok::Test::ReadTextFile(tmp / "dest/f.txt"), "second");
    // An existing target is never overwritten.
    WriteTextFile(tmp / "two/keep.txt", "new");
    EXPECT_FALSE(CopyFileFromFirstFolder("keep.txt", folders, tmp / "dest/"));
    EXPECT_EQ(Vok::Test::ReadTextFile(tmp / "dest/keep.txt"), "old");
    EXPECT_FALSE(CopyFileFromFirstFolder("none.txt", folders, tmp / "dest/"));
}

TEST(FsWrappersCopy, RefusesNamesThatLeaveTheFolder) {
    CTempFolder tmp;
    WriteTextFile(tmp / "secret.txt", "s");
    WriteTextFile(tmp / "src/sub/x.txt", "x");
    WriteTextFile(tmp / "src/a..b", "x");
    CreateDirectories(tmp / "dest/inner/sub");
    const std::vector<std::string> folders = {tmp / "src/"};
    for (const char* name : {"../secret.txt", "sub/x.txt", "..", "", "a..b"}) {
        EXPECT_FALSE(CopyFileFromFirstFolder(name, folders, tmp / "dest/inner/")) << name;
    }
    EXPECT_FALSE(Vok::Test::Exists(tmp / "dest/secret.txt"));
    EXPECT_FALSE(Vok::Test::Exists(tmp / "dest/inner/sub/x.txt"));
    EXPECT_FALSE(Vok::Test::Exists(tmp / "dest/inner/a..b"));
}

}  // namespace
