#include "definitions/project/project_file_ops.h"

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compat/code_page.h"
#include "compat/resource_strings.h"
#include "compat/unit_library.h"
#include "definitions/header/hdr_list.h"
#include "definitions/file/his_list.h"
#include "definitions/lists/sys_def_list.h"
#include "definitions/file/vok_file.h"
#include "foundation/error_text.h"
#include "platform/log.h"

namespace {

// The history action that marks the base of a new project.
constexpr int kActionCreatedFrom = 2;

// The text of a value in a table whose last row (last) also serves every larger value and, read
// as unsigned, every negative one.
CString TableText(UINT first, int value, unsigned last) {
    const auto index = static_cast<unsigned>(value);
    return LoadResourceString(first + (index > last ? last : index));
}

// Clears a read-only attribute for the life of the guard and sets it again at its end, on every
// path out of the operation.
class CWritableForNow {
public:
    explicit CWritableForNow(const char* path) : m_path(path) {}
    ~CWritableForNow() {
        if (!m_cleared) return;
        try {
            CFileStatus status;
            if (!CFile::GetStatus(m_path, status)) return;
            status.m_attribute |= CFile::readOnly;
            CFile::SetStatus(m_path, status);
        } catch (const CFileException&) {
            // The file went away or cannot be changed: nothing is left to restore.
        }
    }
    CWritableForNow(const CWritableForNow&) = delete;
    CWritableForNow& operator=(const CWritableForNow&) = delete;

    // False when the status cannot be read or the attribute cannot be cleared.
    bool Clear() {
        CFileStatus status;
        if (!CFile::GetStatus(m_path, status)) return false;
        if ((status.m_attribute & CFile::readOnly) == 0) return true;
        status.m_attribute &= static_cast<BYTE>(~CFile::readOnly);
        try {
            CFile::SetStatus(m_path, status);
        } catch (const CFileException&) {
            return false;
        }
        m_cleared = true;
        return true;
    }

private:
    const char* m_path;
    bool m_cleared = false;
};

}  // namespace

CString GetDatabaseKindName(int kind) {
    return TableText(IDS_DATABASE_KIND_FIRST, kind, 4);
}

CString GetRunModeName(int mode) {
    return TableText(IDS_RUN_MODE_FIRST, mode, 4);
}

CString GetDatabaseErrorText(int error) {
    return error == 0 ? CString() : TableText(IDS_DATABASE_ERROR_FIRST - 1, error, 5);
}

void CVOKFile::GetVersionString(CString& out) {
    CHdrList headers;
    headers.ReadBlock(*this, 0, 1);
    out = headers.GetVersionString();
}

int CVOKFile::GetBuildNumber() {
    CHdrList headers;
    headers.ReadBlock(*this, 0, 1);
    return static_cast<int>(headers.GetBuildNumber());
}

void CVOKFile::GetSurveyUnitName(CString& out, const char* path) {
    out.Empty();
    CFileException error;
    if (!Open(path, modeRead | shareDenyWrite, &error)) {
        error.ReportError();
        return;
    }
    try {
        CHdrList headers;
        headers.ReadBlock(*this, 0, 1);
        Close();
        out = headers.GetSurveyUnitName();
    } catch (const CFileException&) {
        Abort();
        out.Empty();
    }
}

int CVOKFile::SeekPastRealBlocks() {
    const ULONGLONG length = GetLength();
    const int32_t counted = ReadCount();
    int count = 0;
    // A file too short to hold the count ends where the count does.
    ULONGLONG end = sizeof(int32_t);
    ULONGLONG at = end;
    int stepped = 0;  // blocks since the last one that certainly belongs to the file
    Seek(static_cast<LONGLONG>(at), begin);
    sBlockHeader header;
    while (at + sizeof header <= length && ReadBlockHeader(header)) {
        const ULONGLONG next = at + sizeof header + static_cast<uint32_t>(header.size);
        if (next > length) break;
        // Beyond the count only a header that the file format could have written is a block;
        // zero bytes or other junk there are not. An unused block there looks like zero bytes,
        // so it belongs to the file only when a known block follows it.
        const bool beyond = count + stepped >= counted;
        if (beyond && header.id != BLOCK_UNUSED && !IsKnownBlockId(header.id)) break;
        at = next;
        ++stepped;
        if (!beyond || header.id != BLOCK_UNUSED) {
            end = at;
            count += stepped;
            stepped = 0;
        }
        Seek(static_cast<LONGLONG>(at), begin);
    }
    Seek(static_cast<LONGLONG>(end), begin);
    return count;
}

int CVOKFile::AddHistoryEntry(const char* path, int action, int value) {
    CWritableForNow writable(path);
    if (!writable.Clear()) return 0;
    CFileException error;
    if (!Open(path, modeReadWrite | shareDenyWrite, &error)) {
        error.ReportError();
        return 0;
    }
    try {
        CHisList history;
        const int found = history.ReadBlock(*this);
        history.SetEntry(action, static_cast<uint32_t>(value), nullptr, TRUE);
        constexpr uint32_t kHistorySize = CHisList::kEntries * sizeof(sHisEntry);
        // The block that the history came from, when it cannot be rewritten in place; it is
        // cleared only after the new block is in the file, so that a failure loses nothing.
        std::optional<std::pair<ULONGLONG, sBlockHeader>> replaced;
        if (found != 0 && FindBlock(found) != 0) {
            const ULONGLONG at = GetPosition();
            sBlockHeader header;
            ReadBlockHeader(header);
            // Only a block of the full size can take the history in place; a shorter one would
            // be overrun into the next block. Its header already says what it will hold and is
            // not touched, so that a write failing half-way still leaves every block after it
            // where a walk finds it.
            if (found == BLOCK_HISTORY && static_cast<uint32_t>(header.size) == kHistorySize)
                Write(history.GetData(), kHistorySize);
            else
                replaced.emplace(at, header);
        }
        if (found == 0 || replaced) {
            // The end of the real blocks, so that a stale count neither cuts blocks off nor
            // extends the file; what lies after them is cut off.
            const int blocks = SeekPastRealBlocks();
            SetLength(GetPosition());
            // Header and payload in one write: the file never holds a placeholder header.
            std::vector<uint8_t> block(sizeof(sBlockHeader) + kHistorySize);
            const sBlockHeader header{BLOCK_HISTORY, static_cast<int32_t>(kHistorySize)};
            std::memcpy(block.data(), &header, sizeof header);
            std::memcpy(block.data() + sizeof header, history.GetData(), kHistorySize);
            const ULONGLONG written = GetPosition();
            Write(block.data(), static_cast<UINT>(block.size()));
            const int32_t count = blocks + 1;
            SeekToBegin();
            Write(&count, sizeof count);
            if (replaced) WriteHeaderAt(replaced->first, {BLOCK_UNUSED, replaced->second.size});
            // A block 35 that lay beyond the old count is counted now: it is marked unused, so
            // that the history found is the one just written.
            while (FindBlock(BLOCK_HISTORY) != 0 && GetPosition() != written) {
                const ULONGLONG at = GetPosition();
                sBlockHeader stale;
                ReadBlockHeader(stale);
                WriteHeaderAt(at, {BLOCK_UNUSED, stale.size});
            }
        }
        Close();
        return 1;
    } catch (const CFileException&) {
        Abort();
        CString text;
        text.Format(LoadResourceString(IDS_UNABLE_TO_WRITE_DATABASE), path);
        // Through UTF-16, so that the path's ANSI bytes reach the log as their characters.
        const std::wstring wide = Vok::CodePage::AnsiToWide(text.GetString(), static_cast<size_t>(text.GetLength()));
        ZLog::LogTo(1, ZLog::Error, L"%ls", wide.c_str());
        return 0;
    }
}

int CVOKFile::CopyHeaderAndSystems(CVOKFile* target, int report, int upgradeMode, int writeMode) {
    if (target == nullptr) return 0;
    CHdrList headers;
    CSysDefList systems;
    CHisList history;
    headers.ReadBlock(*this, report, upgradeMode);
    systems.ReadBlock(*this);
    history.ReadBlock(*this);
    history.Reset();
    history.SetEntry(kActionCreatedFrom, 0, nullptr, TRUE);
    headers.WriteBlock(*target, writeMode);
    systems.WriteBlock(*target);
    history.WriteBlock(*target);
    systems.RemoveAll();
    return 3;
}
