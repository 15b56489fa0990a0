// Arbitrary datagrams through every form of the time-tag decoder, stripping and not.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "compat/collections.h"
#include "driver/time_tag_decoder.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string Le(uint32_t v, size_t n) {
    std::string s;
    for (size_t k = 0; k < n; ++k) s.push_back(static_cast<char>(v >> (8 * k)));
    return s;
}

}  // namespace

// Seeds: a few sentences of the corpus in each form of tag.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Vok::Fuzz::SeedFolder() == nullptr) return 0;
    std::vector<std::string> sentences = Vok::Fuzz::CorpusSentences();
    sentences.resize(std::min<size_t>(sentences.size(), 4));
    if (sentences.empty()) sentences.push_back("$GPHDT,123.4,T*00");
    int n = 0;
    auto seed = [&n](const std::string& bytes) { Vok::Fuzz::WriteSeed("tag-" + std::to_string(n++), bytes); };
    for (const std::string& s : sentences) {
        const std::string text = s + "\r\n";
        seed(s + ",1000036800,250000\r\n");
        seed("RTA 09092001120000500 " + Le(static_cast<uint32_t>(text.size()), 2) + text);
        seed("TDYRTA1 " + Le(2001, 4) + Le(9, 2) + Le(9, 2) + Le(12, 2) + Le(0, 2) + Le(0, 2) + Le(5000, 4) + " " +
             Le(static_cast<uint32_t>(text.size()), 4) + text);
        seed(std::string(1, '\2') + std::string(7, '\0') + Le(1000036800, 4) + Le(250000, 4) + text);
        seed("RRIO    09092001120000500  " + text);
        seed("POS 43200000 " + text + "POS 43200100 " + text);
    }
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    // Types 0 and 7 are not forms: they must refuse whatever comes.
    for (DWORD type = TIMETAG_NONE; type <= TIMETAG_POS_LINES + 1; ++type) {
        for (DWORD strip = 0; strip <= 1; ++strip) {
            const C3RdPartyTimeTagDecoder decoder(type, strip);
            // Exactly the datagram's bytes on the heap, so that a read past them is caught.
            std::vector<BYTE> bytes(data, data + size);
            DWORD length = static_cast<DWORD>(size);
            SYSTEMTIME time{};
            decoder.DecodeTimeTag(time, bytes.empty() ? nullptr : bytes.data(), length);
            if (length > size) __builtin_trap();  // a tag can only be removed

            CByteArray array;
            array.SetSize(static_cast<INT_PTR>(size));
            if (size > 0) std::memcpy(array.GetData(), data, size);
            decoder.DecodeTimeTag(time, array);
            if (static_cast<size_t>(array.GetSize()) > size) __builtin_trap();
        }
    }
    return 0;
}
