#include "definitions/height_def_list.h"

#include "definitions/vok_file.h"

sHeightDef* InitHeightDef(sHeightDef* def) {
    if (def == nullptr) return nullptr;
    *def = sHeightDef{};
    def->recordSize = sHeightDef::kSize;
    def->version = sHeightDef::kVersion;
    return def;
}

CHeightDefList::CHeightDefList(const CHeightDefList* other) {
    if (other != nullptr) AppendCopies(*other);
}

void CHeightDefList::CopyFrom(const CHeightDefList* other) {
    if (other != nullptr) *this = *other;
}

sHeightDef* CHeightDefList::FindById(int32_t id) const {
    if (id < 1) return nullptr;
    return FindFirst([id](const sHeightDef& d) { return d.id == id; });
}

int CHeightDefList::Compare(const CHeightDefList& other) const {
    return CompareRecords(other, [](const sHeightDef& d) { return d.id; });
}

int CHeightDefList::WriteBlock(CVOKFile& file) const {
    WriteRecordsBlock(file, BLOCK_HEIGHT_DEFS, [](sHeightDef& d) {
        d.recordSize = sHeightDef::kSize;
        d.version = sHeightDef::kVersion;
    });
    return 1;
}

int CHeightDefList::ReadBlock(CVOKFile& file) {
    sBlockHeader header;
    if (!file.ReadBlockHeader(header) || header.id != BLOCK_HEIGHT_DEFS) return 0;
    return AppendBlockRecords(file, header);
}

int CHeightDefList::WriteToIpc(IpcBufferHandle& handle, int block) const {
    return WriteRecordsToIpc(handle, block, [](const sHeightDef&) {});
}

int CHeightDefList::ReadFromIpc(IpcBufferHandle& handle, int block) { return ReadRecordsFromIpc(handle, block); }
