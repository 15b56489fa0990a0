#include "compat/file.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/support/file_helpers.h"
#include "tests/support/peer_process.h"

namespace {

using Vok::Test::CTempFolder;
using Vok::Test::InChild;
using Vok::Test::ReadTextFile;
using Vok::Test::WriteTextFile;

constexpr UINT kReadWriteDenyWrite = CFile::modeReadWrite | CFile::shareDenyWrite;

TEST(File, OpenFailuresFillTheExceptionGiven) {
    CTempFolder folder;
    WriteTextFile(folder / "sub/keep", "x");
    struct sRow {
        std::string path;
        UINT flags;
        int cause;
    } const rows[] = {
        {folder / "missing.vok", CFile::modeRead, CFileException::fileNotFound},
        {folder / "no/such/folder.vok", CFile::modeReadWrite | CFile::modeCreate, CFileException::fileNotFound},
        {folder / "sub", CFile::modeRead, CFileException::accessDenied},
        {folder / "sub/keep/below", CFile::modeRead, CFileException::badPath},
        {"", CFile::modeRead, CFileException::fileNotFound},
    };
    for (const sRow& r : rows) {
        CFile file;
        CFileException error;
        EXPECT_FALSE(file.Open(r.path.c_str(), r.flags, &error)) << r.path;
        EXPECT_EQ(error.m_cause, r.cause) << r.path;
        EXPECT_EQ(error.m_strFileName, r.path);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_FALSE(file.Open(r.path.c_str(), r.flags));  // without an exception to fill
    }
    EXPECT_THROW(CFile((folder / "missing.vok").c_str(), CFile::modeRead), CFileException);
}

TEST(File, TheReadOnlyStateIsReadAndWritten) {
    CTempFolder folder;
    const std::string path = folder / "status.bin";
    WriteTextFile(path, "12345");
    CFileStatus status;
    ASSERT_TRUE(CFile::GetStatus(path.c_str(), status));
    EXPECT_EQ(status.m_size, 5u);
    EXPECT_EQ(status.m_attribute, CFile::normal);
    EXPECT_STREQ(status.m_szFullName.GetString(), path.c_str());
    status.m_attribute = CFile::readOnly;
    CFile::SetStatus(path.c_str(), status);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    ASSERT_TRUE(CFile::GetStatus(path.c_str(), status));
    EXPECT_EQ(status.m_attribute, CFile::readOnly);
    status.m_attribute = CFile::normal;
    CFile::SetStatus(path.c_str(), status);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IWUSR, 0u);
    ASSERT_TRUE(CFile::GetStatus(folder.Path().c_str(), status));
    EXPECT_EQ(status.m_attribute & CFile::directory, CFile::directory);
    const std::string missing = folder / "missing.bin";
    EXPECT_FALSE(CFile::GetStatus(missing.c_str(), status));
    EXPECT_THROW(CFile::SetStatus(missing.c_str(), status), CFileException);
}

TEST(File, ReadsAreShortAtTheEndAndNeverThrow) {
    CTempFolder folder;
    WriteTextFile(folder / "a", "abcdef");
    CFile file;
    ASSERT_TRUE(file.Open((folder / "a").c_str(), CFile::modeRead));
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(file.Read(buffer, 16), 2u);
    EXPECT_EQ(file.Read(buffer, 16), 0u);
    // Past the end a read gets nothing.
    EXPECT_EQ(file.Seek(100, CFile::begin), 100u);
    EXPECT_EQ(file.Read(buffer, 16), 0u);
    // A write to a file opened for reading is denied.
    try {
        file.Write("x", 1);
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::accessDenied);
    }
    file.Close();
    EXPECT_EQ(file.Read(buffer, 16), 0u);
    EXPECT_THROW(file.Write("x", 1), CFileException);
    EXPECT_THROW(file.GetLength(), CFileException);
}

TEST(File, SeeksPastTheEndAndResizesAt64BitPositions) {
    CTempFolder folder;
    const std::string path = folder / "big";
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeReadWrite | CFile::modeCreate));
    file.Write("ab", 2);
    // A write past the end fills the gap with zeros.
    EXPECT_EQ(file.Seek(2, CFile::current), 4u);
    file.Write("c", 1);
    EXPECT_EQ(file.GetLength(), 5u);
    EXPECT_EQ(*ReadTextFile(path), std::string("ab\0\0c", 5));
    // Beyond 4 GiB: positions and lengths do not wrap at 32 bits.
    const ULONGLONG far = 5ull << 30;
    EXPECT_EQ(file.Seek(static_cast<LONGLONG>(far), CFile::begin), far);
    EXPECT_EQ(file.GetPosition(), far);
    file.SetLength(far + 1);
    EXPECT_EQ(file.GetLength(), far + 1);
    EXPECT_EQ(file.SeekToEnd(), far + 1);
    EXPECT_EQ(file.Seek(-1, CFile::end), far);
    // Shorter again; the position stays where it was.
    file.SetLength(3);
    EXPECT_EQ(file.GetLength(), 3u);
    EXPECT_EQ(file.GetPosition(), far);
    try {
        file.Seek(-10, CFile::begin);
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::badSeek);
    }
    file.Close();
    EXPECT_EQ(*ReadTextFile(path), std::string("ab\0", 3));
}

TEST(File, CreateTruncatesUnlessToldNotTo) {
    CTempFolder folder;
    const std::string path = folder / "t.vok";
    WriteTextFile(path, "hello");
    {
        CFile file(path.c_str(), CFile::modeReadWrite | CFile::modeCreate | CFile::modeNoTruncate);
        EXPECT_EQ(file.GetLength(), 5u);
        EXPECT_EQ(file.GetFilePath(), CString(path.c_str()));
        EXPECT_EQ(file.GetFileName(), CString("t.vok"));
        EXPECT_EQ(file.GetFileTitle(), CString("t"));
    }
    CFile file(path.c_str(), CFile::modeWrite | CFile::modeCreate);
    EXPECT_EQ(file.GetLength(), 0u);
}

TEST(File, AShortWriteThrows) {
    CTempFolder folder;
    const std::string path = folder / "limited";
    // A file-size limit of 10 bytes cuts a 20-byte write short; the child reports what it saw.
    const int result = InChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{10, 10};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
        CFile file;
        if (!file.Open(path.c_str(), CFile::modeWrite | CFile::modeCreate)) return 11;
        try {
            file.Write("01234567890123456789", 20);
        } catch (const CFileException& e) {
            return e.m_cause == CFileException::diskFull ? 0 : 12;
        }
        return 13;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(*ReadTextFile(path), "0123456789");
}

TEST(File, DenyingWriteExcludesWritersOfOtherOpeners) {
    CTempFolder folder;
    const std::string path = folder / "shared.vok";
    WriteTextFile(path, "data");
    auto open = [&](UINT flags) {
        CFile file;
        CFileException error;
        const BOOL opened = file.Open(path.c_str(), flags, &error);
        return opened ? 0 : error.m_cause;
    };
    {
        CFile holder;
        ASSERT_TRUE(holder.Open(path.c_str(), kReadWriteDenyWrite));
        struct sRow {
            UINT flags;
            int cause;
        } const rows[] = {
            {CFile::modeRead | CFile::shareDenyNone, 0},
            {CFile::modeRead, 0},
            {CFile::modeReadWrite | CFile::shareDenyNone, CFileException::sharingViolation},
            {CFile::modeWrite, CFileException::sharingViolation},
            {kReadWriteDenyWrite, CFileException::sharingViolation},
            {CFile::modeWrite | CFile::modeCreate, CFileException::sharingViolation},
        };
        for (const sRow& r : rows) {
            EXPECT_EQ(open(r.flags), r.cause) << r.flags;
            // Another process sees the same.
            EXPECT_EQ(InChild([&] { return open(r.flags); }), r.cause) << r.flags;
        }
    }
    // A refused opener that would have created the file afresh left its content alone.
    EXPECT_EQ(*ReadTextFile(path), "data");
    // Released with the holder; and a writer keeps a denier out.
    EXPECT_EQ(open(kReadWriteDenyWrite), 0);
    CFile writer;
    ASSERT_TRUE(writer.Open(path.c_str(), CFile::modeWrite | CFile::shareDenyNone));
    EXPECT_EQ(InChild([&] { return open(CFile::modeRead | CFile::shareDenyWrite); }),
              CFileException::sharingViolation);
    writer.Abort();
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(open(CFile::modeRead | CFile::shareDenyWrite), 0);
    // Opening another file lets go of the one held before, and of its share lock.
    const std::string other = folder / "other.vok";
    WriteTextFile(other, "more");
    ASSERT_TRUE(writer.Open(path.c_str(), kReadWriteDenyWrite));
    ASSERT_TRUE(writer.Open(other.c_str(), kReadWriteDenyWrite));
    EXPECT_EQ(InChild([&] { return open(CFile::modeWrite); }), 0);
}

TEST(File, AKilledHolderLeavesNoShareLock) {
    CTempFolder folder;
    const std::string path = folder / "k.vok";
    WriteTextFile(path, "x");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        CFile file;
        const char c = file.Open(path.c_str(), kReadWriteDenyWrite) ? '1' : '0';
        (void)::write(ready[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, '1');
    CFile file;
    EXPECT_FALSE(file.Open(path.c_str(), CFile::modeReadWrite));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_TRUE(file.Open(path.c_str(), CFile::modeReadWrite));
    ::close(ready[0]);
    ::close(ready[1]);
}

}  // namespace
