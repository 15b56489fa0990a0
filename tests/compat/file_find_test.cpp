#include "compat/file_find.h"

#include <gtest/gtest.h>

#include "compat/file_names.h"

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

}  // namespace
