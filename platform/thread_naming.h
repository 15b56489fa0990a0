// Thread descriptions "VOK.Zelfo.<module>.<role>". The kernel keeps at most 15 bytes of a thread's
// name, so the full description lives in this process's registry and the kernel gets a shortened
// name (the "VOK.Zelfo." prefix dropped, then the module cut so that the role stays whole), which
// process viewers and debuggers show. Only threads of this process can be named and read.
#pragma once

#include <string>

#include "compat/windows_types.h"

bool SetApplicationThreadName();
bool SetWorkerThreadName();
bool SetDriverThreadName();
// Names the calling thread with the module's file title and role.
bool SetCurrentThreadName(const std::string& role);
// threadId is a kernel thread id (gettid) of this process; description is UTF-8. False when no
// thread of this process has that id, the description is not valid UTF-8, or the kernel refuses it.
bool SetThreadName(DWORD threadId, const std::string& description);
// The description set for that thread; empty when it has none or no such thread of this process
// exists.
std::string GetThreadName(DWORD threadId);
// The name the kernel gets for a description: at most 15 bytes, cut between UTF-8 characters.
std::string ShortThreadName(const std::string& description);
