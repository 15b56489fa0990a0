#include "definitions/lists/output_def_list.h"

#include <cstddef>

namespace {

constexpr UINT kThreeWords = 3 * sizeof(int32_t);
constexpr UINT kFourWords = 4 * sizeof(int32_t);

}  // namespace

bool COutputDef::operator==(const COutputDef& other) const {
    return m_outputId == other.m_outputId && m_word1 == other.m_word1 && m_word2 == other.m_word2 &&
           m_word3 == other.m_word3;
}

BOOL COutputDef::Read(CFile& file, BOOL versionByte) {
    uint8_t version = 0;
    if (versionByte && file.Read(&version, 1) != 1) return FALSE;
    if (version > kVersion) return FALSE;
    int32_t words[4] = {};
    const UINT size = version == 0 ? kThreeWords : kFourWords;
    if (file.Read(words, size) != size) return FALSE;
    *this = COutputDef(words[0], words[1], words[2], words[3]);
    return TRUE;
}

void COutputDef::Write(CFile& file) const {
    const int32_t words[4] = {m_outputId, m_word1, m_word2, m_word3};
    file.Write(&kVersion, 1);
    file.Write(words, sizeof words);
}

bool COutputDefList::operator==(const COutputDefList& other) const {
    if (GetSize() != other.GetSize()) return false;
    for (INT_PTR k = 0; k < GetSize(); ++k) {
        if (GetAt(k) != other.GetAt(k)) return false;
    }
    return true;
}

COutputDef* COutputDefList::FindById(int32_t outputId) {
    for (COutputDef& def : *this) {
        if (def.m_outputId == outputId) return &def;
    }
    return nullptr;
}

BOOL COutputDefList::Read(CFile& file, BOOL versionByte) {
    uint8_t listVersion = 0;
    if (versionByte && file.Read(&listVersion, 1) != 1) return FALSE;
    uint32_t count = 0;
    if (file.Read(&count, sizeof count) != sizeof count) return FALSE;
    const bool versioned = listVersion == kVersion;
    // Every element takes at least its version byte and three words.
    const ULONGLONG least = versioned ? 1 + kThreeWords : kThreeWords;
    const ULONGLONG length = file.GetLength();
    const ULONGLONG position = file.GetPosition();
    if (position > length || count > (length - position) / least) return FALSE;
    COutputDefList read;
    read.SetSize(count);
    for (COutputDef& def : read) {
        def.Clear();
        if (!def.Read(file, versioned ? TRUE : FALSE)) return FALSE;
    }
    Copy(read);
    return TRUE;
}

void COutputDefList::Write(CFile& file) const {
    const auto count = static_cast<uint32_t>(GetSize());
    file.Write(&kVersion, 1);
    file.Write(&count, sizeof count);
    for (const COutputDef& def : *this) def.Write(file);
}
