// Peer process for the tests of named objects. It runs the commands on its command line in order and
// reports each on standard output with a line that begins "READY <command>":
//   segment NAME SIZE BYTE       open segment NAME of SIZE bytes, initial bytes all BYTE
//                                -> READY segment created|existed <hex of its bytes>
//   write NAME OFFSET BYTE       write one byte into segment NAME
//   lock NAME                    open lock NAME
//   exclusive|shared NAME MS     lock it -> READY exclusive|shared 1|0
//   unlock NAME                  release this peer's hold of lock NAME
//   event NAME / set NAME / reset NAME
//   wait NAME MS                 prints "READY waiting" first -> READY wait <code> <elapsed ms>
//   buffer NAME                  open growable buffer NAME
//   grow NAME SIZE BYTE          under the exclusive hold: Resize to SIZE bytes, all BYTE
//                                -> READY grow <generation>
//   writers LOCK SEGMENT N       N times, under the exclusive hold, add 1 to both u64 of the pair
//   readers LOCK SEGMENT N       N times, under a shared hold, check that the pair's halves agree
//   pause                        READY pause, then wait for a line on standard input (end of input
//                                ends the peer)
//   close NAME                   drop every object of that name
// MS is a number or INFINITE. A failed command prints "FAIL <text>" and ends with code 2.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <sched.h>
#include <string>

#include "platform/ipc_event.h"
#include "platform/read_write_lock.h"
#include "platform/resizable_ipc_buffer.h"
#include "platform/shared_memory.h"
#include "tests/support/peer_report.h"

namespace {

class CPeerBuffer : public Vok::ResizableIPCBuffer {
public:
    using ResizableIPCBuffer::ResizableIPCBuffer;
    unsigned char* Data() {
        return m_dataSegment ? static_cast<unsigned char*>(m_dataSegment->GetView()) : nullptr;
    }
};

std::map<std::string, std::unique_ptr<SharedMemorySegment>> g_segments;
std::map<std::string, std::unique_ptr<NamedReadWriteLock>> g_locks;
std::map<std::string, std::unique_ptr<CIpcEvent>> g_events;
std::map<std::string, std::unique_ptr<CPeerBuffer>> g_buffers;

void Report(const std::string& line) { Vok::Test::PeerReport(line); }
[[noreturn]] void Fail(const std::string& text) { Vok::Test::PeerFail(text); }

DWORD Milliseconds(const char* text) {
    return std::strcmp(text, "INFINITE") == 0 ? INFINITE : static_cast<DWORD>(std::strtoul(text, nullptr, 10));
}

std::string Hex(const void* bytes, uint64_t size) {
    static const char DIGITS[] = "0123456789ABCDEF";
    std::string text;
    for (uint64_t i = 0; i < size; ++i) {
        const auto b = static_cast<const unsigned char*>(bytes)[i];
        text += DIGITS[b >> 4];
        text += DIGITS[b & 15];
    }
    return text;
}

template <typename T>
T& Find(std::map<std::string, std::unique_ptr<T>>& objects, const std::string& name) {
    const auto it = objects.find(name);
    if (it == objects.end()) Fail("no object " + name);
    return *it->second;
}

uint64_t* Pair(const std::string& segment) {
    auto& s = Find(g_segments, segment);
    if (s.GetSize() < 16) Fail("pair segment too small");
    return static_cast<uint64_t*>(s.GetView());
}

void Writers(const std::string& lock, const std::string& segment, long count) {
    NamedReadWriteLock& l = Find(g_locks, lock);
    volatile uint64_t* pair = Pair(segment);
    for (long i = 0; i < count; ++i) {
        if (!l.LockExclusive(INFINITE)) Fail("exclusive");
        if (pair[0] != pair[1]) Fail("pair torn under the exclusive hold");
        pair[0] = pair[0] + 1;
        if (i % 16 == 0) sched_yield();  // give others a chance to break in, if they could
        pair[1] = pair[1] + 1;
        if (!l.UnlockExclusive()) Fail("unlock");
    }
    Report("READY writers");
}

void Readers(const std::string& lock, const std::string& segment, long count) {
    NamedReadWriteLock& l = Find(g_locks, lock);
    volatile uint64_t* pair = Pair(segment);
    for (long i = 0; i < count; ++i) {
        if (!l.LockShared(INFINITE)) Fail("shared");
        const uint64_t first = pair[0];
        sched_yield();
        if (first != pair[1]) Fail("pair torn under a shared hold");
        if (!l.UnlockShared()) Fail("unlock");
    }
    Report("READY readers");
}

int Run(int argc, char** argv) {
    int i = 1;
    const auto next = [&]() -> const char* {
        if (i >= argc) Fail("missing argument");
        return argv[i++];
    };
    while (i < argc) {
        const std::string command = next();
        if (command == "segment") {
            const std::string name = next();
            const auto size = static_cast<DWORD>(std::strtoul(next(), nullptr, 10));
            const std::string initial(size, static_cast<char>(std::strtoul(next(), nullptr, 10)));
            auto segment = std::make_unique<SharedMemorySegment>(name, size, 0, initial.data());
            Report(std::string("READY segment ") + (segment->WasCreated() ? "created " : "existed ") +
                   Hex(segment->GetConstView(), segment->GetSize()));
            g_segments[name] = std::move(segment);
        } else if (command == "write") {
            auto& segment = Find(g_segments, next());
            const auto offset = std::strtoul(next(), nullptr, 10);
            if (offset >= segment.GetSize()) Fail("offset");
            static_cast<unsigned char*>(segment.GetView())[offset] = static_cast<unsigned char>(std::strtoul(next(), nullptr, 10));
            Report("READY write");
        } else if (command == "lock") {
            const std::string name = next();
            g_locks[name] = std::make_unique<NamedReadWriteLock>(name);
            Report("READY lock");
        } else if (command == "exclusive" || command == "shared") {
            auto& lock = Find(g_locks, next());
            const DWORD ms = Milliseconds(next());
            const bool locked = command == "exclusive" ? lock.LockExclusive(ms) : lock.LockShared(ms);
            Report("READY " + command + (locked ? " 1" : " 0"));
        } else if (command == "unlock") {
            auto& lock = Find(g_locks, next());
            const bool released = lock.IsExclusive() ? lock.UnlockExclusive() : lock.UnlockShared();
            Report(std::string("READY unlock ") + (released ? "1" : "0"));
        } else if (command == "event") {
            const std::string name = next();
            g_events[name] = std::make_unique<CIpcEvent>(CString(name.c_str()));
            Report(std::string("READY event ") + (g_events[name]->IsValid() ? "1" : "0"));
        } else if (command == "set" || command == "reset") {
            auto& event = Find(g_events, next());
            const bool ok = command == "set" ? event.Set() : event.Reset();
            Report("READY " + command + (ok ? " 1" : " 0"));
        } else if (command == "wait") {
            auto& event = Find(g_events, next());
            const DWORD ms = Milliseconds(next());
            Report("READY waiting");
            const auto start = std::chrono::steady_clock::now();
            const DWORD code = event.Wait(ms);
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
            Report("READY wait " + std::to_string(code) + " " + std::to_string(elapsed.count()));
        } else if (command == "buffer") {
            const std::string name = next();
            g_buffers[name] = std::make_unique<CPeerBuffer>(name);
            Report("READY buffer");
        } else if (command == "grow") {
            auto& buffer = Find(g_buffers, next());
            const auto size = std::strtoul(next(), nullptr, 10);
            const int fill = static_cast<int>(std::strtoul(next(), nullptr, 10));
            if (!buffer.LockExclusive(INFINITE)) Fail("exclusive");
            buffer.Resize(size);
            std::memset(buffer.Data(), fill, size);
            const DWORD generation = buffer.GetGeneration();
            buffer.Unlock();
            Report("READY grow " + std::to_string(generation));
        } else if (command == "writers" || command == "readers") {
            const std::string lock = next();
            const std::string segment = next();
            const long count = std::strtol(next(), nullptr, 10);
            if (command == "writers")
                Writers(lock, segment, count);
            else
                Readers(lock, segment, count);
        } else if (command == "pause") {
            Report("READY pause");
            std::string line;
            if (!std::getline(std::cin, line)) return 0;
        } else if (command == "close") {
            const std::string name = next();
            g_segments.erase(name);
            g_locks.erase(name);
            g_events.erase(name);
            g_buffers.erase(name);
            Report("READY close");
        } else {
            Fail("unknown command " + command);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return Vok::Test::RunPeer([&] {
        const int code = Run(argc, argv);
        g_buffers.clear();
        g_events.clear();
        g_locks.clear();
        g_segments.clear();
        return code;
    });
}
