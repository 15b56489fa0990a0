#include "foundation/archive.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "foundation/string_utils.h"

namespace Vok {

namespace {

constexpr int32_t kOutsideBlock = 7;
const char* const kOutsideBlockText = "Tried to serialize outside block";

// Through other archives compact strings are read in slices, so a corrupt length costs no more
// memory than the data that is really there before the archive runs out and throws.
constexpr uint32_t kReadSlice = 64 * 1024;

template <typename T>
void AppendValue(ByteVector& bytes, T value) {
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    bytes.insert(bytes.end(), raw, raw + sizeof(T));
}

}  // namespace

IArchiveException::IArchiveException(int32_t code, const std::string& message)
    : m_code(code), m_text(Format("Vok archive exception: %s - code: \"%d\"", message, code)) {}

void IArchive::ThrowError(int32_t code, const std::string& message) {
    throw IArchiveException(code, message);
}

// --- ByteVector ---------------------------------------------------------------------------------

ByteVector::ByteVector(const void* data, uint32_t count) { Append(data, count); }

void ByteVector::Append(const void* data, uint32_t count) {
    if (data == nullptr || count == 0) return;
    const auto* p = static_cast<const unsigned char*>(data);
    insert(end(), p, p + count);
}

void ByteVector::AppendFrom(const ByteVector& other, uint32_t offset, uint32_t count) {
    if (other.empty() || count == 0 || offset >= other.size()) return;
    const size_t n = std::min<size_t>(count, other.size() - offset);
    // Copy first: other may be this vector, and inserting may move its storage.
    const std::vector<unsigned char> slice(other.begin() + offset, other.begin() + offset + n);
    insert(end(), slice.begin(), slice.end());
}

uint32_t ByteVector::RemoveFrom(uint32_t index) {
    if (index >= size()) return 0;
    const auto removed = static_cast<uint32_t>(size() - index);
    erase(begin() + index, end());
    return removed;
}

uint32_t ByteVector::Remove(uint32_t index, uint32_t count) {
    if (static_cast<uint64_t>(index) + count > size()) return 0;
    erase(begin() + index, begin() + index + count);
    return count;
}

bool ByteVector::Equals(const ByteVector& other) const {
    return size() == other.size() && std::equal(begin(), end(), other.begin());
}

int32_t ByteVector::Find(unsigned char value, uint32_t start) const {
    if (start >= size()) return -1;
    const auto it = std::find(begin() + start, end(), value);
    return it == end() ? -1 : static_cast<int32_t>(it - begin());
}

int32_t ByteVector::FindFirstOf(const std::vector<unsigned char>& set, uint32_t start) const {
    if (set.empty() || start >= size()) return -1;
    const auto it = std::find_first_of(begin() + start, end(), set.begin(), set.end());
    return it == end() ? -1 : static_cast<int32_t>(it - begin());
}

// --- ByteVectorArchive: writers -----------------------------------------------------------------

IArchive& ByteVectorArchive::WriteString(const std::string& value) {
    // The length field is 32 bits; a longer text would leave a field that lies about its bytes.
    if (value.size() > std::numeric_limits<uint32_t>::max())
        throw std::length_error("Vok archive: string too long");
    AppendValue(*m_bytes, static_cast<uint32_t>(value.size()));
    m_bytes->Append(value.data(), static_cast<uint32_t>(value.size()));
    return *this;
}

IArchive& ByteVectorArchive::WriteBool(bool value) {
    AppendValue(*m_bytes, static_cast<uint8_t>(value ? 1 : 0));
    return *this;
}

IArchive& ByteVectorArchive::WriteDouble(double value) { AppendValue(*m_bytes, value); return *this; }
IArchive& ByteVectorArchive::WriteFloat(float value) { AppendValue(*m_bytes, value); return *this; }
IArchive& ByteVectorArchive::WriteInt64(int64_t value) { AppendValue(*m_bytes, value); return *this; }
IArchive& ByteVectorArchive::WriteUInt64(uint64_t value) { AppendValue(*m_bytes, value); return *this; }
IArchive& ByteVectorArchive::WriteInt32(int32_t value) { AppendValue(*m_bytes, value); return *this; }
IArchive& ByteVectorArchive::WriteUInt32(uint32_t value) { AppendValue(*m_bytes, value); return *this; }
IArchive& ByteVectorArchive::WriteInt16(int16_t value) { AppendValue(*m_bytes, value); return *this; }
IArchive& ByteVectorArchive::WriteUInt16(uint16_t value) { AppendValue(*m_bytes, value); return *this; }
IArchive& ByteVectorArchive::WriteInt8(int8_t value) { AppendValue(*m_bytes, value); return *this; }
IArchive& ByteVectorArchive::WriteUInt8(uint8_t value) { AppendValue(*m_bytes, value); return *this; }

void ByteVectorArchive::WriteBytes(const void* data, uint32_t count) { m_bytes->Append(data, count); }

// --- ByteVectorArchive: readers -----------------------------------------------------------------

size_t ByteVectorArchive::Remaining() const {
    return m_position >= m_bytes->size() ? 0 : m_bytes->size() - m_position;
}

bool ByteVectorArchive::ReadRaw(void* destination, uint32_t n) {
    if (n > Remaining()) {
        ThrowError(kOutsideBlock, kOutsideBlockText);
        return false;
    }
    std::memcpy(destination, m_bytes->data() + m_position, n);
    m_position += n;
    return true;
}

void ByteVectorArchive::ReadUInt32Impl(uint32_t& value) { ReadRaw(&value, sizeof(value)); }

IArchive& ByteVectorArchive::ReadString(std::string& value) {
    value.clear();
    uint32_t length = 0;
    ReadUInt32Impl(length);
    if (length == 0) return *this;
    // A length with the top bit set cannot come from a real text; refuse it before any copy.
    if (length >= 0x80000000u || length > Remaining()) {
        ThrowError(kOutsideBlock, kOutsideBlockText);
        return *this;
    }
    value.assign(reinterpret_cast<const char*>(m_bytes->data() + m_position), length);
    m_position += length;
    return *this;
}

IArchive& ByteVectorArchive::ReadBool(bool& value) {
    uint8_t raw = 0;
    // Any non-zero byte reads as true: a bool object must never hold another bit pattern.
    if (ReadRaw(&raw, 1)) value = raw != 0;
    return *this;
}

IArchive& ByteVectorArchive::ReadDouble(double& value) { ReadRaw(&value, sizeof(value)); return *this; }
IArchive& ByteVectorArchive::ReadFloat(float& value) { ReadRaw(&value, sizeof(value)); return *this; }
IArchive& ByteVectorArchive::ReadInt64(int64_t& value) { ReadRaw(&value, sizeof(value)); return *this; }
IArchive& ByteVectorArchive::ReadUInt64(uint64_t& value) { ReadRaw(&value, sizeof(value)); return *this; }
IArchive& ByteVectorArchive::ReadInt32(int32_t& value) { ReadRaw(&value, sizeof(value)); return *this; }
IArchive& ByteVectorArchive::ReadUInt32(uint32_t& value) { ReadUInt32Impl(value); return *this; }
IArchive& ByteVectorArchive::ReadInt16(int16_t& value) { ReadRaw(&value, sizeof(value)); return *this; }
IArchive& ByteVectorArchive::ReadUInt16(uint16_t& value) { ReadRaw(&value, sizeof(value)); return *this; }
IArchive& ByteVectorArchive::ReadInt8(int8_t& value) { ReadRaw(&value, sizeof(value)); return *this; }
IArchive& ByteVectorArchive::ReadUInt8(uint8_t& value) { ReadRaw(&value, sizeof(value)); return *this; }

void ByteVectorArchive::ReadBytes(void* destination, int32_t count) {
    if (count <= 0) return;
    ReadRaw(destination, static_cast<uint32_t>(count));
}

// --- Compact encodings --------------------------------------------------------------------------

void WriteCompactLength(IArchive& archive, uint32_t n) {
    if (n < 255) {
        archive.WriteUInt8(static_cast<uint8_t>(n));
        return;
    }
    archive.WriteUInt8(255);
    if (n < 65534) {
        archive.WriteUInt16(static_cast<uint16_t>(n));
    } else {
        archive.WriteUInt16(65535);
        archive.WriteUInt32(n);
    }
}

uint32_t ReadCompactLength(IArchive& archive) {
    uint8_t b = 0;
    archive.ReadUInt8(b);
    if (b < 255) return b;
    uint16_t w = 0;
    archive.ReadUInt16(w);
    if (w < 65535) return w;
    uint32_t n = 0;
    archive.ReadUInt32(n);
    return n;
}

void WriteCompactString(IArchive& archive, const std::string& s) {
    if (s.size() > std::numeric_limits<uint32_t>::max())
        throw std::length_error("Vok archive: string too long");
    const auto n = static_cast<uint32_t>(s.size());
    WriteCompactLength(archive, n);
    archive.WriteBytes(s.data(), n);
}

void ReadCompactString(IArchive& archive, std::string& out) {
    const uint32_t n = ReadCompactLength(archive);
    out.clear();
    if (n == 0) return;
    // The byte-vector archive knows what is left, so a corrupt length fails before any allocation.
    const auto* vectorArchive = dynamic_cast<const ByteVectorArchive*>(&archive);
    if (vectorArchive != nullptr && n > vectorArchive->Remaining()) {
        archive.ThrowError(kOutsideBlock, kOutsideBlockText);
        return;
    }
    std::string buffer;
    for (uint32_t done = 0; done < n;) {
        const uint32_t slice = std::min(kReadSlice, n - done);
        buffer.resize(static_cast<size_t>(done) + slice, '\0');
        archive.ReadBytes(buffer.data() + done, static_cast<int32_t>(slice));
        done += slice;
    }
    const size_t zero = buffer.find('\0');
    if (zero != std::string::npos) buffer.resize(zero);
    out = std::move(buffer);
}

void WriteFixedString(IArchive& archive, const std::string& s, uint32_t n) {
    if (n == 0) return;
    WriteCompactLength(archive, n);
    if (s.size() >= n) {
        archive.WriteBytes(s.data(), n);
        return;
    }
    const auto have = static_cast<uint32_t>(s.size());
    archive.WriteBytes(s.data(), have);
    const std::vector<char> zeros(n - have, '\0');
    archive.WriteBytes(zeros.data(), n - have);
}

void WriteCompactLength16(IArchive& archive, uint32_t n) {
    if (n < 65535) {
        archive.WriteUInt16(static_cast<uint16_t>(n));
        return;
    }
    archive.WriteUInt16(65535);
    archive.WriteUInt32(n);
}

uint32_t ReadCompactLength16(IArchive& archive) {
    uint16_t w = 0;
    archive.ReadUInt16(w);
    if (w < 65535) return w;
    uint32_t n = 0;
    archive.ReadUInt32(n);
    return n;
}

// --- Object conversions -------------------------------------------------------------------------

bool ReadObjectFromBytes(ISerializable& object, const ByteVector& bytes) {
    if (bytes.empty()) return true;
    // The archive only reads here, so viewing the caller's const vector through it is safe.
    ByteVectorArchive archive(const_cast<ByteVector&>(bytes));
    object.serialize_from(archive);
    return true;
}

bool WriteObjectToBytes(ByteVector& bytes, const ISerializable& object, uint32_t reserve) {
    bytes.clear();
    if (bytes.capacity() < reserve) {
        if (reserve > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
            throw std::length_error("vector too long");
        bytes.reserve(reserve);
    }
    ByteVectorArchive archive(bytes);
    object.serialize_to(archive, 0);
    return true;
}

}  // namespace Vok
