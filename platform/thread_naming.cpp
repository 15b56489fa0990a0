#include "platform/thread_naming.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

#include "foundation/string_utils.h"
#include "foundation/utf_conversion.h"
#include "platform/environment.h"
#include "platform/posix_call.h"

namespace {

constexpr size_t KERNEL_NAME_BYTES = 15;
const char DESCRIPTION_PREFIX[] = "VOK.Zelfo.";

struct sNamedThread {
    std::string description;
    uint64_t startTime;  // tells a thread from a later one that got the same id
};

struct sRegistry {
    std::mutex mutex;
    std::map<DWORD, sNamedThread> threads;
};

// Never destroyed, so that threads still running at exit can name themselves.
sRegistry& Registry() {
    static sRegistry* registry = new sRegistry();
    return *registry;
}

std::string TaskPath(DWORD threadId, const char* entry) {
    return "/proc/self/task/" + std::to_string(threadId) + "/" + entry;
}

// The thread's start time in clock ticks since boot; nothing when this process has no such thread.
std::optional<uint64_t> StartTime(DWORD threadId) {
    if (threadId == 0) return std::nullopt;
    std::ifstream in(TaskPath(threadId, "stat"));
    std::string stat;
    if (!std::getline(in, stat)) return std::nullopt;
    // The name in parentheses may hold blanks and parentheses itself: fields follow the last ')'.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    // starttime is field 22 of the line; field 3 (the state) is the first after the name.
    for (int i = 3; i <= 22; ++i)
        if (!(fields >> field)) return std::nullopt;
    try {
        return std::stoull(field);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// At most max bytes of text, never ending inside a UTF-8 character.
std::string CutUtf8(const std::string& text, size_t max) {
    if (text.size() <= max) return text;
    size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

}  // namespace

std::string ShortThreadName(const std::string& description) {
    std::string name = description;
    if (name.compare(0, sizeof DESCRIPTION_PREFIX - 1, DESCRIPTION_PREFIX) == 0 && name.size() > sizeof DESCRIPTION_PREFIX - 1)
        name.erase(0, sizeof DESCRIPTION_PREFIX - 1);
    if (name.size() <= KERNEL_NAME_BYTES) return name;
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot < KERNEL_NAME_BYTES) {
        const std::string role = name.substr(dot);
        return CutUtf8(name.substr(0, dot), KERNEL_NAME_BYTES - role.size()) + role;
    }
    return CutUtf8(name, KERNEL_NAME_BYTES);
}

bool SetApplicationThreadName() { return SetCurrentThreadName("Application"); }
bool SetWorkerThreadName() { return SetCurrentThreadName("Worker"); }
bool SetDriverThreadName() { return SetCurrentThreadName("Driver"); }

bool SetCurrentThreadName(const std::string& role) {
    const std::string module = AnsiToUtf8(GetModuleFileTitle(false));
    return SetThreadName(static_cast<DWORD>(::gettid()), Format("VOK.Zelfo.%s.%s", module, role));
}

bool SetThreadName(DWORD threadId, const std::string& description) {
    if (!IsValidUtf8(description)) return false;
    const std::optional<uint64_t> start = StartTime(threadId);
    if (!start) return false;
    sRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    Vok::Posix::CUniqueFd comm(::open(TaskPath(threadId, "comm").c_str(), O_WRONLY | O_CLOEXEC));
    if (!comm.IsOpen()) return false;
    const std::string name = ShortThreadName(description);
    const auto written = Vok::Posix::Call(::write, comm.Get(), name.data(), name.size());
    if (!written || static_cast<size_t>(written.value) != name.size()) return false;
    registry.threads[threadId] = {description, *start};
    return true;
}

std::string GetThreadName(DWORD threadId) {
    const std::optional<uint64_t> start = StartTime(threadId);
    if (!start) return {};
    sRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    const auto it = registry.threads.find(threadId);
    if (it == registry.threads.end() || it->second.startTime != *start) return {};
    return it->second.description;
}
