// The computation set-ups of a project: look-ups by id, position and priority rank, the
// priority upkeep, the reference position that all set-ups share, the update intervals per
// observation type, copies and comparison, the choices offered to dialogs, the fixed-node set-up,
// the look-up of a node's result through the set-ups, and the images in a shared buffer and in a
// file.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <boost/iterator/indirect_iterator.hpp>

#include "compat/collections.h"
#include "compat/combo_box.h"
#include "compat/file.h"
#include "compat/object.h"
#include "compat/tree_ctrl.h"
#include "definitions/lists/adjust_def.h"
#include "definitions/lists/adjust_results.h"

class IpcBufferHandle;

class CAdjDefList : public CObject {
public:
    // Block ids of a set-up's pair of blocks in a shared buffer.
    static constexpr DWORD kDefBlockId = 16;
    static constexpr DWORD kEntryBlockId = 18;
    // The version that the images of this code carry.
    static constexpr uint32_t kVersion = 6;

    CAdjDefList() = default;
    CAdjDefList(const CAdjDefList&) = delete;
    CAdjDefList& operator=(const CAdjDefList&) = delete;
    ~CAdjDefList() override = default;

    int GetCount() const { return static_cast<int>(m_setups.size()); }
    bool IsEmpty() const { return m_setups.empty(); }
    auto begin() const { return boost::make_indirect_iterator(m_setups.cbegin()); }
    auto end() const { return boost::make_indirect_iterator(m_setups.cend()); }
    // Takes the set-up and returns it.
    CAdjustDef* AddTail(std::unique_ptr<CAdjustDef> setup);
    CAdjustDef* AddHead(std::unique_ptr<CAdjustDef> setup);
    // Deletes every set-up; the version becomes 0.
    void RemoveAll();
    uint32_t m_Version = 0;

    // --- Look-ups ---
    CAdjustDef* FindById(int32_t id) const;
    // Null for a negative index or one past the end.
    CAdjustDef* GetAt(int index) const;
    // -1 when the id is below 1 or none matches.
    int GetIndexById(int32_t id) const;
    CString GetNameById(int32_t id) const;
    int32_t GetFreeId() const;
    int CountUpToLevel(int32_t maxLevel) const;
    CAdjustDef* FindByPriority(int32_t rank, int32_t maxLevel) const;
    CString GetNameByPriority(int32_t rank, int32_t maxLevel) const;
    int32_t GetIdByPriority(int32_t rank, int32_t maxLevel) const;
    // -1 when no set-up is within the level.
    int32_t GetMaxPriority(int32_t maxLevel) const;
    // Content flag bit 4 / bit 5 in a set-up within the level.
    bool HasContentFlag(int32_t maxLevel) const;
    bool HasHeightAidingContent(int32_t maxLevel) const;
    // The first entry over all set-ups of the observation id, in that state unless state is -1.
    sAdjustEntry* FindByObservation(int32_t obsId, int32_t state) const;
    sAdjustEntry* FindByObservation(const sObsDef* observation, int32_t state) const;
    // The set-up of the id (above 0), else the set-up of rank 0 within level 0.
    CAdjustDef* FindSetupOrFirstPriority(int32_t setupId) const;
    // That set-up's entry of the observation; null when the set-up or the entry is missing.
    sAdjustEntry* FindSetupEntry(int32_t obsId, int32_t setupId) const;
    sAdjustEntry* FindSetupEntry(const sObsDef* observation, int32_t setupId) const;

    // --- Whole list ---
    // Copies of the other's set-ups (blocks and entries, links kept; no lists) and its version.
    void Copy(const CAdjDefList& other);
    // Count difference, then set-up by set-up (CAdjustDef::Compare); 0 when equal.
    int Compare(const CAdjDefList& other) const;
    // Entries keep ids instead of pointers; 0 when a list is missing.
    int UnlinkEntries(const CNodeDefList* nodes, const CObsDefList* observations);
    int ResolveIds(const CNodeDefList* nodes, const CObsDefList* observations);
    int Relink(const CNodeDefList* nodes, const CObsDefList* observations);
    void UpdateAllDependants();
    float GetMaxUpdateInterval(int32_t obsType, bool requirePositive, bool usedOnly) const;
    float GetMinUpdateInterval(int32_t obsType, bool requirePositive, bool usedOnly) const;
    // The entry's interval and an age limit of factor times it; a valid interval below a set-up's
    // minimum becomes that minimum.
    void SetUpdateInterval(int32_t obsId, float interval, uint8_t factor);
    // The interval, and the age limit too where it was above 0.
    void SetUpdateIntervalKeepingAge(int32_t obsId, float interval);
    void SetUpdateIntervalOfType(int32_t obsType, const CObsDefList* observations, float interval);
    void UpdateAllContentFlags();
    void UpdateAllContentFlags(const CObjDefList* objects, const CNodeDefList* nodes);

    // Over all set-ups but the excluded id (unless -1) and those above the level (unless -1).
    int GetHeightModeOfSystem(int32_t sysId, int32_t excludedId, int32_t maxLevel) const;
    bool HasHeightSourceOfSystem(int32_t sysId, int32_t excludedId, int32_t maxLevel) const;
    bool HasHeightAidingOfSystem(int32_t sysId, int32_t excludedId, int32_t maxLevel) const;
    bool HasObservation(const sObsDef* observation, int32_t excludedId, int32_t maxLevel) const;
    bool IsObservationUsed(const sObsDef* observation, int32_t excludedId, int32_t maxLevel) const;
    bool IsObservationCompanion(const sObsDef* observation, int32_t excludedId, int32_t maxLevel) const;
    bool IsObservationExcluded(const sObsDef* observation, int32_t excludedId, int32_t maxLevel) const;

    void SelectHeightSource(int32_t sysId, int mode);
    void UseObjectOffsets(const CObjDefList* objects, const CObsDefList* observations, const CNodeDefList* nodes);
    void SyncFilterDefs(CFiltDefList* filters, const CObjDefList* objects, const CNodeDefList* nodes);

    // --- Priorities ---
    int32_t NormalisePriorities();
    // Consecutive ranks; a later set-up of a taken rank follows the earlier one. The work array is
    // the order of the new ranks afterwards. Returns the last rank, -1 for an empty list.
    int32_t RenumberPriorities(std::vector<CAdjustDef*>& work);
    void AssignPrioritiesByObject(const CObjDefList* objects, const CObsDefList* observations,
                                  const CNodeDefList* nodes);
    int ConvertSigmaUnitsForVersion(const CObsDefList* observations);
    bool FindMainSetup(const CObjDefList* objects, const CNodeDefList* nodes, int32_t& setupId,
                       int32_t& objectValue) const;

    // --- Images ---
    // Two blocks per set-up (its block, its entries); the caller holds the exclusive lock.
    int WriteToIpc(IpcBufferHandle& handle) const;
    // Appends the set-ups of the pairs from firstBlock on; 0 (after the whole set-ups before it) at a
    // block whose record size or count does not hold its records. The caller holds the lock.
    int ReadFromIpc(IpcBufferHandle& handle, int firstBlock, const CObsDefList* observations,
                    const CNodeDefList* nodes);
    void WriteToFile(CFile& file) const;
    // Appends the set-ups of the image at the file's position; 0 (after the whole set-ups before
    // it) when a count runs past the file or a read comes short.
    int ReadFromFile(CFile& file, const CNodeDefList* nodes, const CObsDefList* observations, bool hasVersion);

    // --- Reference position ---
    int SetReference(double x, double y, double z, int32_t refWord, uint8_t coordKind, uint8_t positionCode);
    int SetReferenceFrom(CAdjustDef* setup);
    void GetReference(double& x, double& y, double& z, int32_t& refWord, uint8_t& coordKind,
                      uint8_t& positionCode) const;
    void GetReferenceLatLon(double& latitude, double& longitude, bool inRadians) const;

    // --- Choices ---
    void GetChoiceList(CStringArray& names, CDWordArray& ids) const;
    int FillComboBox(CComboBox* box, int32_t selectedId, bool withPriorityChoice) const;
    // Under the parent, each entry of the system's observations of every set-up (once per set-up);
    // the number inserted.
    int InsertObservationTreeItems(CTreeCtrl* tree, HTREEITEM parent, int32_t sysId, int32_t imageBase) const;
    // The set-up's name last under the parent, with the set-up as item data; null for a null tree
    // or set-up.
    static HTREEITEM InsertAdjustDefTreeItem(CTreeCtrl* tree, HTREEITEM parent, CAdjustDef* setup, int32_t image);

    // --- Fixed nodes ---
    // A set-up "[Fixed Nodes]" (id -1) at the head with a used entry per fixed node, each over an
    // observation made for it and handed to the observation list. 0 when a list is missing.
    int AddFixedNodeSetup(CNodeDefList* nodes, CObsDefList* observations);

    // --- Results ---
    // The set-up whose result of the node was taken, by rank within level 0; null when none.
    CAdjustDef* FindResultByPriority(IpcBufferHandle& handle, uint32_t nodeId, sAdjustResultHeader* header,
                                     sAdjustResult* result, int strictness) const;
    // Clears the result first (zeros, status "No data"); true when found.
    bool FindResultByPriority(IpcBufferHandle& handle, uint32_t nodeId, sAdjustResultHeader* header,
                              sAdjustResult& result, int strictness) const;
    // The set-ups of the ids in order; ids below 1 and unknown ids are skipped.
    CAdjustDef* FindResultInList(IpcBufferHandle& handle, const CDWordArray& ids, uint32_t nodeId,
                                 sAdjustResultHeader* header, sAdjustResult* result, int strictness) const;
    // -1 by priority, 0 the set-up of rank 0 within level 0, above 0 that set-up.
    CAdjustDef* FindResultBySelection(IpcBufferHandle& handle, int32_t selection, uint32_t nodeId,
                                      sAdjustResultHeader* header, sAdjustResult* result, int strictness) const;

private:
    template <typename F>
    void ForEachEligible(int32_t excludedId, int32_t maxLevel, F f) const;
    template <typename F>
    bool AnyEligible(int32_t excludedId, int32_t maxLevel, F f) const;
    int ReadOneFromFile(CFile& file, const CNodeDefList* nodes, const CObsDefList* observations);

    std::vector<std::unique_ptr<CAdjustDef>> m_setups;
};
