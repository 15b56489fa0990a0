#include "compat/file_find.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

#include "compat/file_names.h"
#include "tests/support/file_helpers.h"

namespace {

TEST(FileMask, WildcardsMatchLikeThePlatform) {
    struct sRow {
        const char* name;
        const char* mask;
        bool match;
    } const rows[] = {
        {"abc", "*.*", true},     {"a.b.c", "*.*", true},    {"abc", "*", true},
        {"abc", "a?c", true},     {"ac", "a?c", false},      {"A.TXT", "*.txt", true},
        {"a.txt.bak", "*.txt", false}, {"readme", "readme.*", true}, {"readme.md", "readme.*", true},
        {"readmex", "readme.*", false}, {"", "*", true},     {"x", "", false},
        {"a*b", "a*b", true},     {"aXXbYYb", "a*b", true},  {"aXXbYYc", "a*b", false},
    };
    for (const auto& r : rows) EXPECT_EQ(MatchesFileMask(r.name, r.mask), r.match) << r.name << " ~ " << r.mask;
    EXPECT_FALSE(MatchesFileMask(nullptr, "*"));
}

TEST(FileNames, AnsiNamesBecomeUtf8AndBack) {
    EXPECT_EQ(Vok::FileNames::AnsiToFileSystem("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(Vok::FileNames::FileSystemToAnsi("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
    // Characters the code page lacks and broken sequences become '?'.
    EXPECT_EQ(Vok::FileNames::FileSystemToAnsi("\xE6\x97\xA5\xFF\xC3"), "???");
}

TEST(FileFind, WalksASortedSnapshotOfTheFolder) {
    Vok::Test::CTempFolder tmp;
    Vok::Test::WriteTextFile(tmp / "b.txt", "12345");
    Vok::Test::WriteTextFile(tmp / "a.txt", "");
    Vok::Test::WriteTextFile(tmp / "c.log", "");
    Vok::Test::WriteTextFile(tmp / "sub/x", "");

    CFileFind find;
    ASSERT_TRUE(find.FindFile((tmp.Path() + "/*.TXT").c_str()));
    std::vector<std::string> names;
    BOOL more = TRUE;
    while (more) {
        more = find.FindNextFile();
        names.push_back(find.GetFileName().Str());
        EXPECT_FALSE(find.IsDirectory());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(find.GetFilePath().Str(), tmp / "b.txt");
    EXPECT_EQ(find.GetFileTitle(), "b");
    EXPECT_EQ(find.GetLength(), 5u);

    ASSERT_TRUE(find.FindFile((tmp / "sub").c_str()));
    find.FindNextFile();
    EXPECT_TRUE(find.IsDirectory());
    EXPECT_FALSE(find.IsDots());

    EXPECT_FALSE(find.FindFile((tmp / "none*").c_str()));
    EXPECT_FALSE(find.FindFile((tmp / "missing/*").c_str()));
    EXPECT_FALSE(find.FindFile((tmp.Path() + "/").c_str()));
}

TEST(FileFind, ReportsLinksAndTheDotEntries) {
    Vok::Test::CTempFolder tmp;
    Vok::Test::WriteTextFile(tmp / "d/f", "");
    ASSERT_EQ(::symlink((tmp / "d").c_str(), (tmp / "link").c_str()), 0);
    CFileFind find;
    ASSERT_TRUE(find.FindFile((tmp / "link").c_str()));
    find.FindNextFile();
    EXPECT_TRUE(find.IsDirectory());
    EXPECT_TRUE(find.MatchesMask(FILE_ATTRIBUTE_REPARSE_POINT));

    ASSERT_TRUE(find.FindFile((tmp / "d/*").c_str()));
    int dots = 0;
    for (BOOL more = TRUE; more;) {
        more = find.FindNextFile();
        dots += find.IsDots() ? 1 : 0;
    }
    EXPECT_EQ(dots, 2);
}

}  // namespace
