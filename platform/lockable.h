// The lock interface of the shared buffers.
#pragma once

#include "compat/windows_types.h"

namespace Vok {

class ILockable {
public:
    virtual ~ILockable() = default;
    // Time-outs in milliseconds; INFINITE waits for ever.
    virtual bool LockExclusive(DWORD timeoutMs) = 0;
    virtual bool LockShared(DWORD timeoutMs) = 0;
    virtual bool Unlock() = 0;
    virtual bool IsLocked() const = 0;
};

}  // namespace Vok
