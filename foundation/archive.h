// Binary serialisation: the archive interface, its little-endian byte-vector implementation,
// the archive error, the serialisable-object interface and compact length encodings.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace Vok {

class IArchive;

// Objects that write themselves into an archive and read themselves back. The version passed to
// serialize_to is the enclosing object's format version, which containers hand to their members.
class ISerializable {
public:
    virtual ~ISerializable() = default;
    virtual void serialize_to(IArchive& archive, uint32_t version) const = 0;
    virtual void serialize_from(IArchive& archive) = 0;
};

// Every archive error becomes this exception; 7 is a read outside the data.
class IArchiveException : public std::exception {
public:
    IArchiveException(int32_t code, const std::string& message);
    const char* what() const noexcept override { return m_text.c_str(); }
    int32_t code() const noexcept { return m_code; }

private:
    int32_t m_code;
    std::string m_text;
};

// One typed write and one typed read per value kind. Archives live on the stack for one pass and
// are never deleted through this interface, hence the protected destructor.
class IArchive {
public:
    virtual IArchive& WriteString(const std::string& value) = 0;
    virtual IArchive& WriteBool(bool value) = 0;
    virtual IArchive& WriteDouble(double value) = 0;
    virtual IArchive& WriteFloat(float value) = 0;
    virtual IArchive& WriteInt64(int64_t value) = 0;
    virtual IArchive& WriteUInt64(uint64_t value) = 0;
    virtual IArchive& WriteInt32(int32_t value) = 0;
    virtual IArchive& WriteUInt32(uint32_t value) = 0;
    virtual IArchive& WriteInt16(int16_t value) = 0;
    virtual IArchive& WriteUInt16(uint16_t value) = 0;
    virtual IArchive& WriteInt8(int8_t value) = 0;
    virtual IArchive& WriteUInt8(uint8_t value) = 0;
    virtual void WriteBytes(const void* data, uint32_t count) = 0;

    virtual IArchive& ReadString(std::string& value) = 0;
    virtual IArchive& ReadBool(bool& value) = 0;
    virtual IArchive& ReadDouble(double& value) = 0;
    virtual IArchive& ReadFloat(float& value) = 0;
    virtual IArchive& ReadInt64(int64_t& value) = 0;
    virtual IArchive& ReadUInt64(uint64_t& value) = 0;
    virtual IArchive& ReadInt32(int32_t& value) = 0;
    virtual IArchive& ReadUInt32(uint32_t& value) = 0;
    virtual IArchive& ReadInt16(int16_t& value) = 0;
    virtual IArchive& ReadUInt16(uint16_t& value) = 0;
    virtual IArchive& ReadInt8(int8_t& value) = 0;
    virtual IArchive& ReadUInt8(uint8_t& value) = 0;
    virtual void ReadBytes(void* destination, int32_t count) = 0;

    // Throws IArchiveException(code, message). Readers call it through the vtable and, should an
    // override return, return without reading.
    virtual void ThrowError(int32_t code, const std::string& message);

protected:
    IArchive() = default;
    IArchive(const IArchive&) = default;
    IArchive& operator=(const IArchive&) = default;
    ~IArchive() = default;
};

// A growable vector of bytes with the search and edit helpers the serialised formats use.
class ByteVector : public std::vector<unsigned char> {
public:
    using std::vector<unsigned char>::vector;
    ByteVector() = default;
    // Empty when data is null or count is 0, else a copy of the count bytes.
    ByteVector(const void* data, uint32_t count);

    // Nothing when data is null or count is 0.
    void Append(const void* data, uint32_t count);
    // Appends other's bytes [offset, offset + count); nothing when other is empty or count is 0.
    // A range outside other appends only the part that exists.
    void AppendFrom(const ByteVector& other, uint32_t offset, uint32_t count);
    unsigned char* Data() { return empty() ? nullptr : data(); }
    const unsigned char* ConstData() const { return empty() ? nullptr : data(); }
    // Erases from index to the end and returns how many bytes went; 0 when index >= size.
    uint32_t RemoveFrom(uint32_t index);
    // Erases count bytes at index and returns count; 0 and no change when they are not all there.
    uint32_t Remove(uint32_t index, uint32_t count);
    bool Equals(const ByteVector& other) const;
    // First index at or after start holding value; -1 when none or start >= size.
    int32_t Find(unsigned char value, uint32_t start = 0) const;
    // First index at or after start holding any byte of set; -1 when none, set empty or start >= size.
    int32_t FindFirstOf(const std::vector<unsigned char>& set, uint32_t start = 0) const;
};

// Raw little-endian values appended to (or read from) a caller-owned vector: no tags, no padding.
// Writing appends and never uses the read position.
class ByteVectorArchive : public IArchive {
public:
    explicit ByteVectorArchive(ByteVector& bytes) : m_bytes(&bytes) {}

    IArchive& WriteString(const std::string& value) override;
    IArchive& WriteBool(bool value) override;
    IArchive& WriteDouble(double value) override;
    IArchive& WriteFloat(float value) override;
    IArchive& WriteInt64(int64_t value) override;
    IArchive& WriteUInt64(uint64_t value) override;
    IArchive& WriteInt32(int32_t value) override;
    IArchive& WriteUInt32(uint32_t value) override;
    IArchive& WriteInt16(int16_t value) override;
    IArchive& WriteUInt16(uint16_t value) override;
    IArchive& WriteInt8(int8_t value) override;
    IArchive& WriteUInt8(uint8_t value) override;
    void WriteBytes(const void* data, uint32_t count) override;

    IArchive& ReadString(std::string& value) override;
    IArchive& ReadBool(bool& value) override;
    IArchive& ReadDouble(double& value) override;
    IArchive& ReadFloat(float& value) override;
    IArchive& ReadInt64(int64_t& value) override;
    IArchive& ReadUInt64(uint64_t& value) override;
    IArchive& ReadInt32(int32_t& value) override;
    IArchive& ReadUInt32(uint32_t& value) override;
    IArchive& ReadInt16(int16_t& value) override;
    IArchive& ReadUInt16(uint16_t& value) override;
    IArchive& ReadInt8(int8_t& value) override;
    IArchive& ReadUInt8(uint8_t& value) override;
    // A count of 0 or less reads nothing.
    void ReadBytes(void* destination, int32_t count) override;

    // The 32-bit read without the chaining result, for callers that hold the concrete archive.
    void ReadUInt32Impl(uint32_t& value);
    // Bytes between the read position and the end: what a count read from the data may claim.
    size_t Remaining() const;

private:
    // Copies n bytes at the read position and advances, or raises code 7 leaving both unchanged.
    bool ReadRaw(void* destination, uint32_t n);

    ByteVector* m_bytes;
    uint32_t m_position = 0;
};

// Lengths below 255 take one byte; up to 65533 three; anything longer seven.
void WriteCompactLength(IArchive& archive, uint32_t n);
uint32_t ReadCompactLength(IArchive& archive);
void WriteCompactString(IArchive& archive, const std::string& s);
// Reads a compact string; the text ends at its first zero byte.
void ReadCompactString(IArchive& archive, std::string& out);
// Exactly n bytes after the compact length: s cut or padded with zero bytes. n = 0 writes nothing.
void WriteFixedString(IArchive& archive, const std::string& s, uint32_t n);
void WriteCompactLength16(IArchive& archive, uint32_t n);
uint32_t ReadCompactLength16(IArchive& archive);

// Empty bytes read nothing and succeed; archive errors pass to the caller.
bool ReadObjectFromBytes(ISerializable& object, const ByteVector& bytes);
// Replaces bytes with the object's serialised form; reserve sizes the storage up front.
bool WriteObjectToBytes(ByteVector& bytes, const ISerializable& object, uint32_t reserve);

}  // namespace Vok
