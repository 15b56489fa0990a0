// Arbitrary bytes through the archive reader. The bytes are their own program: each step reads an
// operation byte and then that operation's value from the same stream, until the data runs out.
// What was read is written back and must read back the same.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "foundation/archive.h"
#include "foundation/time_value.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using Vok::ByteVector;
using Vok::ByteVectorArchive;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// The read time through the accessors that a reader of a stored record uses.
void UseTime(const CVOKTime& t) {
    t.FormatTime(3, ':');
    t.FormatMjd(3);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double second = 0.0;
    t.GetDateTime(year, month, day, hour, minute, second);
    sMjdTime mjd{};
    t.GetMjdTime(mjd);
}

void Step(ByteVectorArchive& in, uint8_t op) {
    ByteVector out;
    ByteVectorArchive back(out);
    switch (op % 10) {
        case 0: {
            std::string s;
            in.ReadString(s);
            back.WriteString(s);
            std::string again;
            back.ReadString(again);
            Check(again == s);
            break;
        }
        case 1: {
            std::string s;
            Vok::ReadCompactString(in, s);
            Check(s.find('\0') == std::string::npos);
            Vok::WriteCompactString(back, s);
            std::string again;
            Vok::ReadCompactString(back, again);
            Check(again == s);
            break;
        }
        case 2: {
            const uint32_t n = Vok::ReadCompactLength(in);
            Vok::WriteCompactLength(back, n);
            Check(Vok::ReadCompactLength(back) == n);
            break;
        }
        case 3: {
            const uint32_t n = Vok::ReadCompactLength16(in);
            Vok::WriteCompactLength16(back, n);
            Check(Vok::ReadCompactLength16(back) == n);
            break;
        }
        case 4: {
            CVOKTime t;
            t.serialize_from(in);
            UseTime(t);
            t.serialize_to(back, 1);
            CVOKTime again;
            again.serialize_from(back);
            Check(again.day == t.day);
            break;
        }
        case 5: {
            uint8_t count = 0;
            in.ReadUInt8(count);
            char bytes[256];
            in.ReadBytes(bytes, static_cast<int32_t>(count) - 8);
            break;
        }
        case 6: {
            bool b = false;
            in.ReadBool(b);
            int8_t i8 = 0;
            in.ReadInt8(i8);
            uint16_t u16 = 0;
            in.ReadUInt16(u16);
            break;
        }
        case 7: {
            int64_t i64 = 0;
            in.ReadInt64(i64);
            uint64_t u64 = 0;
            in.ReadUInt64(u64);
            break;
        }
        case 8: {
            double d = 0.0;
            in.ReadDouble(d);
            float f = 0.0f;
            in.ReadFloat(f);
            break;
        }
        default: {
            int32_t i32 = 0;
            in.ReadInt32(i32);
            int16_t i16 = 0;
            in.ReadInt16(i16);
            break;
        }
    }
}

}  // namespace

// Seeds: a stored time alone, and a program of each operation over values that the writers made.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Vok::Fuzz::SeedFolder() == nullptr) return 0;
    auto seed = [](const std::string& name, const ByteVector& bytes) {
        Vok::Fuzz::WriteSeed(name, bytes.data(), bytes.size());
    };
    const CVOKTime noon(2001, 9, 9, 12, 0, 0.25);
    ByteVector bytes;
    Vok::WriteObjectToBytes(bytes, noon, 16);
    seed("time", bytes);
    bytes.clear();
    ByteVectorArchive out(bytes);
    out.WriteUInt8(0).WriteString("$GPHDT,123.4,T*00");
    out.WriteUInt8(1);
    Vok::WriteCompactString(out, std::string(300, 'x'));
    out.WriteUInt8(2);
    Vok::WriteCompactLength(out, 70000);
    out.WriteUInt8(3);
    Vok::WriteCompactLength16(out, 65535);
    out.WriteUInt32(1u << 20);
    out.WriteUInt8(4);
    noon.serialize_to(out, 1);
    out.WriteUInt8(5).WriteUInt8(12);
    out.WriteBytes("abcd", 4);
    out.WriteUInt8(6).WriteBool(true).WriteInt8(-1).WriteUInt16(65535);
    out.WriteUInt8(7).WriteInt64(-1).WriteUInt64(1);
    out.WriteUInt8(8).WriteDouble(0.5).WriteFloat(-0.5f);
    out.WriteUInt8(9).WriteInt32(-7).WriteInt16(7);
    seed("program", bytes);
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteVector bytes(data, static_cast<uint32_t>(size));
    // The whole input as one stored time, as ReadObjectFromBytes hands it over.
    try {
        CVOKTime t;
        Vok::ReadObjectFromBytes(t, bytes);
        UseTime(t);
    } catch (const Vok::IArchiveException& e) {
        Check(e.code() == 7);
    }
    ByteVectorArchive in(bytes);
    try {
        for (;;) {
            uint8_t op = 0;
            in.ReadUInt8(op);
            Step(in, op);
        }
    } catch (const Vok::IArchiveException& e) {
        Check(e.code() == 7);  // a read outside the data is the only way out
    }
    return 0;
}
