// Arbitrary settings items read by a new driver object at INIT and SETTINGS, which then decodes a
// few update cycles under them. The input is a run of items, each
//   u8 item (block number 2..33), u8 shape (bit 0: the driver's own record size for the item),
//   u32 record size, u32 record count, u16 length, then length bytes
// written into a real settings buffer whose blocks each have room for any item; an item given
// twice counts once, the last time. Items not given are empty, as a host leaves them.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver/pelorad.h"
#include "tests/fuzz/fuzz_support.h"
#include "host/driver_samples.h"
#include "host/test_host.h"

extern "C" const char* __asan_default_options() { return "allow_user_segv_handler=0"; }

namespace {

using Vok::Fuzz::CInputReader;
using Vok::Fuzz::CInputWriter;

constexpr DWORD kLastItem = 33;
constexpr DWORD kRoom = 8192;
constexpr size_t kMaxInput = 16384;
constexpr uint32_t kNoon = 999993600 + 12 * 3600;  // 2001-09-09 12:00:00 UTC

DWORD OwnRecordSize(DWORD item) {
    switch (item) {
        case ITEM_SYSTEM: return sizeof(sSysDef);
        case ITEM_OUTPUT_NAME: return OUTPUT_NAME_SIZE;
        case ITEM_OBSERVATIONS: return sizeof(sObsDef);
        case ITEM_NODES: return sizeof(sNodeDef);
        case ITEM_OPAQUE_RECORD: return OPAQUE_RECORD_SIZE;
        case ITEM_SYSTEMS: return sizeof(sSysDef);
        default: return 4;
    }
}

struct sItem {
    DWORD recordSize = 4;
    DWORD count = 0;
    std::vector<uint8_t> bytes;
};

IpcBufferHandle& Settings() {
    static std::unique_ptr<Vok::Test::CHostLinkObjects> link = [] {
        Vok::Fuzz::UsePrivateIpcFolder();
        ::setenv("Prefix", "FUZZ", 1);
        ::setenv("VOK_PPS_VALID", "1", 1);
        auto made = std::make_unique<Vok::Test::CHostLinkObjects>("FUZZ");
        IpcBufferHandle& buffer = made->Settings();
        if (!buffer.Lock()) std::abort();
        buffer.buffer.AddBlock(1, sizeof(IpcCommandRecord), sizeof(IpcCommandRecord));
        for (DWORD item = 2; item <= kLastItem; ++item) buffer.buffer.AddBlock(item, kRoom, kRoom);
        buffer.Unlock();
        return made;
    }();
    return link->Settings();
}

void Publish(IpcBufferHandle& settings, const std::map<DWORD, sItem>& items) {
    if (!settings.Lock()) std::abort();
    for (DWORD item = 2; item <= kLastItem; ++item) {
        const auto it = items.find(item);
        const sItem empty;
        const sItem& s = it != items.end() ? it->second : empty;
        const DWORD i = item - 1;
        const auto length = static_cast<DWORD>(s.bytes.size());
        BYTE* block = settings.buffer.GetBlockData(i);
        std::memset(block, 0, kRoom);
        if (length > 0) std::memcpy(block, s.bytes.data(), length);
        // The block takes what the records need, or the bytes given when they are more.
        const uint64_t records = uint64_t{s.recordSize} * s.count;
        Vok::IpcBlockDescriptor* d = settings.buffer.GetWritableBlock(i);
        d->size = static_cast<DWORD>(std::min<uint64_t>(kRoom, std::max<uint64_t>(records, length)));
        d->recordSize = s.recordSize;
        d->recordCount = s.count;
    }
    settings.Unlock();
}

std::string Hms(int seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d.00", seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
    return text;
}

// An update cycle of each result kind, tagged as the settings of the seeds say.
std::string Cycle(int second) {
    using Vok::Test::Sentence;
    const std::string t = Hms(43200 + second);
    return Vok::Test::Tagged(kNoon + second,
                             Sentence("GPGGA," + t + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") +
                                 Sentence("GPGST," + t + ",0.5,1.2,0.8,35.0,1.1,0.9,2.1") +
                                 Sentence("HEHDT,123.4,T") + Sentence("TIROT,-12.5,A"));
}

void Encode(CInputWriter& out, DWORD item, DWORD recordSize, DWORD count, const void* bytes, size_t length) {
    out.U8(static_cast<uint8_t>(item));
    out.U8(0);
    out.U32(recordSize);
    out.U32(count);
    out.U16(static_cast<uint16_t>(length));
    out.Bytes(bytes, length);
}

}  // namespace

// Seeds: the settings of the driver's loop tests, with and without nodes, systems and header
// records.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Vok::Fuzz::SeedFolder() == nullptr) return 0;
    for (const bool full : {false, true}) {
        sSysDef system;
        system.sysId = 7;
        system.timeTagType = system.timeSource = 4;
        system.timeOffset = 0.5f;
        CObsDefList obs;
        Vok::Test::FillResultObsDefs(obs, 7);
        std::vector<uint8_t> records;
        for (const sObsDef& d : obs) {
            const auto* p = reinterpret_cast<const uint8_t*>(&d);
            records.insert(records.end(), p, p + sizeof d);
        }
        CInputWriter out;
        Encode(out, ITEM_SYSTEM, sizeof system, 1, &system, sizeof system);
        Encode(out, ITEM_OUTPUT_NAME, OUTPUT_NAME_SIZE, 1, "FUZZ_OUT", 9);
        Encode(out, ITEM_OBSERVATIONS, sizeof(sObsDef), static_cast<DWORD>(obs.GetCount()), records.data(),
               records.size());
        const int32_t value = -1;
        Encode(out, ITEM_OPAQUE_VALUE, 4, 1, &value, sizeof value);
        if (full) {
            const sNodeDef node{};
            Encode(out, ITEM_NODES, sizeof node, 1, &node, sizeof node);
            Encode(out, ITEM_SYSTEMS, sizeof system, 1, &system, sizeof system);
            Encode(out, 24, 1, 1, "text of item 24", 16);
            Encode(out, 28, 1, 1, "text of item 28", 16);
        }
        Vok::Fuzz::WriteSeed(full ? "settings-full" : "settings", out.Get().data(), out.Get().size());
    }
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput) return 0;
    IpcBufferHandle& settings = Settings();
    CInputReader in(data, size);
    std::map<DWORD, sItem> items;
    for (size_t guard = 0; guard < 64; ++guard) {
        const DWORD item = in.U8();
        if (item < 2 || item > kLastItem) break;
        const uint8_t shape = in.U8();
        sItem s;
        s.recordSize = in.U32();
        if ((shape & 1) != 0) s.recordSize = OwnRecordSize(item);
        s.count = in.U32();
        s.bytes = in.Bytes(std::min<size_t>(in.U16(), kRoom));
        items[item] = std::move(s);
    }
    Publish(settings, items);

    CPelorad driver(1, 1, 3);
    driver.OnCmdInit();
    driver.ReadStringSettings();
    driver.OnCmdSettings();
    for (int second = 0; second < 3; ++second) {
        const std::string d = Cycle(second);
        std::memcpy(driver.GetReceiveBuffer(), d.data(), d.size());
        driver.SetReceivedLength(static_cast<DWORD>(d.size()));
        driver.ProcessData();
    }
    driver.OnCmdExit();
    return 0;
}
