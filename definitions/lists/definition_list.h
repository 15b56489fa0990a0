// The common scheme of the definitions lists: an ordered list of fixed-size records that it owns
// (deep copies in, deleted when emptied or destroyed), look-up helpers over the records, and the
// list's image in one block of a shared buffer: record k is the k-th definition and the record
// count is the number of definitions.
#pragma once

#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include <boost/iterator/indirect_iterator.hpp>

#include "compat/object.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/file/vok_file.h"
#include "platform/ipc_buffer_handle.h"

template <typename T>
class CDefinitionList : public CObject {
protected:
    using Records = std::vector<std::unique_ptr<T>>;

public:
    CDefinitionList() = default;
    CDefinitionList(const CDefinitionList& other) : CObject() { AppendCopies(other); }
    // Copying a list into itself leaves it as it is.
    CDefinitionList& operator=(const CDefinitionList& other) {
        if (this != &other) {
            RemoveAll();
            AppendCopies(other);
        }
        return *this;
    }
    ~CDefinitionList() override = default;

    int GetCount() const { return static_cast<int>(m_records.size()); }
    bool IsEmpty() const { return m_records.empty(); }
    // Deletes every record.
    void RemoveAll() { m_records.clear(); }
    // Appends a copy of the record and returns it.
    T* Add(const T& record) {
        m_records.push_back(std::make_unique<T>(record));
        return m_records.back().get();
    }
    // The record at a 0-based index; null outside the list.
    T* GetAt(int index) const {
        return index >= 0 && index < GetCount() ? m_records[static_cast<size_t>(index)].get() : nullptr;
    }
    // In-order walk over the records (as T&).
    auto begin() const { return boost::make_indirect_iterator(m_records.cbegin()); }
    auto end() const { return boost::make_indirect_iterator(m_records.cend()); }

protected:
    void AppendCopies(const CDefinitionList& other) {
        Records copies;
        copies.reserve(other.m_records.size());
        for (const auto& r : other.m_records) copies.push_back(std::make_unique<T>(*r));
        for (auto& r : copies) m_records.push_back(std::move(r));
    }

    template <typename Pred>
    T* FindNth(int n, Pred match) const {
        if (n < 1) return nullptr;
        for (const auto& r : m_records) {
            if (match(*r) && --n == 0) return r.get();
        }
        return nullptr;
    }
    template <typename Pred>
    T* FindFirst(Pred match) const {
        return FindNth(1, match);
    }
    template <typename Pred>
    int CountIf(Pred match) const {
        int n = 0;
        for (const auto& r : m_records) n += match(*r) ? 1 : 0;
        return n;
    }
    // out becomes deep copies of the matching records; out may be this list.
    template <typename Pred>
    void CopyIf(CDefinitionList& out, Pred match) const {
        Records copies;
        for (const auto& r : m_records) {
            if (match(*r)) copies.push_back(std::make_unique<T>(*r));
        }
        out.m_records = std::move(copies);
    }
    // Borrowed pointers to the matching records; out is not emptied.
    template <typename Pred>
    void CollectIf(std::vector<T*>& out, Pred match) const {
        for (const auto& r : m_records) {
            if (match(*r)) out.push_back(r.get());
        }
    }

    // The count difference when the counts differ; else, per record in this list's order, 999 when
    // its key is below 1 or the other list has no record with that key, or the byte-wise comparison
    // (-1, 1) of the two records; 0 when all are equal.
    template <typename Key>
    int CompareRecords(const CDefinitionList& other, Key key) const {
        return CompareRecordsMatching(
            other, [&](const T& r) { return key(r) >= 1; }, [&](const T& r, const T& o) { return key(r) == key(o); });
    }
    // The same with the keys told by valid(record) and the counterpart found by same(record, other's).
    template <typename Valid, typename Same>
    int CompareRecordsMatching(const CDefinitionList& other, Valid valid, Same same) const {
        if (GetCount() != other.GetCount()) return GetCount() - other.GetCount();
        for (const auto& r : m_records) {
            const T* match = !valid(*r) ? nullptr : other.FindFirst([&](const T& o) { return same(*r, o); });
            if (match == nullptr) return 999;
            const int c = std::memcmp(r.get(), match, sizeof(T));
            if (c != 0) return c < 0 ? -1 : 1;
        }
        return 0;
    }

    // Appends the records of block `block` (from 1); an empty block gives 1 at once. All or nothing:
    // a missing block, a record size other than the record's, a count beyond the block's capacity or
    // a failed read appends nothing and gives 0. The caller holds the buffer's lock.
    int ReadRecordsFromIpc(IpcBufferHandle& handle, int block) {
        try {
            if (block < 1) return 0;
            const auto i = static_cast<DWORD>(block - 1);
            const DWORD count = handle.buffer.GetRecordCount(i);
            if (count == 0) return 1;
            if (handle.buffer.GetRecordSize(i) != sizeof(T) || count > handle.buffer.GetRecordCapacity(i)) return 0;
            Records read;
            read.reserve(count);
            for (DWORD k = 1; k <= count; ++k) {
                auto record = std::make_unique<T>();
                if (handle.ReadRecord(static_cast<DWORD>(block), k, record.get(), sizeof(T)) == 0) return 0;
                read.push_back(std::move(record));
            }
            for (auto& r : read) m_records.push_back(std::move(r));
            return 1;
        } catch (const std::exception&) {
            return 0;
        }
    }

    // Writes the records as records 1..n of block `block` after prepare(record) and sets the record
    // count to the number written. 0 when the block is missing, or for a list that is not empty when
    // its record size is not the record's, it has no room for them all, or a write fails. The caller
    // holds the buffer's exclusive lock.
    template <typename Prepare>
    int WriteRecordsToIpc(IpcBufferHandle& handle, int block, Prepare prepare) const {
        try {
            if (block < 1) return 0;
            const auto i = static_cast<DWORD>(block - 1);
            if (!m_records.empty() && (handle.buffer.GetRecordSize(i) != sizeof(T) ||
                                       m_records.size() > handle.buffer.GetRecordCapacity(i)))
                return 0;
            DWORD written = 0;
            int result = 1;
            for (const auto& r : m_records) {
                prepare(*r);
                if (handle.WriteRecord(static_cast<DWORD>(block), written + 1, r.get(), sizeof(T)) == 0) {
                    result = 0;
                    break;
                }
                ++written;
            }
            handle.buffer.SetRecordCount(i, written);
            return result;
        } catch (const std::exception&) {
            return 0;
        }
    }

    // The records as one block of the block file, each after prepare(record).
    template <typename Prepare>
    void WriteRecordsBlock(CVOKFile& file, int id, Prepare prepare) const {
        const ULONGLONG start = file.BeginBlock();
        for (const auto& r : m_records) {
            prepare(*r);
            file.Write(r.get(), sizeof(T));
        }
        file.EndBlock(start, file.GetPosition() - start, id);
    }

    // Appends a record made by convert(bytes) for each whole record of recordSize bytes of the
    // block whose header was just read (see CVOKFile::ReadRecords).
    template <typename Convert>
    int AppendBlockRecords(CVOKFile& file, const sBlockHeader& header, size_t recordSize, Convert convert) {
        return file.ReadRecords(header, recordSize, [&](const uint8_t* bytes) {
            m_records.push_back(std::make_unique<T>(convert(bytes)));
            return true;
        });
    }
    // Records stored as they are.
    int AppendBlockRecords(CVOKFile& file, const sBlockHeader& header) {
        return AppendBlockRecords(file, header, sizeof(T),
                                  [](const uint8_t* bytes) { return Vok::Definitions::LoadAt<T>(bytes, 0); });
    }

    Records m_records;
};
