#include "platform/recycle_bin.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

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
    // Home trashes that cannot be used: a file in the way, a folder that the group can write.
    WriteTextFile(tmp / "blocked/Trash", "");
    boost::filesystem::create_directories(tmp / "open/Trash");
    ::chmod((tmp / "open/Trash").c_str(), 0770);
    struct Row {
        std::string path;
        std::string dataHome = {};
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
        // Nor does the item go to the trash at the top of the home trash's own file system.
        {tmp / "keep.txt", tmp / "blocked"},
        {tmp / "keep.txt", tmp / "open"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path + " " + row.dataHome);
        CScopedEnvironment home("XDG_DATA_HOME", row.dataHome.empty() ? tmp / "data" : row.dataHome);
        EXPECT_FALSE(DeleteToRecycleBin(row.path.c_str(), nullptr));
    }
    EXPECT_FALSE(Exists(tmp / "open/Trash/files"));
    EXPECT_EQ(ReadTextFile(trash + "/files/keep.txt"), "keep");
    EXPECT_EQ(ReadTextFile(tmp / "keep.txt"), "again");
    // No entry was left without its item.
    std::size_t entries = 0;
    for (boost::filesystem::directory_iterator it(trash + "/info"), end; it != end; ++it) ++entries;
    EXPECT_EQ(entries, 1u);
}

bool WriteProcFile(const char* file, const std::string& text) {
    const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
    const bool done = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0) ::close(fd);
    return done;
}

// Runs body in a child process with a user and a mount namespace of its own, where body can mount
// file systems that no other process sees. What body returned (passed on through a file in
// folder); nothing when no such namespace can be had here or body threw.
std::optional<std::string> InOwnMountNamespace(const std::string& folder, const std::function<std::string()>& body) {
    const std::string uid = std::to_string(::geteuid()) + " ", gid = std::to_string(::getegid()) + " ";
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The same user and group inside, so that what it makes stays theirs.
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 && WriteProcFile("/proc/self/uid_map", uid + uid + "1") &&
            WriteProcFile("/proc/self/setgroups", "deny") && WriteProcFile("/proc/self/gid_map", gid + gid + "1")) {
            try {
                WriteTextFile(folder + "/results", body());
            } catch (...) {
            }
        }
        ::_exit(0);
    }
    int status = 0;
    for (int waited = 0; ::waitpid(pid, &status, WNOHANG) == 0; ++waited) {
        if (waited == 500) ::kill(pid, SIGKILL);  // five seconds
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ReadTextFile(folder + "/results");
}

// The files below folder, sorted, each trash entry with the path it records.
std::string Listing(const std::string& folder) {
    std::vector<std::string> files;
    for (boost::filesystem::recursive_directory_iterator it(folder), end; it != end; ++it) {
        if (boost::filesystem::is_directory(it->symlink_status())) continue;
        const std::string entry = ReadTextFile(it->path().string()).value_or("");
        const std::size_t path = entry.find("\nPath=");
        files.push_back(it->path().string().substr(folder.size() + 1) +
                        (path == std::string::npos ? "" : ":" + entry.substr(path + 6, entry.find('\n', path + 1) - path - 6)));
    }
    std::sort(files.begin(), files.end());
    std::string text;
    for (const std::string& file : files) text += " " + file;
    return text;
}

// Each row on a file system of its own mounted at "top", so that the trashes at its top are the
// test's own.
TEST_F(RecycleBin, AnItemOnAnotherFileSystemGoesToItsTopFolderTrash) {
    const std::string top = tmp / "top";
    boost::filesystem::create_directories(top);
    struct Row {
        const char* name;
        mode_t sharedTrash;    // "$top/.Trash" made with this mode; 0: none
        bool homeOnTop;        // the home trash on the same file system
        const char* expected;  // the result, then every file below the top; '#' the user id
    } const rows[] = {
        {"own trash", 0, false, "1 .Trash-#/files/item.txt .Trash-#/info/item.txt.trashinfo:in/item.txt"},
        {"shared trash", 01777, false, "1 .Trash/#/files/item.txt .Trash/#/info/item.txt.trashinfo:in/item.txt"},
        {"shared trash without its sticky bit", 0777, false,
         "1 .Trash-#/files/item.txt .Trash-#/info/item.txt.trashinfo:in/item.txt"},
        // The item lies in a second mount of the same file system: the move fails after the
        // entry's name was reserved, and the entry goes again.
        {"move that fails", 0, true, "0 in/item.txt other/item.txt"},
    };
    const std::optional<std::string> results = InOwnMountNamespace(tmp.Path(), [&] {
        std::string out;
        for (const Row& row : rows) {
            // A fresh file system over the last one.
            if (::mount("vok", top.c_str(), "tmpfs", 0, "mode=0755") != 0) throw std::runtime_error("no tmpfs");
            WriteTextFile(top + "/in/item.txt", "item");
            if (row.sharedTrash != 0) {
                ::mkdir((top + "/.Trash").c_str(), 0700);
                ::chmod((top + "/.Trash").c_str(), row.sharedTrash);
            }
            std::string item = top + "/in/item.txt";
            if (row.homeOnTop) {
                ::setenv("XDG_DATA_HOME", (top + "/data").c_str(), 1);
                ::mkdir((top + "/other").c_str(), 0700);
                ::mount((top + "/in").c_str(), (top + "/other").c_str(), nullptr, MS_BIND, nullptr);
                item = top + "/other/item.txt";
            }
            const bool moved = DeleteToRecycleBin(item.c_str(), nullptr);
            out += std::string(row.name) + ": " + (moved ? "1" : "0") + Listing(top) + "\n";
        }
        return out;
    });
    if (!results) GTEST_SKIP() << "no mount namespace of our own here";
    std::string expected;
    for (const Row& row : rows) expected += std::string(row.name) + ": " + row.expected + "\n";
    for (std::size_t at; (at = expected.find('#')) != std::string::npos;) expected.replace(at, 1, std::to_string(::geteuid()));
    EXPECT_EQ(*results, expected);
    EXPECT_FALSE(Exists(trash + "/files/item.txt"));
}

}  // namespace
