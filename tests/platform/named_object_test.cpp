#include "platform/named_object.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "platform/ipc_event.h"
#include "platform/read_write_lock.h"
#include "platform/shared_memory.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"

namespace {

using Vok::Ipc::CIpcFolder;
using Vok::Ipc::EncodeName;
using Vok::Ipc::MakeFileName;
using Vok::Test::IpcTest;

class NamedObjectTest : public IpcTest {};

TEST(NamedObjectNames, KeepSafeBytesAndEscapeEveryOther) {
    EXPECT_EQ(MakeFileName('m', "OUT_1234"), "m.OUT_1234");
    EXPECT_EQ(MakeFileName('l', "Az09_-"), "l.Az09_-");
    EXPECT_EQ(EncodeName("../x"), "%2E%2E%2Fx");
    EXPECT_EQ(EncodeName("a b%"), "a%20b%25");
    EXPECT_EQ(EncodeName(std::string("\xE9\x00\xFF", 3)), "%E9%00%FF");
    EXPECT_EQ(EncodeName(""), "");
}

TEST(NamedObjectNames, FileNamesLongerThan255BytesAreRefused) {
    EXPECT_EQ(MakeFileName('e', std::string(253, 'x')).size(), 255u);
    EXPECT_THROW(MakeFileName('e', std::string(254, 'x')), std::system_error);
    EXPECT_THROW(MakeFileName('e', std::string(85, '/')), std::system_error);  // 2 + 3 * 85 bytes
}

TEST_F(NamedObjectTest, FolderIsCreatedPrivateWhenMissing) {
    CIpcFolder::Open();
    struct stat st {};
    ASSERT_EQ(::lstat(m_folder.GetPath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(NamedObjectTest, FolderIsRefusedWhenUnsafe) {
    const std::string other = m_folder.GetRoot() + "/other";
    ASSERT_EQ(::mkdir(other.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(other.c_str(), m_folder.GetPath().c_str()), 0);
    EXPECT_THROW(CIpcFolder::Open(), std::system_error);
    EXPECT_THROW(SharedMemorySegment("S", 8, 0, nullptr), std::runtime_error);
    EXPECT_FALSE(CIpcEvent("E").IsValid());
    EXPECT_TRUE(boost::filesystem::is_empty(other));

    ASSERT_EQ(::unlink(m_folder.GetPath().c_str()), 0);
    ASSERT_EQ(::mkdir(m_folder.GetPath().c_str(), 0700), 0);
    ASSERT_EQ(::chmod(m_folder.GetPath().c_str(), 0720), 0);
    EXPECT_THROW(CIpcFolder::Open(), std::system_error);
    ASSERT_EQ(::chmod(m_folder.GetPath().c_str(), 0702), 0);
    EXPECT_THROW(CIpcFolder::Open(), std::system_error);
    ASSERT_EQ(::chmod(m_folder.GetPath().c_str(), 0700), 0);
    EXPECT_NO_THROW(CIpcFolder::Open());
}

TEST(NamedObjectFolder, EmptyVariableCountsAsUnset) {
    Vok::Test::CIpcTestFolder folder;  // restores the variable afterwards
    ::setenv("VOK_IPC_DIR", "", 1);
    EXPECT_EQ(Vok::Ipc::GetFolderPath(), "/dev/shm/vok-" + std::to_string(::geteuid()));
}

TEST_F(NamedObjectTest, HostileNamesStayFlatFilesInTheFolderOrFailCleanly) {
    const std::string tooLong(5000, 'n');
    {
        SharedMemorySegment up("../x", 16, 0, nullptr);
        NamedReadWriteLock slash("a/b");
        CIpcEvent dots("/..");
        EXPECT_TRUE(dots.IsValid());
        try {
            SharedMemorySegment longName(tooLong, 16, 0, nullptr);
            ADD_FAILURE() << "a 5000-byte name was accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Could not create shared memory: " + tooLong + ": File name too long");
        }
        EXPECT_THROW(NamedReadWriteLock{tooLong}, std::runtime_error);
        CIpcEvent longEvent(tooLong.c_str());
        EXPECT_FALSE(longEvent.IsValid());

        EXPECT_EQ(m_folder.ListFiles(), (std::vector<std::string>{"e.%2F%2E%2E", "l.a%2Fb", "m.%2E%2E%2Fx"}));
        for (const std::string& name : m_folder.ListFiles())
            EXPECT_TRUE(boost::filesystem::is_regular_file(m_folder.GetPath() + "/" + name)) << name;
    }
    EXPECT_FALSE(boost::filesystem::exists(m_folder.GetRoot() + "/x"));
}

TEST_F(NamedObjectTest, TheLastHolderRemovesTheFile) {
    auto first = std::make_unique<SharedMemorySegment>("S", 8, 0, nullptr);
    auto second = std::make_unique<SharedMemorySegment>("S", 8, 0, nullptr);
    EXPECT_TRUE(first->WasCreated());
    EXPECT_FALSE(second->WasCreated());
    // Holders lock the lifetime byte and no byte beyond it.
    const int probe = ::open((m_folder.GetPath() + "/m.S").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(probe, 0);
    EXPECT_EQ(Vok::Ipc::SetRecordLock(probe, F_WRLCK, Vok::Ipc::LIFETIME_BYTE, 1, false), EAGAIN);
    EXPECT_EQ(Vok::Ipc::SetRecordLock(probe, F_WRLCK, Vok::Ipc::LIFETIME_BYTE + 1, 1, false), 0);
    ::close(probe);
    first.reset();
    EXPECT_EQ(m_folder.ListFiles(), std::vector<std::string>{"m.S"});
    second.reset();
    EXPECT_TRUE(m_folder.ListFiles().empty());
}

// A view is unmapped when reset or replaced, so that no mapping of a file outlives its use.
TEST_F(NamedObjectTest, AViewIsUnmappedWhenResetOrReplaced) {
    const std::string path = m_folder.GetPath() + "/m.V";
    const auto mappings = [&] {
        std::istringstream maps(Vok::Test::ReadTextFile("/proc/self/maps").value_or(""));
        int n = 0;
        for (std::string line; std::getline(maps, line);) n += line.find(path) != std::string::npos;
        return n;
    };
    auto file = Vok::Ipc::CNamedFile::Open(Vok::Ipc::KIND_SEGMENT, "V", 8);
    auto view = Vok::Ipc::CMappedView::Map(file.GetFd(), 8);
    EXPECT_EQ(mappings(), 1);
    view = Vok::Ipc::CMappedView::Map(file.GetFd(), 8);
    EXPECT_EQ(mappings(), 1);
    view.Reset();
    EXPECT_EQ(mappings(), 0);
}

// An opener whose new file another holder replaced at the name takes the new one, as an opener.
TEST_F(NamedObjectTest, AnOpenerWhoseNewFileWasReplacedTakesTheNewOneAsItIs) {
    Vok::Ipc::CNamedFile other;
    auto file = Vok::Ipc::CNamedFile::Open(Vok::Ipc::KIND_SEGMENT, "R", 8, [&](int, const CIpcFolder& folder) {
        folder.RemoveFile(Vok::Ipc::KIND_SEGMENT, "R");
        other = Vok::Ipc::CNamedFile::Open(Vok::Ipc::KIND_SEGMENT, "R", 8);
    });
    EXPECT_TRUE(other.WasCreated());
    EXPECT_FALSE(file.WasCreated());
    EXPECT_EQ(m_folder.ListFiles(), std::vector<std::string>{"m.R"});
}

}  // namespace
