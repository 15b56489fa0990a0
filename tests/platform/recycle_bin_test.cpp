#include "platform/recycle_bin.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include <boost/filesystem.hpp>

#include "tests/support/file_helpers.h"

namespace {

using Vok::Test::CScopedCurrentFolder;
using Vok::Test::CScopedEnvironment;
using Vok::Test::CTempFolder;
using Vok::Test::Exists;
using Vok::Test::ReadTextFile;
using Vok::Test::WriteTextFile;

// "Path=" and "DeletionDate=" of an entry; the date must be the local time now, within a minute.
void CheckEntry(const std::string& entry, const std::string& path) {
    const std::string head = "[Trash Info]\nPath=" + path + "\nDeletionDate=";
    ASSERT_EQ(entry.rfind(head, 0), 0u) << entry;
    const std::string date = entry.substr(head.size());
    tm parsed{};
    ASSERT_NE(::strptime(date.c_str(), "%Y-%m-%dT%H:%M:%S\n", &parsed), nullptr) << date;
    EXPECT_EQ(date.size(), 20u) << date;
    parsed.tm_isdst = -1;
    EXPECT_LT(std::abs(std::difftime(std::mktime(&parsed), std::time(nullptr))), 60.0) << date;
}

class RecycleBin : public ::testing::Test {
protected:
    CTempFolder tmp;
    CScopedEnvironment data{"XDG_DATA_HOME", tmp / "data"};
    std::string trash = tmp / "data/Trash";
};

TEST_F(RecycleBin, ItemsMoveIntoTheHomeTrashWithTheirEntries) {
    const std::string folder = boost::filesystem::canonical(tmp.Path()).string();
    const std::string longFolder = std::string(100, 'd') + "/" + std::string(100, 'e') + "/" + std::string(90, 'f');
    WriteTextFile(tmp / "a.txt", "first");
    WriteTextFile(tmp / "sub/a.txt", "second");
    WriteTextFile(tmp / "tree/inner/x.txt", "x");
    WriteTextFile(tmp / "r \xC3\xA9%.txt", "odd");
    WriteTextFile(tmp / "target.txt", "target");
    ASSERT_EQ(::symlink((tmp / "target.txt").c_str(), (tmp / "link").c_str()), 0);
    WriteTextFile(tmp / (longFolder + "/long.txt"), "long");
    WriteTextFile(tmp / "rel/relative.txt", "relative");
    const std::string longName(250, 'n');
    WriteTextFile(tmp / longName, "long name");

    struct Row {
        std::string path;      // as given, in the ANSI code page
        std::string trashed;   // its name in the trash
        std::string recorded;  // the entry's Path=
        std::string content;   // the moved file's content, or the file inside a moved folder
    } rows[] = {
        {tmp / "a.txt", "a.txt", folder + "/a.txt", "first"},
        // The same name again gets a number.
        {tmp / "sub/a.txt", "a.txt.2", folder + "/sub/a.txt", "second"},
        {tmp / "tree/", "tree", folder + "/tree", "inner/x.txt:x"},
        // Windows-1252 0xE9 is U+00E9; blanks and '%' are escaped.
        {tmp / "r \xE9%.txt", "r \xC3\xA9%.txt", folder + "/r%20%C3%A9%25.txt", "odd"},
        // A link goes, its target stays.
        {tmp / "link", "link", folder + "/link", "target"},
        // A path far beyond 269 characters is taken whole.
        {tmp / (longFolder + "/long.txt"), "long.txt", folder + "/" + longFolder + "/long.txt", "long"},
        {"relative.txt", "relative.txt", folder + "/rel/relative.txt", "relative"},
        // "<name>.trashinfo" must fit a file name: the trash name is cut.
        {tmp / longName, std::string(233, 'n'), folder + "/" + longName, "long name"},
    };
    ASSERT_GT(rows[5].path.size(), 300u);
    CScopedCurrentFolder cwd(tmp / "rel");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_TRUE(DeleteToRecycleBin(row.path.c_str(), nullptr));
        const std::string moved = trash + "/files/" + row.trashed;
        const std::size_t colon = row.content.find(':');
        if (colon == std::string::npos) {
            EXPECT_EQ(ReadTextFile(moved), row.content);
        } else {
            EXPECT_EQ(ReadTextFile(moved + "/" + row.content.substr(0, colon)), row.content.substr(colon + 1));
        }
        CheckEntry(ReadTextFile(trash + "/info/" + row.trashed + ".trashinfo").value_or(""), row.recorded);
    }
    EXPECT_FALSE(Exists(tmp / "a.txt"));
    EXPECT_FALSE(Exists(tmp / "tree"));
    EXPECT_FALSE(Exists(tmp / "link"));
    EXPECT_EQ(ReadTextFile(tmp / "target.txt"), "target");
    struct stat st {};
    ASSERT_EQ(::lstat((trash + "/files/link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(trash.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(RecycleBin, WhatCannotBeMovedStaysAndGivesFalse) {
    WriteTextFile(tmp / "keep.txt", "keep");
    ASSERT_TRUE(DeleteToRecycleBin((tmp / "keep.txt").c_str(), nullptr));
    WriteTextFile(tmp / "keep.txt", "again");
    struct Row {
        std::string path;
    } rows[] = {
        {""},
        {tmp / "missing.txt"},
        {tmp / "missing/x.txt"},
        {tmp / "."},
        {tmp / ".."},
        // The trash itself, what lies in it, and a folder that holds it.
        {trash},
        {trash + "/files/keep.txt"},
        {tmp / "data"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_FALSE(DeleteToRecycleBin(row.path.c_str(), nullptr));
    }
    EXPECT_EQ(ReadTextFile(trash + "/files/keep.txt"), "keep");
    EXPECT_EQ(ReadTextFile(tmp / "keep.txt"), "again");
    // No entry was left without its item.
    std::size_t entries = 0;
    for (boost::filesystem::directory_iterator it(trash + "/info"), end; it != end; ++it) ++entries;
    EXPECT_EQ(entries, 1u);
}

// An item on another file system goes to the trash at that file system's top, with its path
// recorded below the top.
TEST_F(RecycleBin, AnItemOnAnotherFileSystemGoesToItsTopFolderTrash) {
    const std::string top = "/dev/shm";
    struct stat shm {};
    struct stat here {};
    if (::stat(top.c_str(), &shm) != 0 || ::stat(tmp.Path().c_str(), &here) != 0 || shm.st_dev == here.st_dev ||
        ::access(top.c_str(), W_OK) != 0)
        GTEST_SKIP() << "no second writable file system at " << top;
    struct stat mountParent {};
    if (::stat("/dev", &mountParent) != 0 || mountParent.st_dev == shm.st_dev) GTEST_SKIP() << top << " is no mount point";
    const std::string topTrash = top + "/.Trash-" + std::to_string(::geteuid());
    const bool existed = Exists(topTrash);
    const std::string folderName = "vok-trash-" + std::to_string(::getpid());
    WriteTextFile(top + "/" + folderName + "/item.txt", "elsewhere");

    const bool moved = DeleteToRecycleBin((top + "/" + folderName + "/item.txt").c_str(), nullptr);
    const std::string entry = ReadTextFile(topTrash + "/info/item.txt.trashinfo").value_or("");
    const std::string content = ReadTextFile(topTrash + "/files/item.txt").value_or("");
    boost::system::error_code ec;
    boost::filesystem::remove_all(top + "/" + folderName, ec);
    boost::filesystem::remove(topTrash + "/files/item.txt", ec);
    boost::filesystem::remove(topTrash + "/info/item.txt.trashinfo", ec);
    if (!existed) boost::filesystem::remove_all(topTrash, ec);

    EXPECT_TRUE(moved);
    EXPECT_EQ(content, "elsewhere");
    CheckEntry(entry, folderName + "/item.txt");
    EXPECT_FALSE(Exists(trash + "/files/item.txt"));
}

}  // namespace
