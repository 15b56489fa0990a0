// Processes, rights, resources and standard folders. Children start without a shell, with their
// arguments passed one by one (never pasted into one command-line text). Rights are those of a
// Linux process: root, the administrators' groups and capabilities. Programs here carry no
// resources, and there is no elevation prompt: those operations give their failure values.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

#include "compat/collections.h"
#include "compat/cstring.h"
#include "compat/windows_types.h"

class CIpcEvent;

// An opaque handle to a started process or to a named event. The launchers hand out process
// handles that the caller closes with CloseHandle; closing lets go of the process, which keeps
// running (and is reaped when it ends).
class CHandleObject;
using HANDLE = CHandleObject*;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

// A handle through which event can be waited for; the event stays the caller's and must outlive
// the handle. Closed with CloseHandle.
HANDLE EventHandle(CIpcEvent& event);
// FALSE for a null or invalid handle.
BOOL CloseHandle(HANDLE handle);

constexpr DWORD STARTF_USESTDHANDLES = 0x00000100;

// How a child starts: its standard streams as descriptors of this process (-1 keeps this
// process's own).
struct STARTUPINFOA {
    DWORD cb = sizeof(STARTUPINFOA);
    DWORD dwFlags = 0;
    int hStdInput = -1;
    int hStdOutput = -1;
    int hStdError = -1;
};

// Starts file with one argument, arguments, when it is neither null nor empty. environment is a
// block of "NAME=value" entries, each ending in a zero byte, with an empty entry last; null gives
// the child this process's environment. INVALID_HANDLE_VALUE when the child cannot be started.
HANDLE LaunchProcess(const char* file, const char* arguments, const char* environment);
// Starts file with arguments, one argument each. startup (may be null) gives the standard
// streams; STARTF_USESTDHANDLES is added to its flags when it names any.
HANDLE LaunchProcessWithArgs(const CString& file, const CStringArray& arguments, STARTUPINFOA* startup,
                             const char* environment);
HANDLE LaunchProcessWithHandles(const CString& file, const CStringArray& arguments, const char* environment,
                                int standardOutput, int standardInput, int standardError);
// Ties the process to the process-wide kill-on-close job (the job kills it when it closes, at the
// latest when this process ends). False when the job cannot be had or the process cannot be tied
// to it, or the handle is no process.
bool AssignToKillOnCloseJob(HANDLE process);
// Waits until one of count handles is signalled (a process has ended, an event is set), all
// under one deadline: WAIT_OBJECT_0 + the lowest index signalled, WAIT_TIMEOUT (258) when
// timeoutMs passed (INFINITE waits for ever, 0 only looks), WAIT_FAILED for no handles or an
// invalid one. There is no limit on count.
DWORD WaitForManyObjects(DWORD count, const HANDLE* handles, DWORD timeoutMs);
// There is no elevation prompt here, and the Windows version record does not exist (code 0):
// -1, with *process (when given) set to INVALID_HANDLE_VALUE, and nothing is started.
int RunElevated(const CString& file, const CString& parameters, HANDLE* process);

// Programs here carry no resources: 0, and the output is left as it is.
int LoadResourceBytes(CByteArray& bytes, const CString& type, WORD id, const CString& moduleName);
int LoadResourceText(CString& text, const CString& type, WORD id);

// The shared data folder of programs ("/usr/share"); empty when it does not exist.
CString GetCommonFilesFolder();
// The home folder; empty when it cannot be had.
CString GetDocumentsFolder();
// The local application-data folder; withMaker appends "/VOK" and creates that folder when it is
// missing. Empty when the folder cannot be had.
CString GetLocalAppDataFolder(bool withMaker);

// True for root, and for a member of an administrators' group ("sudo", "wheel", "admin").
bool IsUserAdministrator();
// True when the process runs with root's rights (effective user 0).
bool IsProcessElevated();
// True when the process holds (is permitted, enabled or not) every named capability
// ("CAP_SYS_ADMIN" or "cap_sys_admin"); an unknown name gives false, an empty list true.
bool TokenHoldsPrivileges(std::vector<std::string> names);
// True when the process would be let into an object only administrators may use: it is root or
// overrides file permissions (CAP_DAC_OVERRIDE in effect).
bool IsAdminByAccessCheck();

// The stream's first min(its size, byteLimit) bytes as UTF-16 code units (little-endian, an odd
// last byte dropped); empty when fewer than 2 bytes are there.
std::wstring ReadStreamAsWide(std::istream& stream, std::size_t byteLimit);
// byteCount bytes from byteOffset as UTF-16 code units into out, cut at the stream's end; true
// only when the whole range lay inside the stream. An offset at or past the end reads nothing.
bool ReadStreamRangeAsWide(std::istream& stream, std::wstring& out, std::size_t byteCount,
                           std::size_t byteOffset);
