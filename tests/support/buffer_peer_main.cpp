// Peer process for the tests of the shared buffer of blocks. It opens buffer handles and runs the
// commands on its command line in order, reporting each with a line that begins "READY <command>":
//   open NAME MODE            open a handle (mode 1 writer, 0 reader)
//   lock NAME / unlock NAME   -> READY lock 1|0
//   add NAME ID SIZE RS       AddBlock -> READY add <index>
//   ring NAME ID SIZE RS      AddRingBlock -> READY ring <index>
//   record NAME I J BYTE      record J of block I (1-based) filled with BYTE; the record count becomes
//                             at least J -> READY record 1|0
//   poke NAME OFFSET VALUE    write VALUE as a raw u32 at OFFSET of the current generation
//   generation NAME           -> READY generation <g>
//   pause                     READY pause, then wait for a line on standard input
// A failed command prints "FAIL <text>" and ends with code 2.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ipc_buffer_handle.h"
#include "tests/support/peer_report.h"

namespace {

std::map<std::string, std::unique_ptr<IpcBufferHandle>> g_handles;

void Report(const std::string& line) { Vok::Test::PeerReport(line); }
[[noreturn]] void Fail(const std::string& text) { Vok::Test::PeerFail(text); }

DWORD Number(const char* text) { return static_cast<DWORD>(std::strtoul(text, nullptr, 0)); }

IpcBufferHandle& Find(const std::string& name) {
    const auto it = g_handles.find(name);
    if (it == g_handles.end()) Fail("no buffer " + name);
    return *it->second;
}

int Run(int argc, char** argv) {
    int i = 1;
    const auto next = [&]() -> const char* {
        if (i >= argc) Fail("missing argument");
        return argv[i++];
    };
    while (i < argc) {
        const std::string command = next();
        if (command == "open") {
            const std::string name = next();
            const int mode = static_cast<int>(Number(next()));
            g_handles[name] = std::make_unique<IpcBufferHandle>(CString(name.c_str()), mode);
            Report("READY open");
        } else if (command == "lock") {
            Report(std::string("READY lock ") + (Find(next()).Lock() ? "1" : "0"));
        } else if (command == "unlock") {
            Find(next()).Unlock();
            Report("READY unlock");
        } else if (command == "add" || command == "ring") {
            auto& handle = Find(next());
            const DWORD id = Number(next());
            const DWORD size = Number(next());
            const DWORD recordSize = Number(next());
            const DWORD index = command == "add" ? handle.buffer.AddBlock(id, size, recordSize)
                                                 : handle.buffer.AddRingBlock(id, size, recordSize);
            Report("READY " + command + " " + std::to_string(index));
        } else if (command == "record") {
            auto& handle = Find(next());
            const DWORD block = Number(next());
            const DWORD record = Number(next());
            const std::vector<BYTE> bytes(handle.buffer.GetRecordSize(block - 1), static_cast<BYTE>(Number(next())));
            const int written = handle.WriteRecord(block, record, bytes.data(), static_cast<DWORD>(bytes.size()));
            if (written == 1 && handle.buffer.GetRecordCount(block - 1) < record)
                handle.buffer.SetRecordCount(block - 1, record);
            Report("READY record " + std::to_string(written));
        } else if (command == "poke") {
            auto& handle = Find(next());
            const DWORD offset = Number(next());
            const DWORD value = Number(next());
            auto segment = SharedMemorySegment::OpenGeneration(handle.buffer.GetSegmentName());
            if (segment->GetSize() < uint64_t{offset} + sizeof value) Fail("offset");
            std::memcpy(static_cast<BYTE*>(segment->GetView()) + offset, &value, sizeof value);
            Report("READY poke");
        } else if (command == "generation") {
            Report("READY generation " + std::to_string(Find(next()).buffer.GetGeneration()));
        } else if (command == "pause") {
            Report("READY pause");
            std::string line;
            if (!std::getline(std::cin, line)) return 0;
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
        g_handles.clear();
        return code;
    });
}
