// The observation definitions list: look-ups by id, link, system, type and nodes, copies and
// borrowed collections of matching records, the list's shared-buffer image, and the value
// corrections that a definition carries.
#pragma once

#include <cstdint>
#include <vector>

#include "compat/collections.h"
#include "compat/tree_ctrl.h"
#include "definitions/lists/definition_list.h"
#include "definitions/records/definition_records.h"

class CHdrList;
class CNodeDefList;
struct sHdrEntry;

class CObsDefList : public CDefinitionList<sObsDef> {
public:
    CObsDefList() = default;
    // Deep copies of the other list's records; empty for null.
    explicit CObsDefList(const CObsDefList* other);
    // Null: nothing; else the list is emptied and refilled with deep copies. Copying a list into
    // itself leaves it as it is.
    void CopyFrom(const CObsDefList* other);

    // Look-ups return the record or null. A type, node or second-node filter of 0 or below means
    // "any"; n counts from 1 among the matches.
    sObsDef* FindById(int32_t id) const;
    sObsDef* GetById(int32_t id) const { return FindById(id); }
    sObsDef* FindByLink(int32_t link) const;
    sObsDef* FindBySystem(int32_t sysId, int32_t obsType, int32_t n) const;
    sObsDef* FindByTypeNth(int32_t obsType, int32_t n) const;
    sObsDef* FindBySystemAndNodes(int32_t sysId, int32_t obsType, int32_t nodeId, int32_t toNodeId) const;
    sObsDef* FindByType(int32_t obsType, int32_t nodeId, int32_t toNodeId) const;
    // The same among the records whose link value is negative.
    sObsDef* FindLinkedBySystemAndNodes(int32_t sysId, int32_t obsType, int32_t nodeId, int32_t toNodeId) const;
    sObsDef* FindLinkedByType(int32_t obsType, int32_t nodeId, int32_t toNodeId) const;
    // The first record whose node (from set) or second node (to set) is the given node.
    sObsDef* FindByNode(const sNodeDef* node, int from, int to) const;
    // The other record whose link value is the negation of def's; null for link 0.
    sObsDef* FindLinkPartner(const sObsDef* def) const;
    // For a pressure (91) record its ROV depth (51) or draft (88) link partner, else its true
    // bearing (11) partner; for a layback (97) that true bearing; otherwise null.
    sObsDef* FindAssociatedObs(const sObsDef* def) const;
    // The n-th survey-sensor or sidescan record of the system (0 or below: of any system).
    sObsDef* FindSurveySensorObs(int32_t sysId, int32_t n) const;

    // -1 for an invalid key.
    int CountByType(int32_t obsType) const;
    int CountBySystem(int32_t sysId) const;
    int CountByNode(int32_t nodeId, int32_t toNodeId) const;

    // out becomes deep copies of the matching records (out may be this list); a system, type or
    // object filter of 0 or below means "any".
    void CopyBySystem(CObsDefList& out, int32_t sysId) const;
    void CopyByType(CObsDefList& out, int32_t obsType) const;
    // Tag text equal to the text, case-sensitive.
    void CopyByText(CObsDefList& out, const char* text) const;
    // The type's records whose node is in the node list and on the object.
    void CopyByTypeAndObject(CObsDefList& out, const CNodeDefList* nodes, int32_t obsType, int32_t objectId) const;
    // Records whose two nodes are found on different objects, the first (From) or the second (To)
    // on the object.
    void CopyFromObject(CObsDefList& out, const CNodeDefList* nodes, int32_t objectId) const;
    void CopyToObject(CObsDefList& out, const CNodeDefList* nodes, int32_t objectId) const;
    // Borrowed pointers to matching records, appended to out; they stay owned by this list.
    void CollectByNodes(std::vector<sObsDef*>& out, const sNodeDef* node, const sNodeDef* toNode) const;
    void CollectByNode(std::vector<sObsDef*>& out, const sNodeDef* node, int from, int to) const;

    // Uses of a reference name (case-insensitive) in the system's records, other than the three
    // ids; -1 when sysId < 1 or the text is empty.
    int CountTextUses(int32_t sysId, const char* text, int32_t skip1, int32_t skip2, int32_t skip3) const;
    void ClearTextUses(int32_t sysId, const char* text);
    // Appends each system id that the array does not hold yet.
    void CollectSystemIds(CUIntArray& ids) const;
    // Counts, then records by id, then their bytes (see CDefinitionList::CompareRecords).
    int Compare(const CObsDefList& other) const;

    // Block 40; writing clears the transient flag of the records in this list.
    void WriteBlock(CVOKFile& file);
    // Reads the block whose header is at the file's position: block 40, or the old blocks 37 and
    // 4 whose records are upgraded. Records are appended. 1 when the block was read whole; 0 for
    // another id or a block cut short (after appending the whole records before the cut).
    int ReadBlock(CVOKFile& file);

    // The shared-buffer image; writing clears the transient flag of the records in this list.
    int WriteToIpc(IpcBufferHandle& handle, int block);
    int ReadFromIpc(IpcBufferHandle& handle, int block);

    // One tree item per record of the system / of the node / of the system whose node the node
    // list holds, through InsertObsDefTreeItem. Return the number of
    // items inserted.
    int FillTreeForSystem(CTreeCtrl* tree, HTREEITEM parent, int32_t sysId, int32_t imageBase) const;
    int FillTreeForNode(CTreeCtrl* tree, HTREEITEM parent, int32_t nodeId, int32_t imageBase) const;
    int FillTreeForSystemWithNodes(CTreeCtrl* tree, HTREEITEM parent, int32_t sysId, int32_t imageBase,
                                   const CNodeDefList* nodes) const;

    // Corrections by the definition with that id; x when id < 1 or none.
    double ApplyCorrectionById(double x, int32_t id) const;
    double ApplyScaleById(double x, int32_t id) const;

private:
    sObsDef* FindMatching(int32_t sysId, int32_t obsType, int32_t nodeId, int32_t toNodeId, bool linkedOnly) const;
    template <typename Pred>
    void CopyWithNodes(CObsDefList& out, const CNodeDefList* nodes, Pred match) const;
    template <typename Pred>
    int FillTree(CTreeCtrl* tree, HTREEITEM parent, int32_t imageBase, Pred match) const;
};

// Walks a header list's GNSS position records (258) that have a payload.
class GnssPositionHdrIterator {
public:
    explicit GnssPositionHdrIterator(const CHdrList* headers) : m_headers(headers) {}
    // The next such entry; null (and Current null) at the end of the list.
    const sHdrEntry* Next();
    const sHdrEntry* Current() const { return m_current; }

private:
    const CHdrList* m_headers;
    int m_next = 0;
    const sHdrEntry* m_current = nullptr;
};

// Value corrections; x is the raw value, y the corrected one.
// y = (x + c1 + c2), then times s and plus q x^2 when s is not 0 (q only with a scale).
double ApplyObsCorrection(double x, const sObsDef* def);
double ApplyCorrection(double x, double c, double s, double q);
// The inverse; of the two roots of the quadratic the one nearer to y.
double RemoveObsCorrection(double y, const sObsDef* def);
double RemoveCorrection(double y, double c, double s, double q);
double ApplyObsScale(double x, const sObsDef* def);
double ApplyScale(double x, double s);
// x times sound velocity / measurement velocity (inverse for Remove) when both are non-zero.
double ApplyVelocityRatio(double x, const sObsDef* def);
double RemoveVelocityRatio(double x, const sObsDef* def);
