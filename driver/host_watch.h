// The driver lives no longer than the host that started it. The kernel signals the driver when its
// parent ends; the run loop then asks IsHostGone, which compares the parent with the one recorded
// at start (a signal can also come when only the thread that started the driver ended).
#pragma once

#include <sys/types.h>

// Records the parent as the host and asks for a signal at its death. False when the host is gone
// already: the driver was orphaned before it could ask.
bool StartHostWatch();
// True once the recorded host has ended (the driver has another parent now). False when
// StartHostWatch was not called: a driver object inside another program has no host to watch.
bool IsHostGone();
// True when the recorded host may be gone: it has ended (the driver has another parent now), or the
// kernel is ending it. A process that the kernel tears down (tens of milliseconds for a large one)
// still holds its files until late in its end, and tells its children only after that. False when
// StartHostWatch was not called.
bool MayHostBeGone();
// The recorded host's process id; 0 before StartHostWatch.
pid_t GetHostProcessId();
// The signal of the host's death. A loop that blocks it and lets it in only while it waits
// (ppoll) never misses one that comes between its look at IsHostGone and its wait; one that is
// pending while the wait finds work at once is taken by IsHostGone.
int GetHostWatchSignal();
