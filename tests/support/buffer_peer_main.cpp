// Peer process for the tests of the shared buffer of blocks. It opens buffer handles and runs the
// commands on its command line in order, reporting each with a line that begins "READY <command>":
//   open NAME MODE            open a handle (mode 1 writer, 0 reader)
//   lock NAME / unlock NAME   -> READY lock 1|0, followed by why a hold was refused
//   add NAME ID SIZE RS       AddBlock -> READY add <index>
//   ring NAME ID SIZE RS      AddRingBlock -> READY ring <index>
//   record NAME I J BYTE      record J of block I (1-based) filled with BYTE; the record count becomes
//                             at least J -> READY record 1|0
//   poke NAME OFFSET VALUE    write VALUE as a raw u32 at OFFSET of the current generation
//   generation NAME           -> READY generation <g>
//   pause                     READY pause, then wait for a line on standard input
//   trylock NAME MS           Lock with a time-out -> READY trylock 1, or READY trylock 0 <refusal>
//   read NAME I J             ReadRecord of record J of block I into 64 bytes
//                             -> READY read <result> <first byte>
//   fill NAME I BYTE          fill all of block I with BYTE -> READY fill
//   churn NAME                READY churn, then for ever, each under its own exclusive hold: add a
//                             ring of one 4-byte record, write an 8-byte record into it (the ring
//                             grows), remove it
// Files of the IPC folder, written past every rule, as another program could:
//   mngt NAME OFFSET VALUE    write VALUE as a u32 at OFFSET of m.NAME_MNGT -> READY mngt
//   truncate FILE SIZE        truncate (or create) the folder's FILE -> READY truncate
//   link FILE TARGET          make the folder's FILE a hard link of TARGET -> READY link
//   fifo FILE                 make the folder's FILE a FIFO -> READY fifo
//   flip NAME OFFSET A B      READY flip, then for ever write A and B in turn as a u32 at OFFSET of the
//                             current generation, without the lock
//   cut ROUNDS FILE...        ROUNDS times, each of the folder's FILEs in turn cut to 0 bytes for 0.2 ms,
//                             then given back its size and its bytes as they were at the start
//                             -> READY cut (the last command)
//   closing FILE              hold the folder's FILE as its closing last holder does (the write lock on
//                             its lifetime byte) -> READY closing; then wait for a line, remove the
//                             file and end
// A failed command prints "FAIL <text>" and ends with code 2.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ipc_buffer_handle.h"
#include "tests/support/peer_report.h"

namespace {

std::map<std::string, std::unique_ptr<IpcBufferHandle>> g_handles;

void Report(const std::string& line) { Vok::Test::PeerReport(line); }
[[noreturn]] void Fail(const std::string& text) { Vok::Test::PeerFail(text); }

DWORD Number(const char* text) { return static_cast<DWORD>(std::strtoul(text, nullptr, 0)); }

std::string FolderFile(const std::string& fileName) { return Vok::Ipc::GetFolderPath() + "/" + fileName; }

void Churn(IpcBufferHandle& handle) {
    const BYTE wide[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (;;) {
        if (!handle.Lock()) Fail("lock");
        const DWORD ring = handle.buffer.AddRingBlock(3, 4, 4);
        handle.Unlock();
        if (!handle.Lock()) Fail("lock");
        handle.buffer.WriteRecord(ring, wide, sizeof wide);
        handle.Unlock();
        if (!handle.Lock()) Fail("lock");
        handle.buffer.RemoveBlock(ring);
        handle.Unlock();
    }
}

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
            auto& handle = Find(next());
            const bool locked = handle.Lock();
            const std::string& refusal = handle.buffer.GetRefusal();
            Report(std::string("READY lock ") + (locked ? "1" : "0") + (refusal.empty() ? "" : " " + refusal));
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
        } else if (command == "trylock") {
            auto& handle = Find(next());
            const DWORD ms = Number(next());
            Report(handle.Lock(ms) ? "READY trylock 1" : "READY trylock 0 " + handle.buffer.GetRefusal());
        } else if (command == "read") {
            auto& handle = Find(next());
            const DWORD block = Number(next());
            const DWORD record = Number(next());
            BYTE bytes[64] = {};
            const int result = handle.ReadRecord(block, record, bytes, sizeof bytes);
            Report("READY read " + std::to_string(result) + " " + std::to_string(bytes[0]));
        } else if (command == "fill") {
            auto& handle = Find(next());
            const DWORD block = Number(next());
            const BYTE value = static_cast<BYTE>(Number(next()));
            const std::vector<BYTE> bytes(handle.buffer.GetBlockSize(block - 1), value);
            handle.WriteBlock(block, bytes.data(), static_cast<DWORD>(bytes.size()));
            Report("READY fill");
        } else if (command == "churn") {
            auto& handle = Find(next());
            Report("READY churn");
            Churn(handle);
        } else if (command == "mngt") {
            const std::string file = FolderFile(Vok::Ipc::MakeFileName(Vok::Ipc::KIND_SEGMENT, std::string(next()) + "_MNGT"));
            const off_t offset = static_cast<off_t>(Number(next()));
            const DWORD value = Number(next());
            const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
            if (fd < 0 || ::pwrite(fd, &value, sizeof value, offset) != static_cast<ssize_t>(sizeof value)) Fail("mngt");
            ::close(fd);
            Report("READY mngt");
        } else if (command == "truncate") {
            const std::string file = FolderFile(next());
            const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(Number(next()))) != 0) Fail("truncate " + file);
            ::close(fd);
            Report("READY truncate");
        } else if (command == "link") {
            const std::string file = FolderFile(next());
            const std::string target = next();
            if (::link(target.c_str(), file.c_str()) != 0) Fail("link " + file);
            Report("READY link");
        } else if (command == "fifo") {
            const std::string file = FolderFile(next());
            if (::mkfifo(file.c_str(), 0600) != 0) Fail("fifo " + file);
            Report("READY fifo");
        } else if (command == "flip") {
            auto& handle = Find(next());
            const DWORD offset = Number(next());
            const DWORD values[2] = {Number(next()), Number(next())};
            auto segment = SharedMemorySegment::OpenGeneration(handle.buffer.GetSegmentName());
            if (segment->GetSize() < uint64_t{offset} + sizeof(DWORD) || offset % sizeof(DWORD) != 0) Fail("offset");
            auto* word = reinterpret_cast<volatile DWORD*>(static_cast<BYTE*>(segment->GetView()) + offset);
            Report("READY flip");
            for (unsigned k = 0;; ++k) *word = values[k & 1];
        } else if (command == "cut") {
            const long rounds = std::strtol(next(), nullptr, 10);
            std::vector<std::pair<int, std::string>> files;
            while (i < argc) {
                const int fd = ::open(FolderFile(next()).c_str(), O_RDWR | O_CLOEXEC);
                struct stat st {};
                if (fd < 0 || ::fstat(fd, &st) != 0) Fail("cut");
                std::string bytes(static_cast<size_t>(st.st_size), '\0');
                if (::pread(fd, bytes.data(), bytes.size(), 0) != st.st_size) Fail("cut");
                files.emplace_back(fd, std::move(bytes));
            }
            for (long r = 0; r < rounds; ++r) {
                for (const auto& [fd, bytes] : files) {
                    if (::ftruncate(fd, 0) != 0) Fail("cut");
                    ::usleep(200);
                    // One write gives back the size and the bytes: the file never holds zeros in between.
                    if (::pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) Fail("cut");
                }
            }
            Report("READY cut");
        } else if (command == "closing") {
            const std::string file = FolderFile(next());
            const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd < 0 || Vok::Ipc::SetRecordLock(fd, F_WRLCK, Vok::Ipc::LIFETIME_BYTE, 1, false) != 0) Fail("closing");
            Report("READY closing");
            std::string line;
            std::getline(std::cin, line);
            ::unlink(file.c_str());
            ::close(fd);
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
