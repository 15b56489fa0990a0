// Keeps another process from ending this one by cutting short a file that this process maps.
//
// Touching a page of a MAP_SHARED mapping that lies beyond the end of its file raises SIGBUS. Every
// view of a named object is registered here; when an access of any thread meets such a page, the
// SIGBUS handler marks the view broken and then puts private zero pages in place of the whole view,
// and the access, run again, completes on them: a read meets zeros, a write goes nowhere. The owner of
// the view looks at the mark after its accesses and refuses what it did, as it refuses any other damage;
// a broken view is mapped from its file again (Restore) before it is trusted once more.
//
// A SIGBUS that no registered view explains goes on to the handler that was there before (the crash
// handler) or, without one, ends the process as it would have.
#pragma once

#include <signal.h>

#include <cstdint>

namespace Vok::MappingGuard {

// Registers the view [address, address + size) and installs the handler on first use. The slot, or
// -1 when every slot is taken (the view then goes unguarded).
int Register(void* address, uint64_t size);
// Forgets the slot (before its view is unmapped); -1 is ignored. Returns once no handler of another
// thread can map over the view any more, so that its range may be unmapped and reused.
void Unregister(int slot);
// Whether an access met the end of the slot's file since it was registered or last restored.
bool IsBroken(int slot);
// Maps fd from offset 0 over the slot's view again (MAP_SHARED) when it is broken; true when it is
// not broken (any more). A break that comes meanwhile keeps it broken.
bool Restore(int slot, int fd);

// Puts the handler in front of the one there now, which it calls for every SIGBUS it does not
// absorb; nothing when it is in front already. A handler installed later (the crash handler) calls
// this again to keep it there.
void Install();

// Async-signal-safe. True when info is a fault within a registered view, which has then been marked
// broken and replaced by zero pages: returning from the handler runs the access again.
bool Absorb(const siginfo_t* info);

}  // namespace Vok::MappingGuard
