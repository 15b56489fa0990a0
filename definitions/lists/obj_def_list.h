// The object definitions list: the vessels, towed bodies, tools and other rigid bodies that nodes
// belong to. Look-ups that tie objects to nodes, systems and observations; the list's block-file
// image (block 5, with its older record layouts), its settings stream (versions 0 to 5), its
// shared-buffer image; the objects that header records, node links and towing observations tie
// together; and the stand-alone converters of old stored records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "compat/collections.h"
#include "definitions/lists/definition_list.h"
#include "definitions/records/definition_records.h"
#include "definitions/tide/legacy_height_def.h"
#include "definitions/records/obj_def_record.h"

class CAdjDefList;
class CFile;
class CHdrList;
class CNodeDefList;
class CObsDefList;
namespace Vok::Tides {
class CTideSettingsContainer;
}

class CObjDefList : public CDefinitionList<sObjDef> {
public:
    static constexpr uint8_t kStreamVersion = 5;

    CObjDefList() = default;
    // Deep copies of the other list's records; empty for null.
    explicit CObjDefList(const CObjDefList* other);
    // Null: nothing; else the list is emptied and refilled with deep copies.
    void CopyFrom(const CObjDefList* other);

    // Look-ups walk the list from its head; ids below 1 find nothing.
    sObjDef* FindById(int32_t id) const;
    sObjDef* GetById(int32_t id) const { return FindById(id); }
    // The object of the node; null when the node or the list is missing.
    sObjDef* FindByNode(int32_t nodeId, const CNodeDefList* nodes) const;
    // The object of the first observation of the system whose node exists and is not fixed.
    sObjDef* FindBySystem(int32_t sysId, const CObsDefList* obs, const CNodeDefList* nodes) const;
    sObjDef* FindBySystemDef(const sSysDef* sys, const CObsDefList* obs, const CNodeDefList* nodes) const;
    // The vessel with id 1, else the first vessel, else the first object; null when empty.
    sObjDef* GetMainVessel() const;
    sObjDef* FindPipeBundle() const;
    // Null for an order below 0.
    sObjDef* FindByDisplayOrder(int32_t order) const;
    // INT_MIN for an empty list.
    int32_t GetMaxDisplayOrder() const;
    // The smallest order other than -1; -1 when there is none.
    int32_t GetMinDisplayOrder() const;
    int CountByType(int32_t objType) const;
    // false for a node id below 0.
    bool HasReferenceNode(int32_t nodeId) const;
    // Null when the node list is null or empty, or the object or its node is missing.
    sNodeDef* GetReferenceNode(int32_t objectId, const CNodeDefList* nodes) const;
    // -1 when the object is missing.
    int32_t GetReferenceNodeId(int32_t objectId) const;
    int32_t GetObjectType(int32_t objectId) const;
    // Names and ids of the objects with an id, in list order; both arrays are emptied first.
    void GetNamesAndIds(CStringArray& names, CDWordArray& ids) const;

    // Counts, then records by id, then their bytes.
    int Compare(const CObjDefList& other) const;

    // Block 5; every record is stamped with size 384 and version 5 first (in the list too).
    int WriteBlock(CVOKFile& file);
    // Reads the block whose header is at the file's position. In a stamped block each record
    // names its layout by its size and version; an unstamped block holds 29296-byte records.
    // Records are appended. 1 when the block was read whole; 0 for a short read, a record that
    // runs past the block, or a record of version 4 or 5 with a sub-version, after appending the
    // records before it.
    int ReadBlock(CVOKFile& file, bool stamped);

    // The objects' settings without names, reference nodes and stamps (version 5).
    void WriteSettingsStream(CFile* file) const;
    // Reads the settings into the objects of the same ids; entries of other ids are read and
    // dropped. The legacy height definitions of versions 1 to 4 go to the converter, whose
    // result becomes the first word of the object's height area (0 without a converter). 1 when
    // the stream was read whole; 0 for a null file, a version other than 0 to 5 or a stream cut
    // short, leaving the entries read before it in place and the cut entry unchanged.
    int ReadSettingsStream(CFile* file, ILegacyHeightDefConverter* converter, bool hasVersionByte);
    // The same with one CHeightDefUpgrader of the lists and the tide settings for the whole stream.
    int ReadSettingsStream(CFile* file, const CNodeDefList* nodes, const CObsDefList* obs,
                           const CAdjDefList* adjustments, Vok::Tides::CTideSettingsContainer* tides,
                           bool hasVersionByte);

    int WriteToIpc(IpcBufferHandle& handle, int block) const;
    int ReadFromIpc(IpcBufferHandle& handle, int block);

    // Types, reference points, squat models, old code forms and densities from the header
    // records (reference points 197, squat models 213). Null does nothing.
    void UpdateFromHeaderRecords(const CHdrList* headers);
    // The height area of the source (or of the first object whose tide strategy is set, else the
    // last object) into every other object; 0 for an empty list.
    int CopyHeightAreaToAll(const sObjDef* source);
    // The environment of the source (or of the first object whose pressure and density are not
    // the defaults) into every other object; 0 for an empty list or without a source.
    int CopyEnvironmentToAll(const sObjDef* source);
    // Orders outside 0..count-1 or taken twice become -1; when none is left, the main vessel
    // gets 0 and the others 1, 2, ... in list order. A single object gets 0.
    void NormalizeDisplayOrder();

    // Objects tied to an object by the node-link records (230) of the header list: the other end's
    // object of each link whose two nodes exist on different objects, one of them the object.
    // The number of distinct linked objects of this list; 0 when it holds fewer than two objects.
    int CountLinkedObjects(int32_t objectId, const CNodeDefList* nodes, const CHdrList* headers) const;
    // The collectors copy objects of the source into this list, skipping ids it holds, after
    // emptying it unless append is set; 1 when an object was added. The source may be this list.
    // The objects linked to the object, which the source must hold.
    int CollectLinkedObjects(int32_t objectId, const CObjDefList* source, const CNodeDefList* nodes,
                             const CHdrList* headers, bool append);
    // The objects that tow the object: the other end of observations that run from a variable node
    // of another object to a node of the object. The source must hold two objects or more.
    int CollectTowingObjects(int32_t objectId, const CObjDefList* source, const CNodeDefList* nodes,
                             const CObsDefList* obs, bool append);
    // Every pipe bundle of the source, then the objects linked to each.
    int CollectPipeBundles(const CObjDefList* source, const CNodeDefList* nodes, const CHdrList* headers,
                           bool append);
    int CollectByType(int32_t objType, const CObjDefList* source, bool append);
    // The first variable node of the towing object (of any object when towingObjectId < 1) that an
    // observation runs from to a node of the object: its id, or -1. 0 when this list is empty, holds
    // the object already, or does not hold a towing object that is named.
    int32_t FindVariableNodeTowing(int32_t objectId, int32_t towingObjectId, const CNodeDefList* nodes,
                                   const CObsDefList* obs) const;

private:
    // Copies of the source records that match, appended unless their id is here already.
    template <typename Pred>
    int CollectFrom(const CObjDefList* source, bool append, Pred match);
    template <typename F>
    void ForEachLinkedObject(int32_t objectId, const CNodeDefList* nodes, const CHdrList* headers, F f) const;
    template <typename F>
    void ForEachTowingNode(int32_t objectId, const CNodeDefList* nodes, const CObsDefList* obs, F f) const;
};

// Layouts of stored object definitions before the current 384-byte one, by their size.
enum eObjDefLayout : int {
    OBJDEF_LAYOUT_OLDEST = 0,  // id at 0, name at 4, reference node at 40; 28060 bytes read
    OBJDEF_LAYOUT_1 = 1,       // 29288 bytes
    OBJDEF_LAYOUT_2 = 2,       // 29296 bytes
    OBJDEF_LAYOUT_3 = 3,       // 29432 bytes
    OBJDEF_LAYOUT_4 = 4,       // 1424 bytes
};
// The bytes that a record of the layout holds; 0 for another layout.
size_t GetObjDefLayoutSize(int layout);
// Turns one stored record of an old layout (at least GetObjDefLayoutSize bytes) into a current
// record with the defaults under the fields it carries. For layouts 1 to 4 the legacy height
// definition it holds goes into *legacy when that is given (zeroed where the layout has none).
// false, and nothing changed, for another layout.
bool ConvertObjDefLayout(int layout, const uint8_t* old, sObjDef& def, sLegacyHeightDef* legacy);
