// The node definitions list: look-ups by id, number, object and satellite, coincident nodes,
// ordering by offsets, the nodes named by the node-link and dredging records of the header list,
// and the list's shared-buffer image.
#pragma once

#include <cstdint>
#include <vector>

#include "compat/collections.h"
#include "compat/combo_box.h"
#include "compat/tree_ctrl.h"
#include "definitions/lists/definition_list.h"
#include "definitions/records/definition_records.h"

class CHdrList;
class CObjDefList;

class CNodeDefList : public CDefinitionList<sNodeDef> {
public:
    // keep 0 empties this list (deleting its records) before copying; non-zero appends. A null list
    // copies nothing; copying a list into itself leaves it as it is.
    CNodeDefList() = default;
    CNodeDefList(const CNodeDefList* list, int keep);
    CNodeDefList(int32_t objectId, const CNodeDefList* list, int keep);
    void CopyFrom(const CNodeDefList* list, int keep);
    void CopyObjectNodes(int32_t objectId, const CNodeDefList* list, int keep);
    // Deep copies of the list's nodes of the type (of the object) whose id is not in this list yet;
    // 1 when one was added.
    int CopyNodesOfType(uint32_t nodeType, const CNodeDefList* list, int keep);
    int CopyNodesOfObject(int32_t objectId, const CNodeDefList* list, int keep);
    // Borrowed pointers to the object's nodes of list that out does not hold yet; keep 0 empties out
    // first. 1 when the object has a node. The records stay owned by list.
    static int CollectNodesOfObject(int32_t objectId, const CNodeDefList* list, std::vector<sNodeDef*>& out,
                                    int keep);

    sNodeDef* FindById(int32_t id) const;
    sNodeDef* FindByNumber(int32_t number) const;
    // A number of 10000 or more is taken modulo 10000; -1 when none.
    int32_t FindIdByNumber(int32_t number) const;
    // 1 when the node exists and its three coordinates are exactly 0.0.
    int IsZeroOffsetNodeId(int32_t id) const;
    // The object's first node whose three coordinates are exactly 0.0; null when none.
    sNodeDef* FindZeroOffsetNodeOfObject(int32_t objectId) const;
    // The node itself when its offsets are zero, else the reference node of its object; null when
    // the object list is null or empty, or the node, its object or the reference node is missing.
    sNodeDef* ResolveNode(int32_t id, const CObjDefList* objects) const;
    // -1 when none or id < 1.
    int32_t GetObjectId(int32_t nodeId) const;
    // The satellite number of a satellite-vehicle node; 0 for id < 1, -1 when none or another type.
    int32_t GetSatelliteNumber(int32_t nodeId) const;
    int32_t GetSatelliteId(int32_t nodeId) const { return GetSatelliteNumber(nodeId); }
    // For GPS and differential-correction observation types: the satellite-vehicle node with that
    // satellite number; -1 otherwise.
    int32_t FindSatelliteNodeId(int32_t satelliteNumber, int32_t obsType) const;
    // -1 when objectId < 1.
    int CountByObject(int32_t objectId) const;
    // Another node of the same object within a millimetre on the two axes other than `axis`; an
    // axis outside 0..2 finds nothing.
    sNodeDef* FindCoincidentNode(int32_t nodeId, int axis) const;
    int CountCoincidentNodes(int32_t nodeId, int axis) const;

    // Over the node-link records (230) of the header list: the first link whose two ends are nodes
    // on different objects, one of them objectId; the id of (or the) end on that object. 0 / null
    // when none; FindLinkedNodeId gives -1 when the header list has no link records.
    int32_t FindLinkedNodeId(int32_t objectId, const CHdrList* headers) const;
    sNodeDef* FindLinkedNode(int32_t objectId, const CHdrList* headers) const;
    int CountLinks(int32_t objectId, const CHdrList* headers) const;
    // Deep copies of the nodes of `nodes` at the other end of every link that touches the node of
    // that number, not yet in this list; 1 when one was added.
    int CopyLinkedNodes(int32_t nodeNumber, const CNodeDefList* nodes, const CHdrList* headers, int keep);
    // out becomes copies of the nodes named by the first dredging record (207) with that id (-1:
    // any) and by the dredging sub-records (217); returns out's count.
    int CopyDredgingNodes(CNodeDefList& out, int32_t dredgingId, const CHdrList* headers) const;

    // As the observation list's Compare, over node records.
    int Compare(const CNodeDefList& other) const;

    // Orders the nodes by their coordinate on an axis (another axis where two are within a
    // millimetre); 0 with fewer than 2 nodes or an axis outside 0..2, else 1.
    int SortByOffset(int axis, int ascending);
    // Sorts as SortByOffset, then orders the nodes object by object in the order of objectIds,
    // followed by the remaining nodes of types 2, 1, 5 and 0 and then every other remaining node.
    // 0 when either has fewer than 2 entries.
    int SortByObjects(const std::vector<int32_t>& objectIds, int axis, int ascending);
    // The same in the order of the object list; 0 for a null list.
    int SortByObjects(const CObjDefList* objects, int axis, int ascending);

    // Block 38 of whole records.
    void WriteBlock(CVOKFile& file) const;
    // Reads the block whose header is at the file's position: block 38, or the old block 6 whose
    // 112-byte records are upgraded. Every record read gets the node defaults (ApplyNodeDefDefaults).
    // 1 when the block was read whole; 0 for another id or a block cut short (after appending the
    // whole records before the cut).
    int ReadBlock(CVOKFile& file);

    int WriteToIpc(IpcBufferHandle& handle, int block) const;
    int ReadFromIpc(IpcBufferHandle& handle, int block);

    // Resets the box and adds the name of each node (of the object; 0 all) with its id as item
    // data; selects the node whose id is selectedId. Returns the item count.
    int FillComboBox(CComboBox* box, int32_t selectedId, int32_t objectId) const;
    // One tree item per node of the object through InsertNodeDefTreeItem; the number inserted.
    int FillTreeForObject(CTreeCtrl* tree, HTREEITEM parent, int32_t objectId, int32_t imageBase) const;
    // Names and ids of the object's nodes; both arrays are emptied first.
    void FillNameArrays(int32_t objectId, CStringArray& names, CDWordArray& ids) const;

private:
    // A node named by a header record; numbers carry a category above 10000.
    sNodeDef* FindByHeaderNumber(int32_t number) const;
    bool HasId(int32_t id) const;
    template <typename Pred>
    int AppendMissing(const CNodeDefList* list, int keep, Pred match);
    // Walks the link records whose ends are nodes on different objects.
    template <typename F>
    void ForEachLink(const CHdrList* headers, F f) const;
};
