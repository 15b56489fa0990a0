// The class library's binary file: open with access and share modes, read, write, seek and
// resize at 64-bit positions. Failures follow the library's contract: Open reports by FALSE and
// the exception it is given; Read returns the bytes it got and never throws; Write, Seek,
// SetLength, GetLength and Close throw CFileException; Abort and the destructor never throw.
// Paths are CString texts (ANSI code page) converted to the file system's encoding.
#pragma once

#include "compat/cstring.h"
#include "compat/object.h"
#include "compat/windows_types.h"

// A file's state as CFile::GetStatus reports it.
struct CFileStatus {
    ULONGLONG m_size = 0;
    BYTE m_attribute = 0;  // CFile::Attribute bits
    CString m_szFullName;
};

class CFile : public CObject {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };
    enum Attribute : BYTE { normal = 0x00, readOnly = 0x01, directory = 0x10 };

    // The size, the attributes (read-only: the owner may not write it) and the path of a file;
    // FALSE when it cannot be found.
    static BOOL GetStatus(const char* fileName, CFileStatus& status);
    // Applies the read-only attribute of status (the other fields are not written back): set,
    // nobody may write the file; clear, its owner may. Throws CFileException on a failure.
    static void SetStatus(const char* fileName, const CFileStatus& status);

    CFile() = default;
    // Opens as Open does; throws the CFileException that Open would have filled.
    CFile(const char* fileName, UINT openFlags);
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    // Closes an open file without throwing.
    ~CFile() override;

    // FALSE, with the cause and the name in error when it is given, when the file cannot be opened
    // or, with shareDenyWrite, when another opener writes it (or the other way round). A file that
    // is open already is closed first. Files are never inherited by child processes.
    virtual BOOL Open(const char* fileName, UINT openFlags, CFileException* error = nullptr);
    virtual void Close();
    // Closes and forgets errors.
    virtual void Abort();

    // The bytes read into buffer: fewer than count at the end of the file or after a read error,
    // 0 for a closed file.
    virtual UINT Read(void* buffer, UINT count);
    // Throws on a failure or a short write.
    virtual void Write(const void* buffer, UINT count);
    // The new position; a position past the end is allowed, one before the start throws.
    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    void SeekToBegin() { Seek(0, begin); }
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG GetLength() const;
    // Truncates or extends (with zeros); the position stays.
    virtual void SetLength(ULONGLONG length);
    virtual void Flush();

    bool IsOpen() const { return m_fd >= 0; }
    // The path as given to Open, its last component, and that without its extension.
    CString GetFilePath() const { return m_path; }
    CString GetFileName() const;
    CString GetFileTitle() const;

private:
    [[noreturn]] void Throw(int error) const;
    void CloseHandles();

    int m_fd = -1;
    int m_lockFd = -1;  // the description that holds the share locks, when not m_fd
    CString m_path;
};
