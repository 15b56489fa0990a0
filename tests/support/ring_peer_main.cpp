// Peer process for the tests of the sample rings: the host side of a buffer of blocks.
//   ring_peer NAME ID CAPACITY COUNT
// creates buffer NAME as its writer and, under the exclusive hold, adds in this order:
//   - a navigation ring block (86) of another id (ID + 1) holding one sample;
//   - a navigation ring block (86) of CAPACITY samples into which a ring of that capacity copied
//     its store after COUNT headings of id ID (heading k at 2024-05-01 01:00:k, k = 0..COUNT-1),
//     as the driver does: the store in slot order, the record count the ring's count;
//   - a single-sample block (11) holding a sample of id 99, then one of ID with heading 42.5,
//     then one of id 98 with status -1 (01:00:03);
//   - a position block (35) of two 256-byte records: ids 90, 91, 92 (latitude, longitude,
//     height) with height 1.5 and fix time 01:00:05, then ids 93, ID, 94 with height 12.25,
//     height sd 0.5, fix time 01:00:04, the f64 16.5 at offset 16 and 24.5 at offset 24;
//   - a block of type 48 with two 80-byte records, every byte 0x11 but: id 99 at offset 20, then
//     id ID at offset 20 with time 01:00:03 at offset 2, 48.75 at offset 40 and 0.25f at 48;
//   - a single attitude sample block (40): id 99, then ID + 2 with no valid component (01:00:02),
//     then ID with heave 2.5 (01:00:03), every component valid;
//   - an attitude ring block (49) of id ID: samples at 01:00:00, 01:00:01 (no valid component)
//     and 01:00:02, heave = second.
// Then it prints "READY ring" and keeps the buffer until its input closes.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "driver/nav_ring_buffer.h"
#include "driver/vru_ring_buffer.h"
#include "platform/ipc_buffer_handle.h"
#include "tests/support/peer_report.h"

namespace {

NavRecord Heading(DWORD id, int second, double heading) {
    NavRecord r{};
    r.stTime = SYSTEMTIME{2024, 5, 3, 1, 1, static_cast<WORD>(second / 60),
                          static_cast<WORD>(second % 60), 0};
    r.dwObsId = id;
    r.dHeading = heading;
    r.fStatus = STATUS_NEW;
    return r;
}

sVruSample Attitude(DWORD id, int second, double heave, DWORD flags) {
    sVruSample s{};
    s.stTime = Heading(id, second, 0.0).stTime;
    s.dwSystemId = id;
    s.dHeave = heave;
    s.dwValidFlags = flags;
    return s;
}

int Run(char** argv) {
    const std::string name = argv[1];
    const DWORD id = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 0));
    const DWORD capacity = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 0));
    const int count = std::atoi(argv[4]);

    CNavRingBuffer ring(capacity);
    for (int k = 0; k < count; ++k) ring.AddSample(Heading(id, k, k));

    IpcBufferHandle host(name.c_str(), 1);
    if (!host.Lock()) return 2;
    auto& buffer = host.buffer;
    const NavRecord other = Heading(id + 1, 0, 7.0);
    const DWORD otherBlock = buffer.AddBlock(NAV_BLOCK_RING, 56, 56) + 1;
    host.WriteBlock(otherBlock, &other, sizeof other);
    buffer.SetRecordCount(otherBlock - 1, 1);

    const DWORD ringBlock = buffer.AddBlock(NAV_BLOCK_RING, capacity * 56, 56) + 1;
    host.WriteBlock(ringBlock, ring.GetStore(), static_cast<DWORD>(ring.GetCount()) * 56);
    buffer.SetRecordCount(ringBlock - 1, static_cast<DWORD>(ring.GetCount()));

    const DWORD single = buffer.AddBlock(NAV_BLOCK_SAMPLE, 3 * 56, 56) + 1;
    NavRecord first = Heading(99, 1, 1.0), second = Heading(id, 2, 42.5), third = Heading(98, 3, 3.0);
    third.fStatus = -1.0f;
    host.WriteRecord(single, 1, &first, sizeof first);
    host.WriteRecord(single, 2, &second, sizeof second);
    host.WriteRecord(single, 3, &third, sizeof third);
    buffer.SetRecordCount(single - 1, 3);

    PosRecord positions[2]{};
    positions[0].dwLatitudeId = 90;
    positions[0].dwLongitudeId = 91;
    positions[0].dwHeightId = 92;
    positions[0].dHeight = 1.5;
    positions[0].stFixTime = Heading(id, 5, 0.0).stTime;
    positions[1].stFixTime = Heading(id, 4, 0.0).stTime;
    positions[1].dwLatitudeId = 93;
    positions[1].dwLongitudeId = id;
    positions[1].dwHeightId = 94;
    positions[1].dHeight = 12.25;
    positions[1].fSdHeight = 0.5f;
    const double value2 = 16.5, value3 = 24.5;
    std::memcpy(reinterpret_cast<BYTE*>(&positions[1]) + 16, &value2, sizeof value2);
    std::memcpy(reinterpret_cast<BYTE*>(&positions[1]) + 24, &value3, sizeof value3);
    const DWORD position = buffer.AddBlock(NAV_BLOCK_POSITION, sizeof positions, sizeof(PosRecord)) + 1;
    host.WriteBlock(position, positions, sizeof positions);
    buffer.SetRecordCount(position - 1, 2);

    BYTE type48[2][NAV_TYPE48_RECORD_SIZE];
    std::memset(type48, 0x11, sizeof type48);
    const DWORD ids[2] = {99, id};
    const SYSTEMTIME time = Heading(id, 3, 0.0).stTime;
    const double value = 48.75;
    const float quality = 0.25f;
    for (int k = 0; k < 2; ++k) std::memcpy(type48[k] + 20, &ids[k], sizeof ids[k]);
    std::memcpy(type48[1] + 2, &time, sizeof time);
    std::memcpy(type48[1] + 40, &value, sizeof value);
    std::memcpy(type48[1] + 48, &quality, sizeof quality);
    const DWORD records48 = buffer.AddBlock(NAV_BLOCK_TYPE48, sizeof type48, NAV_TYPE48_RECORD_SIZE) + 1;
    host.WriteBlock(records48, type48, sizeof type48);
    buffer.SetRecordCount(records48 - 1, 2);

    const sVruSample singles[3] = {Attitude(99, 1, 1.0, 7), Attitude(id + 2, 2, 2.0, 0),
                                   Attitude(id, 3, 2.5, 7)};
    const DWORD vruSingle = buffer.AddBlock(VRU_BLOCK_SAMPLE, sizeof singles, sizeof(sVruSample)) + 1;
    host.WriteBlock(vruSingle, singles, sizeof singles);
    buffer.SetRecordCount(vruSingle - 1, 3);
    const sVruSample attitudes[3] = {Attitude(id, 0, 0.0, 7), Attitude(id, 1, 1.0, 0),
                                     Attitude(id, 2, 2.0, 7)};
    const DWORD vruRing = buffer.AddBlock(VRU_BLOCK_RING, sizeof attitudes, sizeof(sVruSample)) + 1;
    host.WriteBlock(vruRing, attitudes, sizeof attitudes);
    buffer.SetRecordCount(vruRing - 1, 3);

    host.Unlock();

    std::cout << "READY ring" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    return Vok::Test::RunPeer([&] { return Run(argv); });
}
