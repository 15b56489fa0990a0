// Output definitions: a record of four 32-bit words (the output id and three words, the last one
// added in element version 1) and a growable array of them with value semantics and a versioned
// stream form through the class library's file:
//   [u8 list version 2]  u32 count  then per element:
//     list version 2:  u8 element version 1, the four words
//     other versions:  the first three words
#pragma once

#include <cstdint>

#include "compat/collections.h"
#include "compat/file.h"
#include "compat/object.h"

class COutputDef : public CObject {
public:
    static constexpr uint8_t kVersion = 1;

    COutputDef() = default;
    COutputDef(int32_t outputId, int32_t word1, int32_t word2, int32_t word3)
        : m_outputId(outputId), m_word1(word1), m_word2(word2), m_word3(word3) {}
    COutputDef(const COutputDef&) = default;
    COutputDef& operator=(const COutputDef&) = default;
    bool operator==(const COutputDef& other) const;
    bool operator!=(const COutputDef& other) const { return !(*this == other); }

    void Clear() { *this = COutputDef(); }
    // With versionByte, a version byte first: 0 reads three words and sets the fourth to 0, 1
    // reads four. Without it, three words and the fourth 0. FALSE, with the element unchanged, for
    // another version or a short read.
    BOOL Read(CFile& file, BOOL versionByte);
    // Version byte 1 and the four words.
    void Write(CFile& file) const;

    int32_t m_outputId = 0;
    int32_t m_word1 = 0;
    int32_t m_word2 = 0;
    int32_t m_word3 = 0;  // since element version 1
};

class COutputDefList : public CArray<COutputDef, const COutputDef&> {
public:
    static constexpr uint8_t kVersion = 2;

    bool operator==(const COutputDefList& other) const;
    bool operator!=(const COutputDefList& other) const { return !(*this == other); }
    // The first element with that output id; null when none.
    COutputDef* FindById(int32_t outputId);
    // Reads the list form (the list version byte when versionByte is set). FALSE for a short
    // read, a count larger than the bytes left could hold, or an element version other than 0
    // or 1; the list then keeps what it held.
    BOOL Read(CFile& file, BOOL versionByte);
    void Write(CFile& file) const;
};
