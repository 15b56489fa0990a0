#include "platform/child_job.h"

#include <fcntl.h>
#include <signal.h>

#include "platform/process_launch.h"

namespace Vok {

bool CKillOnCloseJob::Assign(int pidFd) {
    if (pidFd < 0) return false;
    Posix::CUniqueFd own(::fcntl(pidFd, F_DUPFD_CLOEXEC, 3));
    if (!own.IsOpen()) return false;
    std::lock_guard<std::mutex> guard(m_mutex);
    m_members.push_back(std::move(own));
    return true;
}

void CKillOnCloseJob::Close() {
    std::vector<Posix::CUniqueFd> members;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        members.swap(m_members);
    }
    // A member that has ended already makes this fail harmlessly.
    for (const Posix::CUniqueFd& member : members) Process::SendSignal(member.Get(), SIGKILL);
}

size_t CKillOnCloseJob::GetCount() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_members.size();
}

}  // namespace Vok

Vok::CKillOnCloseJob* GetKillOnCloseJob() {
    static std::mutex creation;
    static Vok::CKillOnCloseJob* job = nullptr;
    std::lock_guard<std::mutex> guard(creation);
    if (job == nullptr && Vok::Process::StartLauncher()) {
        // Closed when the process ends, like the job of the original whose last handle the system
        // closes at exit.
        static Vok::CKillOnCloseJob processJob;
        job = &processJob;
    }
    return job;
}
