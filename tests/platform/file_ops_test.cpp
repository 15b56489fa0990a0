#include "platform/file_ops.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "tests/support/file_helpers.h"

namespace {

using Vok::Test::CTempFolder;
using Vok::Test::Exists;
using Vok::Test::ReadTextFile;
using Vok::Test::WriteTextFile;

std::vector<std::string> Texts(const CStringArray& a) {
    std::vector<std::string> out;
    for (const CString& s : a) out.push_back(s.Str());
    return out;
}

std::string CurrentFolder() {
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

bool IsRoot() { return ::geteuid() == 0; }

TEST(FileOpsFind, FindFileInFolderSearchesThereWithoutChangingTheCurrentFolder) {
    CTempFolder tmp;
    WriteTextFile(tmp / "inside/report.txt", "");
    WriteTextFile(tmp / "inside/notes.txt", "");
    WriteTextFile(tmp / "decoy.txt", "");
    Vok::Test::CScopedCurrentFolder cwd(tmp.Path());
    const std::string before = CurrentFolder();

    EXPECT_TRUE(FindFileInFolder("report.txt", (tmp / "inside").c_str(), nullptr));
    EXPECT_TRUE(FindFileInFolder("report.txt", (tmp / "inside/").c_str(), nullptr));
    EXPECT_FALSE(FindFileInFolder("decoy.txt", (tmp / "inside").c_str(), nullptr));
    // A folder that cannot be entered finds nothing, even when the current folder would.
    EXPECT_FALSE(FindFileInFolder("decoy.txt", (tmp / "missing").c_str(), nullptr));
    EXPECT_FALSE(FindFileInFolder("decoy.txt", "", nullptr));
    EXPECT_EQ(CurrentFolder(), before);

    CFileFind finder;
    ASSERT_TRUE(FindFileInFolder("*.txt", (tmp / "inside").c_str(), &finder));
    std::vector<std::string> names;
    for (BOOL more = TRUE; more;) {
        more = finder.FindNextFile();
        names.push_back(finder.GetFileName().Str());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"notes.txt", "report.txt"}));

    EXPECT_TRUE(FindFileInFolder("decoy.txt", nullptr, nullptr));
    // The pattern names an entry inside the folder and cannot lead out of it.
    EXPECT_FALSE(FindFileInFolder("../decoy.txt", (tmp / "inside").c_str(), nullptr));
    EXPECT_FALSE(FindFileInFolder("..", (tmp / "inside").c_str(), nullptr));
    EXPECT_FALSE(FindFileInFolder("..", (tmp / "inside").c_str(), &finder));
}

TEST(FileOpsTests, ExistenceReadOnlyFolderAndAccess) {
    CTempFolder tmp;
    WriteTextFile(tmp / "f.txt", "x");
    EXPECT_TRUE(IsExistingFolder(tmp.Path().c_str()));
    EXPECT_FALSE(IsExistingFolder((tmp / "f.txt").c_str()));

    EXPECT_TRUE(IsFolderReadOnly(nullptr));
    EXPECT_TRUE(IsFolderReadOnly((tmp / "missing").c_str()));
    // A user's file with the old probe name is neither emptied nor deleted.
    WriteTextFile(tmp / "~1BBC170.tmp", "user data");
    EXPECT_FALSE(IsFolderReadOnly(tmp.Path().c_str()));
    EXPECT_EQ(ReadTextFile(tmp / "~1BBC170.tmp"), "user data");
    EXPECT_EQ(FindFirstFileInFolder(tmp.Path().c_str(), "~1BBC170??????.tmp"), "");  // no probe left

    EXPECT_TRUE(HasFileAccess((tmp / "f.txt").c_str(), GENERIC_READ | GENERIC_WRITE));
    EXPECT_FALSE(HasFileAccess((tmp / "missing").c_str(), GENERIC_READ));
    EXPECT_FALSE(HasFileAccess((tmp / "f.txt").c_str(), GENERIC_EXECUTE));
    // A file that nobody may write, the superuser included.
    EXPECT_FALSE(HasFileAccess("/proc/sys/kernel/ostype", GENERIC_WRITE));

    if (IsRoot()) GTEST_SKIP() << "permissions do not bind the superuser";
    ASSERT_EQ(::chmod(tmp.Path().c_str(), 0555), 0);
    EXPECT_TRUE(IsFolderReadOnly(tmp.Path().c_str()));
    ASSERT_EQ(::chmod((tmp / "f.txt").c_str(), 0444), 0);
    EXPECT_FALSE(HasFileAccess((tmp / "f.txt").c_str(), GENERIC_WRITE));
    EXPECT_FALSE(CanOpenFile((tmp / "f.txt").c_str(), 1));
    ::chmod(tmp.Path().c_str(), 0755);
}

TEST(FileOpsTests, CanOpenFileDeniesFoldersAndThrowsForOtherFailures) {
    CTempFolder tmp;
    WriteTextFile(tmp / "f.txt", "keep");
    EXPECT_TRUE(CanOpenFile((tmp / "f.txt").c_str(), 0));
    EXPECT_TRUE(CanOpenFile((tmp / "f.txt").c_str(), 2));
    EXPECT_EQ(ReadTextFile(tmp / "f.txt"), "keep");
    EXPECT_FALSE(CanOpenFile(tmp.Path().c_str(), 0));
    try {
        CanOpenFile((tmp / "missing.txt").c_str(), 0);
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    }
    EXPECT_TRUE(CanOpenFile((tmp / "new.txt").c_str(), 0x1001));
    EXPECT_TRUE(Exists(tmp / "new.txt"));
    // Create without truncate keeps what an existing file holds; create alone empties it.
    EXPECT_TRUE(CanOpenFile((tmp / "f.txt").c_str(), 0x3001));
    EXPECT_EQ(ReadTextFile(tmp / "f.txt"), "keep");
    EXPECT_TRUE(CanOpenFile((tmp / "f.txt").c_str(), 0x1001));
    EXPECT_EQ(ReadTextFile(tmp / "f.txt"), "");
}

TEST(FileOpsTests, CanCreateFileLeavesNothingBehind) {
    CTempFolder tmp;
    WriteTextFile(tmp / "exists.txt", "x");
    EXPECT_TRUE(CanCreateFile((tmp / "exists.txt").c_str()));
    EXPECT_TRUE(CanCreateFile((tmp / "a/b/c/new.txt").c_str()));
    EXPECT_FALSE(Exists(tmp / "a"));
    EXPECT_FALSE(CanCreateFile((tmp / "exists.txt/sub/new.txt").c_str()));
    // The folders can be made but the file cannot: its name is too long.
    EXPECT_FALSE(CanCreateFile((tmp / ("a/" + std::string(300, 'n'))).c_str()));
    EXPECT_FALSE(Exists(tmp / "a"));
    CStringArray all;
    EXPECT_FALSE(ListFolders(all, tmp.Path().c_str(), "*", TRUE, TRUE));
    EXPECT_EQ(ReadTextFile(tmp / "exists.txt"), "x");
}

class FileOpsTree : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTextFile(tmp / "top.txt", "top");
        WriteTextFile(tmp / "top.log", "log");
        WriteTextFile(tmp / "b/b1.txt", "b1");
        WriteTextFile(tmp / "b/bb/bb1.txt", "bb1");
        WriteTextFile(tmp / "a/a1.txt", "a1");
        WriteTextFile(tmp / "a/a2.log", "a2");
        root = tmp.Path().c_str();
    }
    CTempFolder tmp;
    CString root;
};

TEST_F(FileOpsTree, ListFilesGoesTopFolderFirstThenDepthFirst) {
    CStringArray out;
    ASSERT_TRUE(ListFiles(out, root, "*.txt", TRUE, TRUE));
    EXPECT_EQ(Texts(out), (std::vector<std::string>{tmp / "top.txt", tmp / "a/a1.txt",
                                                    tmp / "b/b1.txt", tmp / "b/bb/bb1.txt"}));
    ASSERT_TRUE(ListFiles(out, root, "*.*", FALSE, FALSE));
    EXPECT_EQ(Texts(out), (std::vector<std::string>{"top.log", "top.txt"}));
    EXPECT_FALSE(ListFiles(out, root, "*.none", TRUE, FALSE));
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_FALSE(ListFiles(out, root, "../*", FALSE, FALSE));

    EXPECT_EQ(FindFirstFileInFolder(root, "*.*").Str(), tmp / "top.log");
    EXPECT_EQ(FindFirstFileInFolder(root, "b*"), "");
    EXPECT_EQ(FindFirstFileInFolder(root, "../*"), "");
    // A mask with ".." is refused even where it would match a name in the folder.
    WriteTextFile(tmp / "two..dots", "");
    EXPECT_EQ(FindFirstFileInFolder(root, "*..*"), "");
}

TEST_F(FileOpsTree, ListFoldersFollowsEachFolderWithItsOwnListing) {
    CStringArray out;
    ASSERT_TRUE(ListFolders(out, root, "*", TRUE, TRUE));
    EXPECT_EQ(Texts(out), (std::vector<std::string>{tmp / "a", tmp / "b", tmp / "b/bb"}));
    ASSERT_TRUE(ListFolders(out, root, "*", TRUE, FALSE));
    EXPECT_EQ(Texts(out), (std::vector<std::string>{"a", "b", "bb"}));
    // The mask also decides which folders are entered.
    ASSERT_TRUE(ListFolders(out, root, "b*", TRUE, FALSE));
    EXPECT_EQ(Texts(out), (std::vector<std::string>{"b", "bb"}));
}

TEST_F(FileOpsTree, WalksNameLinksToFoldersButNeverEnterThem) {
    ASSERT_EQ(::symlink(tmp.Path().c_str(), (tmp / "b/loop").c_str()), 0);
    CStringArray out;
    ASSERT_TRUE(ListFolders(out, root, "*", TRUE, FALSE));
    EXPECT_EQ(Texts(out), (std::vector<std::string>{"a", "b", "bb", "loop"}));
    ASSERT_TRUE(ListFiles(out, root, "*.txt", TRUE, FALSE));
    EXPECT_EQ(Texts(out), (std::vector<std::string>{"top.txt", "a1.txt", "b1.txt", "bb1.txt"}));
}

TEST_F(FileOpsTree, CopyFolderTreeCopiesFilesAndFolders) {
    CTempFolder dest;
    const CString to = dest.Path().c_str();
    EXPECT_TRUE(CopyFolder(root, to, FALSE));
    EXPECT_EQ(ReadTextFile(dest / "top.txt"), "top");
    EXPECT_FALSE(Exists(dest / "a"));

    WriteTextFile(tmp / "top.txt", "changed");
    EXPECT_TRUE(CopyFolder(root, to, TRUE));
    EXPECT_EQ(ReadTextFile(dest / "top.txt"), "changed");  // overwritten
    EXPECT_EQ(ReadTextFile(dest / "b/bb/bb1.txt"), "bb1");
    EXPECT_EQ(ReadTextFile(dest / "a/a2.log"), "a2");
}

TEST_F(FileOpsTree, CopyFolderTreeReportsTheFirstFailure) {
    CTempFolder dest;
    // A folder where the file should go makes that one copy fail.
    ASSERT_EQ(::mkdir((dest / "top.log").c_str(), 0755), 0);
    CString failed;
    EXPECT_FALSE(CopyFolderTree(root, dest.Path().c_str(), TRUE, TRUE, failed));
    EXPECT_EQ(failed.Str(), tmp / "top.log");
    EXPECT_FALSE(Exists(dest / "top.txt"));  // stopped at the first failure

    EXPECT_FALSE(CopyFolderTree(root, dest.Path().c_str(), TRUE, FALSE, failed));
    EXPECT_EQ(failed.Str(), tmp / "top.log");
    EXPECT_EQ(ReadTextFile(dest / "top.txt"), "top");
    EXPECT_EQ(ReadTextFile(dest / "b/bb/bb1.txt"), "bb1");

    // A file where a folder should go stops the copy at that folder.
    CTempFolder blocked;
    WriteTextFile(blocked / "a", "");
    failed = "";
    EXPECT_FALSE(CopyFolderTree(root, blocked.Path().c_str(), TRUE, TRUE, failed));
    EXPECT_EQ(failed.Str(), tmp / "a");
}

// Runs work on a thread; when it has not finished within a few seconds, opening the FIFO's
// other end releases the open it waits in, and the test fails instead of hanging.
template <typename Work>
bool FinishesWithoutAPeer(const std::string& fifo, Work work) {
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(3)) == std::future_status::ready) return true;
    const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    done.wait();
    if (fd >= 0) ::close(fd);
    return false;
}

TEST_F(FileOpsTree, FifosAreNeverWaitedOn) {
    const std::string fifo = tmp / "a/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    CTempFolder dest;
    CString failed;
    BOOL copied = TRUE;
    EXPECT_TRUE(FinishesWithoutAPeer(fifo, [&] {
        copied = CopyFolderTree(root, dest.Path().c_str(), TRUE, FALSE, failed);
    }));
    EXPECT_FALSE(copied);
    EXPECT_EQ(failed.Str(), fifo);
    EXPECT_EQ(ReadTextFile(dest / "a/a2.log"), "a2");
    EXPECT_TRUE(FinishesWithoutAPeer(fifo, [&] { EXPECT_TRUE(CanOpenFile(fifo.c_str(), 0)); }));
}

TEST_F(FileOpsTree, CopyIntoItsOwnSubtreeIsRefused) {
    CString failed;
    EXPECT_FALSE(CopyFolderTree(root, (tmp / "b/copy").c_str(), TRUE, FALSE, failed));
    failed = "";
    EXPECT_FALSE(CopyFolderTree(root, root, TRUE, FALSE, failed));
    EXPECT_EQ(failed, root);
    EXPECT_EQ(ReadTextFile(tmp / "top.txt"), "top");
    EXPECT_FALSE(CopyFolderTree(root, (tmp / "b/../b").c_str(), TRUE, FALSE, failed));
    EXPECT_FALSE(Exists(tmp / "b/copy"));
    EXPECT_FALSE(Exists(tmp / "b/top.txt"));
}

TEST_F(FileOpsTree, CopyRecreatesLinksToFoldersInsteadOfEnteringThem) {
    ASSERT_EQ(::symlink(tmp.Path().c_str(), (tmp / "b/loop").c_str()), 0);
    CTempFolder dest;
    EXPECT_TRUE(CopyFolder(root, dest.Path().c_str(), TRUE));
    struct stat st {};
    ASSERT_EQ(::lstat((dest / "b/loop").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadTextFile(dest / "b/bb/bb1.txt"), "bb1");

    // A folder with contents in the link's place cannot be replaced: the link's copy fails.
    CTempFolder blocked;
    WriteTextFile(blocked / "b/loop/keep.txt", "k");
    CString failed;
    EXPECT_FALSE(CopyFolderTree(root, blocked.Path().c_str(), TRUE, FALSE, failed));
    EXPECT_EQ(failed.Str(), tmp / "b/loop");
}

TEST_F(FileOpsTree, DeleteFolderContentsRemovesLinksNotTheirTargets) {
    CTempFolder outside;
    WriteTextFile(outside / "precious.txt", "p");
    ASSERT_EQ(::symlink(outside.Path().c_str(), (tmp / "b/link").c_str()), 0);
    ASSERT_EQ(::symlink((outside / "precious.txt").c_str(), (tmp / "filelink").c_str()), 0);
    DeleteFolderContents(root);
    EXPECT_TRUE(IsExistingFolder(root));
    CStringArray out;
    EXPECT_FALSE(ListFolders(out, root, "*", TRUE, TRUE));
    EXPECT_FALSE(ListFiles(out, root, "*", TRUE, TRUE));
    EXPECT_FALSE(Exists(tmp / "filelink"));
    EXPECT_EQ(ReadTextFile(outside / "precious.txt"), "p");
}

TEST_F(FileOpsTree, DeleteFolderContentsOfAnEmptyPathDeletesNothing) {
    Vok::Test::CScopedCurrentFolder cwd(tmp.Path());
    DeleteFolderContents("");
    EXPECT_EQ(ReadTextFile(tmp / "top.txt"), "top");
    EXPECT_EQ(ReadTextFile(tmp / "b/bb/bb1.txt"), "bb1");
}

TEST(FileOpsPaths, MakeRelativePathTreatsAFromWithExtensionAsAFile) {
    struct sRow {
        const char* from;
        const char* to;
        BOOL ok;
        const char* out;
    } const rows[] = {
        {"/data/project", "/data/project/raw/a.txt", TRUE, "./raw/a.txt"},
        {"/data/project/", "/data/other/b.txt", TRUE, "../other/b.txt"},
        {"/data/project/settings.ini", "/data/project/raw/a.txt", TRUE, "./raw/a.txt"},
        {"/data/project/settings.ini", "/data/x.txt", TRUE, "../x.txt"},
        {"/data/project", "relative/a.txt", FALSE, ""},
        {"", "/a", FALSE, ""},
    };
    for (const auto& r : rows) {
        CString out("stale");
        EXPECT_EQ(MakeRelativePath(r.from, r.to, out), r.ok) << r.from << " -> " << r.to;
        EXPECT_EQ(out, r.out) << r.from << " -> " << r.to;
    }
}

TEST(FileOpsPaths, FolderCreationNeedsAnAbsolutePath) {
    CTempFolder tmp;
    const CString nested = (tmp / "x/y/z").c_str();
    EXPECT_TRUE(MakeLocalFolderPath(nested));
    EXPECT_TRUE(IsExistingFolder(nested));
    EXPECT_TRUE(MakeFolderPath((tmp / "p/q/").c_str()));
    WriteTextFile(tmp / "file", "");
    EXPECT_FALSE(MakeFolderPath((tmp / "file/sub").c_str()));
    {
        // In the temporary folder, so that a relative folder made by mistake goes with it.
        Vok::Test::CScopedCurrentFolder cwd(tmp.Path());
        EXPECT_FALSE(MakeLocalFolderPath("relative/folder"));
        EXPECT_FALSE(MakeFolderPath("relative/folder"));
        EXPECT_FALSE(Exists(tmp / "relative"));
        // A relative path that names an existing folder needs nothing created.
        EXPECT_TRUE(MakeFolderPath("x/y"));
        EXPECT_TRUE(MakeLocalFolderPath("x"));
    }

    const CString temp = GetTempFolder();
    EXPECT_EQ(temp.Right(1), "/");
}

TEST(FileOpsAttributes, ReadOnlySizesAndAttributes) {
    CTempFolder tmp;
    WriteTextFile(tmp / "f.txt", "12345");
    WriteTextFile(tmp / "empty", "");
    const CString f = (tmp / "f.txt").c_str();
    EXPECT_EQ(GetFileSize64(f), 5);
    EXPECT_EQ(GetFileSize64((tmp / "empty").c_str()), 0);
    EXPECT_EQ(GetFileSize64((tmp / "missing").c_str()), -1);
    EXPECT_EQ(GetFileSize64(tmp.Path().c_str()), -1);

    EXPECT_TRUE(SetReadOnly(f, TRUE));
    struct stat st {};
    ASSERT_EQ(::stat(f, &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    EXPECT_FALSE(SetReadOnly((tmp / "missing").c_str(), TRUE));
    // An entry read-only already is left as it is, even one whose mode cannot change.
    EXPECT_TRUE(SetReadOnly("/proc/self/status", TRUE));

    EXPECT_TRUE(ClearFileAttributes(f, FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(::stat(f, &st), 0);
    EXPECT_NE(st.st_mode & S_IWUSR, 0u);
    EXPECT_FALSE(ClearFileAttributes(f, FILE_ATTRIBUTE_READONLY));  // no such bit left
    EXPECT_FALSE(ClearFileAttributes((tmp / "missing").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(ClearFileAttributes((tmp / "missing").c_str(), FILE_ATTRIBUTE_NORMAL));
}

TEST(FileOpsNames, MakeUniqueFileNameCountsUpFromOne) {
    CTempFolder tmp;
    const CString folder = tmp.Path().c_str();
    EXPECT_EQ(MakeUniqueFileName(folder, "report", "txt", false, true), "report.txt");
    EXPECT_EQ(MakeUniqueFileName(folder, "report", "txt", true, true).Str(), tmp / "report.txt");
    WriteTextFile(tmp / "report.txt", "");
    WriteTextFile(tmp / "report (1).txt", "");
    EXPECT_EQ(MakeUniqueFileName(folder, "report", "txt", false, true), "report (2).txt");
    EXPECT_EQ(MakeUniqueFileName(folder, "report", "txt", false, false), "report.txt");
    EXPECT_EQ(MakeUniqueFileName(folder, "../report", "txt", true, true), "");
    EXPECT_EQ(MakeUniqueFileName(folder, "report", "/txt", true, true), "");
}

TEST(FileOpsNames, AnsiNamesAreStoredAsUtf8) {
    CTempFolder tmp;
    const CString name = CString(tmp.Path().c_str()) + "/caf\xE9.txt";
    ASSERT_TRUE(CanOpenFile(name, 0x1001));
    EXPECT_TRUE(Exists(tmp / "caf\xC3\xA9.txt"));
    CStringArray out;
    ASSERT_TRUE(ListFiles(out, tmp.Path().c_str(), "*.txt", FALSE, FALSE));
    EXPECT_EQ(Texts(out), std::vector<std::string>{"caf\xE9.txt"});
    EXPECT_EQ(GetFileSize64(name), 0);
}

TEST(FileOpsKnownFolders, SpecialFoldersComeFromTheEnvironment) {
    CTempFolder tmp;
    // A Windows variable has no say here.
    Vok::Test::CScopedEnvironment windows("LOCALAPPDATA", tmp / "windows");
    Vok::Test::CScopedEnvironment xdg("XDG_DATA_HOME", tmp / "local");
    Vok::Test::CScopedEnvironment home("HOME", tmp.Path());
    EXPECT_EQ(Vok::GetLocalAppDataPath(), tmp / "local");

    CString out;
    EXPECT_FALSE(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA, "VOK/Dumps", out, false));
    EXPECT_FALSE(Exists(tmp / "local"));
    EXPECT_TRUE(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA, "VOK/Dumps", out, true));
    EXPECT_EQ(out.Str(), tmp / "local/VOK/Dumps");
    EXPECT_TRUE(IsExistingFolder(out));

    // An existing base with a missing sub-folder: false, with the path already given.
    EXPECT_FALSE(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA, "/Other", out, false));
    EXPECT_EQ(out.Str(), tmp / "local/Other");
    EXPECT_FALSE(GetSpecialFolderPath(0x7777, "", out, true));
    {
        Vok::Test::CScopedEnvironment config("XDG_CONFIG_HOME", std::optional<std::string>());
        EXPECT_TRUE(GetSpecialFolderPath(CSIDL_APPDATA, "", out, true));
        EXPECT_EQ(out.Str(), tmp / ".config");
        // An empty home is none: not the ".config" of the current folder.
        Vok::Test::CScopedEnvironment noHome("HOME", std::string());
        Vok::Test::CScopedCurrentFolder cwd(tmp.Path());
        EXPECT_FALSE(GetSpecialFolderPath(CSIDL_APPDATA, "", out, false));
    }

    // XDG_DATA_HOME counts only as an absolute path.
    for (const std::optional<std::string>& value : {std::optional<std::string>(), std::optional<std::string>(""),
                                                    std::optional<std::string>("relative/data")}) {
        Vok::Test::CScopedEnvironment other("XDG_DATA_HOME", value);
        EXPECT_EQ(Vok::GetLocalAppDataPath(), tmp / ".local/share") << value.value_or("unset");
    }
}

}  // namespace
