#include "compat/object.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

bool CException::GetErrorMessage(char* buffer, UINT maxChars, UINT* helpContext) const {
    if (helpContext != nullptr) *helpContext = 0;
    const char* text = What();
    if (buffer == nullptr || maxChars == 0 || *text == '\0') return false;
    const size_t n = std::min<size_t>(std::strlen(text), maxChars - 1);
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return true;
}

int CException::ReportError(UINT /*type*/, UINT /*messageId*/) const {
    return 0;
}

const char* CFileException::What() const {
    switch (m_cause) {
        case none: return "No error occurred.";
        case fileNotFound: return "The file could not be located.";
        case badPath: return "All or part of the path is invalid.";
        case tooManyOpenFiles: return "The permitted number of open files was exceeded.";
        case accessDenied: return "The file could not be accessed.";
        case invalidFile: return "There was an attempt to use an invalid file handle.";
        case removeCurrentDir: return "The current working directory cannot be removed.";
        case directoryFull: return "There are no more directory entries.";
        case badSeek: return "There was an error trying to set the file pointer.";
        case hardIO: return "There was a hardware error.";
        case sharingViolation: return "A sharing violation occurred.";
        case lockViolation: return "There was an attempt to lock a region that was already locked.";
        case diskFull: return "The disk is full.";
        case endOfFile: return "The end of file was reached.";
        default: return "An unspecified error occurred.";
    }
}

int CFileException::OsErrorToException(LONG osError) {
    switch (osError) {
    case 0: return none;
    case ENOENT: return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return badPath;
    case EMFILE:
    case ENFILE: return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return accessDenied;
    case EBADF: return invalidFile;
    case ESPIPE: return badSeek;
    case EIO: return hardIO;
    case EWOULDBLOCK: return sharingViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return diskFull;
    default: return genericException;
    }
}
