#include "platform/path_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct sJoinRow {
    const char* a;
    const char* b;
    const char* expected;
};

TEST(PathTextJoin, CombinePathKeepsExactlyOneSeparator) {
    const sJoinRow rows[] = {
        {"D:\\a\\", "\\b", "D:\\a\\b"}, {"D:\\a", "b", "D:\\a\\b"}, {"D:\\a/", "b", "D:\\a/b"},
        {"D:\\a", "/b", "D:\\a/b"},     {"", "b", "b"},             {"a", "", "a"},
        {"a//", "//b", "a///b"},
    };
    for (const auto& r : rows) EXPECT_EQ(CombinePath(r.a, r.b), r.expected) << r.a << " + " << r.b;
}

struct sSplitRow {
    std::string path;
    std::string drive, folder, name, extension;
};

TEST(PathTextSplit, SplitPathGivesDriveFolderNameAndExtension) {
    const std::string longFolder = "\\" + std::string(300, 'f') + "\\";
    const std::string longName(300, 'n');
    const sSplitRow rows[] = {
        {"D:\\a\\b.txt", "D:", "\\a\\", "b", ".txt"},
        {"D:/a/b/c.tar.gz", "D:", "/a/b/", "c.tar", ".gz"},
        {"\\x.y\\file", "", "\\x.y\\", "file", ""},
        {"name.ext", "", "", "name", ".ext"},
        {"D:", "D:", "", "", ""},
        {"", "", "", "", ""},
        // Parts of any length: nothing is cut or dropped.
        {"C:" + longFolder + longName + ".e", "C:", longFolder, longName, ".e"},
    };
    for (const auto& r : rows) {
        CString drive("x"), folder("x"), name("x"), ext("x");
        SplitPath(r.path.c_str(), drive, folder, name, ext);
        EXPECT_EQ(drive.Str(), r.drive) << r.path;
        EXPECT_EQ(folder.Str(), r.folder) << r.path;
        EXPECT_EQ(name.Str(), r.name) << r.path;
        EXPECT_EQ(ext.Str(), r.extension) << r.path;
    }
}

TEST(PathTextParts, FileNameFolderAndExtensionFollowTheLastBackslash) {
    EXPECT_EQ(GetFileNameFromPath("report.txt", true), "report.txt");
    EXPECT_EQ(GetFileNameFromPath("D:\\x\\report.txt", true), "report");
    EXPECT_EQ(GetFileNameFromPath("D:\\x\\report.txt", false), "report.txt");
    EXPECT_EQ(GetFileNameFromPath("D:\\x.y\\file", true), "file");
    EXPECT_EQ(GetFileNameFromPath(nullptr, true), "");

    EXPECT_EQ(GetFolderFromPath("D:\\a\\b.txt", false), "D:\\a\\");
    EXPECT_EQ(GetFolderFromPath("D:\\a\\b.txt", true), "D:\\a");
    EXPECT_EQ(GetFolderFromPath("b.txt", false), "");
    EXPECT_EQ(GetFolderFromPath(nullptr, false), "");

    EXPECT_EQ(RemoveExtension("D:\\a.b\\c"), "D:\\a.b\\c");
    EXPECT_EQ(RemoveExtension("archive.tar.gz"), "archive.tar");
    EXPECT_EQ(RemoveExtension(".txt"), "");
    EXPECT_EQ(RemoveExtension(nullptr), "");

    EXPECT_TRUE(HasExtension("D:\\a\\b.txt"));
    EXPECT_TRUE(HasExtension("b.txt"));
    EXPECT_FALSE(HasExtension("D:\\a.b\\c"));
    EXPECT_FALSE(HasExtension(nullptr));

    EXPECT_EQ(GetExtension("D:\\a\\b.txt", true), ".txt");
    EXPECT_EQ(GetExtension("D:\\a\\b.txt", false), "txt");
    EXPECT_EQ(GetExtension("D:\\a\\b", true), "");
}

TEST(PathTextExtension, SetExtensionReplacesOrKeeps) {
    struct sRow {
        const char* path;
        const char* ext;
        bool onlyIfNone;
        const char* expected;
    } const rows[] = {
        {"D:\\a\\b.txt", "log", false, "D:\\a\\b.log"},
        {"D:\\a\\b.txt", ".log", false, "D:\\a\\b.log"},
        {"D:\\a\\b.txt", "log", true, "D:\\a\\b.txt"},
        {"D:\\a\\b", "log", true, "D:\\a\\b.log"},
        {"D:\\a\\b.txt", "", false, "D:\\a\\b"},
    };
    for (const auto& r : rows) {
        CString inPlace(r.path);
        SetExtension(inPlace, r.ext, r.onlyIfNone);
        EXPECT_EQ(inPlace, r.expected) << r.path << " " << r.ext;
        EXPECT_EQ(SetExtension(r.path, r.ext, r.onlyIfNone), r.expected);
    }
    EXPECT_EQ(SetExtension(static_cast<const char*>(nullptr), "log", false), "");
}

TEST(PathTextExtension, ReplaceExtensionInTextTriesLowerThenUpperCase) {
    EXPECT_EQ(ReplaceExtensionInText("A.TXT", "txt", "log"), "A.LOG");
    EXPECT_EQ(ReplaceExtensionInText("a.txt b.txt", "txt", ".log"), "a.log b.log");
    EXPECT_EQ(ReplaceExtensionInText("a.Txt", "txt", "log"), "a.Txt");
    CString text("x.txt.bak");
    ReplaceExtensionInText(text, ".txt", "log");
    EXPECT_EQ(text, "x.log.bak");
}

TEST(PathTextNames, ValidityAndCleaning) {
    EXPECT_EQ(GetFirstWord("first second"), "first");
    EXPECT_EQ(GetFirstWord("single"), "single");
    EXPECT_EQ(GetFirstWord(nullptr), "");

    EXPECT_FALSE(IsValidFileName(""));
    EXPECT_FALSE(IsValidFileName(nullptr));
    EXPECT_FALSE(IsValidFileName("a&b"));
    EXPECT_TRUE(IsValidFileName("a b.txt"));

    EXPECT_EQ(CleanFileName("a:b?c", true, '_'), "a_b_c");
    EXPECT_EQ(CleanFileName("a:b?c", false, '_'), "abc");
    EXPECT_EQ(CleanFileName("\\?*/&:><\"|", false, '_'), "");
    EXPECT_EQ(CleanFileName("\\?*/&:><\"|", true, '-'), "----------");

    EXPECT_TRUE(StartsWithoutDot("a.txt"));
    EXPECT_FALSE(StartsWithoutDot(".hidden"));
    EXPECT_FALSE(StartsWithoutDot(""));
    EXPECT_FALSE(StartsWithoutDot(nullptr));

    EXPECT_TRUE(IsSameFileName("D:\\A\\File.TXT", "d:\\a\\file.txt"));
    EXPECT_FALSE(IsSameFileName("a.txt", "a.txt "));
}

TEST(PathTextNames, CleanPathKeepsSeparatorsAmpersandAndTheDriveColon) {
    struct sRow {
        const char* path;
        bool replace;
        const char* expected;
    } const rows[] = {
        {"D:\\a?b\\c*.txt", false, "D:\\ab\\c.txt"},
        {"D:\\a?b\\c*.txt", true, "D:\\a_b\\c_.txt"},
        {"D:\\x:y", false, "D:\\xy"},
        {"D:\\x:y", true, "D:\\x_y"},
        {"D:rel", true, "D:rel"},
        {"Z:\\x:y", true, "Z:\\x_y"},
        {"z:\\x:y", false, "z:\\xy"},
        {"a/b&c<d>|\"e", false, "a/b&cde"},
        {"1:\\x", true, "1_\\x"},
        {"::", false, ""},
    };
    for (const auto& r : rows) EXPECT_EQ(CleanPath(r.path, r.replace, '_'), r.expected) << r.path;
}

TEST(PathTextAbbreviate, DropsFoldersFromTheLeft) {
    struct sRow {
        const char* path;
        int max;
        const char* expected;
    } const rows[] = {
        {"D:\\a\\b\\c\\file.txt", 15, "D:\\...\\file.txt"},
        {"D:\\abcd\\efgh\\file.txt", 20, "D:\\...\\efgh\\file.txt"},
        {"D:\\abcd\\efgh\\file.txt", 21, "D:\\abcd\\efgh\\file.txt"},  // exactly the maximum
        {"D:\\a\\file.txt", 99, "D:\\a\\file.txt"},
        {"no-backslash-at-all.txt", 5, "no-backslash-at-all.txt"},
        {"D:\\folder\\averyveryverylongname.txt", 5, "D:\\...\\averyveryverylongname.txt"},
        {"\\a\\bb\\file.txt", 12, "\\...\\file.txt"},  // no drive: the first backslash leads
    };
    for (const auto& r : rows) EXPECT_EQ(AbbreviatePath(r.path, r.max), r.expected) << r.path;
    EXPECT_EQ(AbbreviatePath(nullptr, 10), "");
}

TEST(PathTextAbbreviate, AbbreviatePathToFitDropsFoldersUntilTheWidthIsReached) {
    // One pixel per character.
    CWnd window(200, 20);
    window.SetTextMeasure([](const char*, int length) { return length; });
    struct Row {
        const char* path;
        int maxWidth;
        const char* expected;
    } rows[] = {
        {"D:\\alpha\\beta\\c\\file.txt", 24, "D:\\alpha\\beta\\c\\file.txt"},  // fits
        {"D:\\alpha\\beta\\c\\file.txt", 23, "D:\\...\\beta\\c\\file.txt"},
        {"D:\\alpha\\beta\\c\\file.txt", 22, "D:\\...\\beta\\c\\file.txt"},
        {"D:\\alpha\\beta\\c\\file.txt", 21, "D:\\...\\c\\file.txt"},
        {"D:\\alpha\\beta\\c\\file.txt", 15, "D:\\...\\file.txt"},
        // Every folder gone and still too wide: no doubled backslash.
        {"D:\\alpha\\beta\\c\\file.txt", 14, "D:\\...\\file.txt"},
        {"D:\\alpha\\beta\\c\\file.txt", 10, "D:\\...\\file.txt"},
        // A doubled separator is an empty folder that gives way like any other.
        {"D:\\\\alpha\\beta\\file.txt", 17, "D:\\...\\file.txt"},
        // Not even drive and file name fit.
        {"D:\\alpha\\beta\\c\\file.txt", 9, "D:\\alpha\\beta\\c\\file.txt"},
        {"file.txt", 3, "file.txt"},
        // No folder that could be dropped.
        {"D:\\file.txt", 10, "D:\\file.txt"},
        {"\\a\\b\\file.txt", 12, "\\...\\file.txt"},
        {"D:/a/b/file.txt", 14, "D:/.../file.txt"},
        {"D:/alpha/bb/file.txt", 19, "D:/.../bb/file.txt"},
        {"/home/u/projects/file.txt", 22, "/.../projects/file.txt"},
        // The mark would be longer than the folder it stands for.
        {"C:\\a\\name.ext", 11, "C:\\a\\name.ext"},
    };
    for (const Row& r : rows) EXPECT_EQ(AbbreviatePathToFit(r.path, &window, r.maxWidth), r.expected) << r.path << " " << r.maxWidth;
    EXPECT_EQ(AbbreviatePathToFit("D:\\a\\b\\file.txt", nullptr, 3), "D:\\a\\b\\file.txt");
    // Where '/' is wide, dropping the empty folder between "\" and "/" alone already fits; as that
    // result is longer than the path, the path stays.
    window.SetTextMeasure([](const char* text, int length) {
        int width = length;
        for (int i = 0; i < length; ++i) width += text[i] == '/' ? 9 : 0;
        return width;
    });
    EXPECT_EQ(AbbreviatePathToFit("D:\\/alpha\\file.txt", &window, 21), "D:\\/alpha\\file.txt");
}

TEST(PathTextAbbreviate, AbbreviatePathToFitUsesTheClientWidthLessTheMargins) {
    // The fixed advance of 8 pixels; 100 - 4 pixels hold 12 characters.
    CWnd window(100, 20);
    EXPECT_EQ(AbbreviatePathToFit("D:\\abc\\def\\x.txt", &window), "D:\\...\\x.txt");
    EXPECT_EQ(AbbreviatePathToFit("D:\\ab\\x.txt", &window), "D:\\ab\\x.txt");  // 11 characters
    EXPECT_EQ(AbbreviatePathToFit("D:\\abc\\x.txt", &window), "D:\\abc\\x.txt");  // 12: exactly the width
    window.SetClientSize(101, 20);
    EXPECT_EQ(AbbreviatePathToFit("D:\\abc\\def\\x.txt", &window, -1), "D:\\...\\x.txt");
    window.SetClientSize(300, 20);
    EXPECT_EQ(AbbreviatePathToFit("D:\\abc\\def\\x.txt", &window), "D:\\abc\\def\\x.txt");
}

}  // namespace
