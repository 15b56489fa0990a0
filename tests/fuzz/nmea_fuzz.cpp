// Arbitrary text through the sentence checksum, the field codec and every sentence decoder.
#include <cstddef>
#include <cstdint>

#include "compat/cstring.h"
#include "driver/nmea_codec.h"
#include "driver/nmea_decoders.h"
#include "foundation/sentence_checksum.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Every parser at the front of the text, then again after each field, as a decoder walks it.
void WalkFields(CString text) {
    SYSTEMTIME time{};
    for (int guard = 0; guard < 256 && !text.IsEmpty(); ++guard) {
        GetFieldLength(text);
        IsFieldDelimiter(text, 0);
        IsFieldDelimiter(text, text.GetLength() - 1);
        ParseLatitude(text);
        ParseLongitude(text);
        ParseDouble(text);
        ParseInteger(text);
        ParseNumberSkippingPrefix(text);
        ParseSignedValueEW(text);
        ParseTime(text, &time);
        ParseDateDdMmYy(text, &time);
        ParseDateMmDdYy(text, &time);
        ParseDateDdMmYyyy(text, &time);
        FormatTime(&time);
        FormatDateDdMmYyyy(&time);
        FormatDateDdMmYy(&time);
        FormatDateMmDdYy(&time);
        if (!SkipFields(text, 1)) break;
    }
}

void Cuts(const CString& text) {
    CString t = text;
    SkipToFirstOf(t, "$");
    t = text;
    SkipToSentenceStart(t, 2);
    t = text;
    SkipPastFirstOf(t, NMEA_FIELD_DELIMITERS);
    t = text;
    SkipPastToken(t, "GGA");
    t = text;
    SkipPastToken(t, "");
}

// A decoder on its own copy of the text, as the driver hands each one the sentence in hand.
template <typename F>
int Decode(const CString& text, F decode) {
    CString copy = text;
    return decode(copy);
}

std::string Sentence(const std::string& body) {
    std::string s = "$" + body;
    AppendChecksum(s, 1, CHECKSUM_XOR);
    return s + "\r\n";
}

}  // namespace

// Seeds: a sentence of each type of the corpus, the peers' cases, and the sentences they have none of.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Vok::Fuzz::SeedFolder() == nullptr) return 0;
    int n = 0;
    for (const std::string& s : Vok::Fuzz::CorpusSentences()) Vok::Fuzz::WriteSeed("corpus-" + std::to_string(n++), s);
    for (const std::string& s : Vok::Fuzz::PeerSentences()) Vok::Fuzz::WriteSeed("peer-" + std::to_string(n++), s);
    const char* bodies[] = {"PTNL,GGK,102939.00,051910,5000.97323841,N,00827.62010742,E,5,09,1.9,EHT150.790,M",
                            "PSQUAL,1,0.5,0.7,1.2", "HCHCC,123.4", "HCHCD,123.4,M,2.0,E", "HCHDM,123.4,M",
                            "HCHVD,2.0,E", "HCHVM,2.0,W", "TIROT,-12.5,A", "HEHDT,123.4,T",
                            "GPZDA,160012.71,11,03,2004,-1,00"};
    for (const char* body : bodies) Vok::Fuzz::WriteSeed("made-" + std::to_string(n++), Sentence(body));
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const CString text(reinterpret_cast<const char*>(data), static_cast<int>(size));
    CheckNmeaChecksum(text);
    Cuts(text);
    WalkFields(text);

    PosRecord pos{};
    for (int mode = 0; mode <= 3; ++mode) Decode(text, [&](CString& t) { return DecodeGGA(t, &pos, mode); });
    Decode(text, [&](CString& t) { return DecodeRMC(t, &pos, 0); });
    Decode(text, [&](CString& t) { return DecodeGGK(t, &pos, 3); });
    Decode(text, [&](CString& t) { return DecodeGLL(t, &pos, 0); });
    Decode(text, [&](CString& t) { return DecodeGST(t, &pos); });
    Decode(text, [&](CString& t) { return DecodeQUAL(t, &pos); });

    // Multi-part sentences: the text as every part in turn, merged as the driver merges them.
    PosRecord gsa{}, gsv{};
    int gsaPart = -1, gsaCount = -1, gsvPart = -1, gsvCount = -1;
    for (int part = 0; part < 3; ++part) {
        if (Decode(text, [&](CString& t) { return DecodeGSA(t, &gsa, &gsaPart, &gsaCount); }))
            MergePartStore(&pos, &gsa, gsaPart, TRUE);
        if (Decode(text, [&](CString& t) { return DecodeGSV(t, &gsv, &gsvPart, &gsvCount); }))
            MergePartStore(&pos, &gsv, gsvPart, FALSE);
    }

    NavRecord nav{};
    double variation = 0.0;
    Decode(text, [&](CString& t) { return DecodeHDT(t, &nav, &variation); });
    Decode(text, [&](CString& t) { return DecodeHDG(t, &nav, &variation); });
    Decode(text, [&](CString& t) { return DecodeHDM(t, &nav, &variation); });
    Decode(text, [&](CString& t) { return DecodeHCD(t, &nav, &variation); });
    Decode(text, [&](CString& t) { return DecodeHCC(t, &nav, &variation); });
    Decode(text, [&](CString& t) { return DecodeHVD(t, &variation); });
    Decode(text, [&](CString& t) { return DecodeHVM(t, &variation); });

    RotRecord rot{};
    Decode(text, [&](CString& t) { return DecodeROT(t, &rot); });
    SYSTEMTIME zda{};
    Decode(text, [&](CString& t) { return DecodeZDA(t, &zda); });
    double course = 0.0, speed = 0.0;
    Decode(text, [&](CString& t) { return DecodeVTG(t, &course, &speed); });
    Decode(text, [&](CString& t) { return DecodeVTG(t, nullptr, nullptr); });
    return 0;
}
