// A writer and a reader of one real shared buffer, with another process's damage between their
// operations: its management segment, its generation file and the descriptors in it rewritten or
// truncated. Nothing may crash, leave the mappings or throw out of a lock call; a damaged buffer is
// refused. The input is a list of operations, each a u8 code and its u32 arguments:
//   0 writer lock/unlock     1 reader lock/unlock
//   2 AddBlock (id, size, record size)    3 AddRingBlock (the same)    4 RemoveBlock (i)
//   5 ResizeBlock (i, size, keep)          6 ring WriteRecord (i, length)
//   7 handle WriteRecord (i, j)            8 ReadRecord (i, j)           9 ReadBlock (i)
//  10 WriteBlockAt (i, offset, length)    11 WriteRecordResize (i, j, length)
//  12 SetLastRecord/GetLastRecord (i, j) and the other look-ups   13 RemoveBlocksFrom (i)
//  14 u32 into N_MNGT (offset, value)     15 u32 into the generation file (offset, value)
//  16 truncate N_MNGT or the generation file (which, size), only while nobody holds the lock
// Sizes are kept small (below 64 KiB) so that each input runs fast.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/ipc_buffer_handle.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using Vok::Fuzz::CInputReader;
using Vok::Fuzz::CInputWriter;

constexpr DWORD kMaxSize = 65536;
constexpr size_t kMaxOperations = 64;

// What another process writes into the folder's files, past every rule.
void Damage(const std::string& name, uint32_t offset, uint32_t value) {
    const std::string path = Vok::Ipc::GetFolderPath() + "/" + Vok::Ipc::MakeFileName(Vok::Ipc::KIND_SEGMENT, name);
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return;
    // Only within the file: growing it would be no damage a reader has to survive.
    if (offset + sizeof value <= static_cast<uint64_t>(::lseek(fd, 0, SEEK_END)))
        (void)::pwrite(fd, &value, sizeof value, offset);
    ::close(fd);
}

void Truncate(const std::string& name, uint32_t size) {
    const std::string path = Vok::Ipc::GetFolderPath() + "/" + Vok::Ipc::MakeFileName(Vok::Ipc::KIND_SEGMENT, name);
    (void)::truncate(path.c_str(), size % kMaxSize);
}

void Toggle(IpcBufferHandle& handle) {
    if (handle.buffer.IsLocked()) {
        handle.Unlock();
    } else {
        handle.Lock(0);  // must not throw, whatever the files hold
    }
}

void Run(CInputReader& in, IpcBufferHandle& writer, IpcBufferHandle& reader) {
    std::vector<BYTE> bytes(kMaxSize, 0x5A);
    std::vector<BYTE> into(kMaxSize);
    for (size_t n = 0; n < kMaxOperations; ++n) {
        const uint8_t code = in.U8();
        const uint32_t a = in.U32();
        const uint32_t b = in.U32();
        const uint32_t c = in.U32();
        if (code == 0) {
            Toggle(writer);
            continue;
        }
        if (code == 1) {
            Toggle(reader);
            continue;
        }
        if (code == 14) {
            Damage(writer.GetName().Str() + "_MNGT", a % 8, b);
            continue;
        }
        if (code == 15) {
            Damage(writer.buffer.GetSegmentName(), a % 4096, b);
            continue;
        }
        if (code == 16) {
            // Within a hold a truncation is beyond what a check can catch; between holds it is refused.
            if (!writer.buffer.IsLocked() && !reader.buffer.IsLocked())
                Truncate((a & 1) != 0 ? writer.GetName().Str() + "_MNGT" : writer.buffer.GetSegmentName(), b);
            continue;
        }
        // Block operations run only under the hold that they need, as the callers do.
        IpcBufferHandle& user = code == 8 || code == 9 || code == 12 ? reader : writer;
        if (!user.buffer.IsLocked()) continue;
        const DWORD i = a % 8;
        const DWORD j = b % 16;
        try {
            switch (code) {
            case 2: writer.buffer.AddBlock(a, b % 4096, c % 512); break;
            case 3: writer.buffer.AddRingBlock(a, b % 4096, c % 512); break;
            case 4: writer.buffer.RemoveBlock(i); break;
            case 5: writer.buffer.ResizeBlock(i, b % 4096, (c & 1) != 0); break;
            case 6: writer.buffer.WriteRecord(i, bytes.data(), b % 1024); break;
            case 7: writer.WriteRecord(i, j, bytes.data(), c % kMaxSize); break;
            case 8: reader.ReadRecord(i, j, into.data(), c % kMaxSize); break;
            case 9: reader.ReadBlock(i, into.data(), static_cast<DWORD>(into.size())); break;
            case 10: writer.WriteBlockAt(i, b % 4096, bytes.data(), c % 4096); break;
            case 11: writer.WriteRecordResize(i, j, bytes.data(), c % 1024); break;
            case 12:
                reader.GetLastRecord(i);
                reader.buffer.GetRecordCapacity(i - 1);
                reader.buffer.GetLatestRecordIndex(i - 1);
                reader.buffer.FindBlock(a);
                reader.GetBlockTime(i);
                break;
            case 13: writer.RemoveBlocksFrom(i); break;
            default: writer.SetLastRecord(i, j); break;
            }
        } catch (const std::exception&) {
            // A refused index or a failed growth: the buffer is as it was.
        }
    }
}

void WriteSeeds() {
    CInputWriter w;
    const auto op = [&w](uint8_t code, uint32_t a = 0, uint32_t b = 0, uint32_t c = 0) {
        w.U8(code);
        w.U32(a);
        w.U32(b);
        w.U32(c);
    };
    op(0);
    op(2, 1, 64, 16);
    op(3, 2, 48, 8);
    op(6, 1, 12);
    op(7, 1, 2, 64);
    op(0);
    op(15, 24 + 56 + 48, 0xFFFF);  // block 1's offset
    op(1);
    op(8, 1, 1, 64);
    op(9, 1);
    op(1);
    op(14, 4, 999);
    op(0);
    op(14, 4, 3);
    op(0);
    op(16, 0, 10);
    op(1);
    Vok::Fuzz::WriteSeed("structural_and_damage", w.Get().data(), w.Get().size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Vok::Fuzz::SeedFolder() == nullptr) return 0;
    WriteSeeds();
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Vok::Fuzz::UsePrivateIpcFolder();
    CInputReader in(data, size);
    {
        // Fresh each input: the last holder removes every file, so no damage carries over.
        IpcBufferHandle writer("FUZZ_BUFFER", 1);
        IpcBufferHandle reader("FUZZ_BUFFER", 0);
        Run(in, writer, reader);
        if (writer.buffer.IsLocked()) writer.Unlock();
        if (reader.buffer.IsLocked()) reader.Unlock();
    }
    return 0;
}
