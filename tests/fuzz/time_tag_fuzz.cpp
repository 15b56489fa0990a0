// Arbitrary datagrams through every form of the time-tag decoder, stripping and not.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "compat/collections.h"
#include "driver/time_tag_decoder.h"
#include "foundation/system_time.h"
#include "foundation/time_value.h"
#include "tests/fuzz/fuzz_support.h"

// Seeds: a few sentences of the corpus in each form of tag.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Vok::Fuzz::SeedFolder() == nullptr) return 0;
    std::vector<std::string> sentences = Vok::Fuzz::CorpusSentences();
    sentences.resize(std::min<size_t>(sentences.size(), 4));
    if (sentences.empty()) sentences.push_back("$GPHDT,123.4,T*00");
    int n = 0;
    auto seed = [&n](const std::string& bytes) { Vok::Fuzz::WriteSeed("tag-" + std::to_string(n++), bytes); };
    for (const std::string& s : sentences)
        for (const std::string& tagged : Vok::Fuzz::TaggedForms(s + "\r\n")) seed(tagged);
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
            const bool decoded = decoder.DecodeTimeTag(time, bytes.empty() ? nullptr : bytes.data(), length);
            if (decoded && (type == TIMETAG_NONE || type > TIMETAG_POS_LINES)) __builtin_trap();
            if (length > size) __builtin_trap();  // a tag can only be removed
            if (decoded) {
                // What the driver does with a tag's time: the time offset, and back.
                CVOKTime t(SystemTimeToMjdTime(time));
                t -= 2.5;
                TimeToSystemTime(t);
            }

            CByteArray array;
            array.SetSize(static_cast<INT_PTR>(size));
            if (size > 0) std::memcpy(array.GetData(), data, size);
            decoder.DecodeTimeTag(time, array);
            if (static_cast<size_t>(array.GetSize()) > size) __builtin_trap();
        }
    }
    return 0;
}
