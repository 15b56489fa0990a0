#include "platform/named_object.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <stdexcept>
#include <system_error>

#include "platform/ipc_event.h"
#include "platform/read_write_lock.h"
#include "platform/shared_memory.h"
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
            EXPECT_EQ(std::string(e.what()), "Could not create shared memory: " + tooLong);
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
    first.reset();
    EXPECT_EQ(m_folder.ListFiles(), std::vector<std::string>{"m.S"});
    second.reset();
    EXPECT_TRUE(m_folder.ListFiles().empty());
}

}  // namespace
