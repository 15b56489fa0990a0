// The kill-on-close job: a registry of child processes that are killed together when the job
// closes. The process-wide job closes when the process ends; every child that Launch started also
// dies with this process through its death signal, even when the process is killed outright.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "platform/posix_call.h"

namespace Vok {

class CKillOnCloseJob {
public:
    CKillOnCloseJob() = default;
    ~CKillOnCloseJob() { Close(); }
    CKillOnCloseJob(const CKillOnCloseJob&) = delete;
    CKillOnCloseJob& operator=(const CKillOnCloseJob&) = delete;

    // Ties the process behind pidFd to the job; the job keeps a pidfd of its own. False when
    // pidFd is no open descriptor.
    bool Assign(int pidFd);
    // Kills every process tied to the job (SIGKILL) and empties the job; it can be used again.
    void Close();
    size_t GetCount() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Posix::CUniqueFd> m_members;
};

}  // namespace Vok

// The process-wide job, made on first use (once, also when several threads ask at the same time);
// null when the thread that gives children their death signal cannot be started, and a later call
// tries again.
Vok::CKillOnCloseJob* GetKillOnCloseJob();
