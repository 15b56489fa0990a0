// Root of the class library's hierarchy and its exception types.
#pragma once

#include <string>

#include "compat/windows_types.h"

class CObject {
public:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
    virtual ~CObject() = default;
};

// Class-library exceptions are thrown by value and caught by reference.
class CException : public CObject {
public:
    // Copies the exception's message, cut to maxChars - 1 bytes, into buffer; false when it has none.
    virtual bool GetErrorMessage(char* buffer, UINT maxChars, UINT* helpContext = nullptr) const;
    virtual const char* What() const { return ""; }
    // Would show the message in a message box; there are none here, so nothing is shown and the
    // result is 0, the failure value of a message box.
    virtual int ReportError(UINT type = 0, UINT messageId = 0) const;
};

class CInvalidArgException : public CException {
public:
    const char* What() const override { return "Invalid argument."; }
};

class CMemoryException : public CException {
public:
    const char* What() const override { return "Out of memory."; }
};

class CFileException : public CException {
public:
    enum {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    explicit CFileException(int cause = none, LONG osError = -1, std::string fileName = {})
        : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}
    const char* What() const override;
    // The cause that an errno value stands for.
    static int OsErrorToException(LONG osError);

    int m_cause;
    LONG m_lOsError;
    std::string m_strFileName;
};
