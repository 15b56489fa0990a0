// A computation set-up: the settings block of one least-squares position computation and its
// entries, one per observation that the computation may take. The settings block, the reference
// node and the entry image are shared-buffer and file formats (little-endian, fixed layout). A
// set-up looks up definitions through six lists that it does not own.
#pragma once

#include <cstddef>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "compat/cstring.h"
#include "compat/object.h"
#include "definitions/lists/adjust_selection.h"
#include "definitions/records/definition_records.h"

class CAdjDefList;
class CFiltDefList;
class CHdrList;
class CNodeDefList;
class CObjDefList;
class CObsDefList;
class CSysDefList;
struct sFiltDef;
struct sObjDef;
namespace Vok::Tides {
class CTideSettingsContainer;
}

// The reference node of a computation, a compact node definition, 72 bytes.
struct sAdjustRefNode {
    static constexpr int32_t kDefaultNodeId = 10000;  // given to an image whose id is below 1
    static constexpr int32_t kDefaultObjectId = -2;

    int32_t nodeId;
    int32_t number;
    int32_t satelliteId;
    char name[20];          // at most 20 characters; the terminator byte follows
    uint8_t terminator;     // always 0
    uint8_t present;        // 0: the position fields are not set yet
    uint8_t positionCode;
    uint8_t coordKind;      // 0 geographic (degrees), 2 ECEF (metres)
    int32_t nodeType;
    int32_t objectId;
    int32_t refWord;
    double x;
    double y;
    double z;

    // Zeros, reference word -1.
    sAdjustRefNode() { Init(); }
    // From a node definition; the defaults for null.
    explicit sAdjustRefNode(const sNodeDef* node);
    // A copy of the other record; the defaults for null.
    explicit sAdjustRefNode(const sAdjustRefNode* other);

    void Init();
    void Init(int unused) { (void)unused; Init(); }
    // Takes the node's identity, name, position bytes, type, object, reference word and X, Y, Z;
    // nothing for null.
    void AssignNode(const sNodeDef* node);
    void CopyFrom(const sAdjustRefNode* other);
    // The present bytes 1, 25, 2 when unset; id 10000 with object -2 for an id below 1; code 0 for
    // an ECEF position within 1000 km of the sphere of 6371 km.
    void Validate();
    // Gives the position bytes their defaults 1, 25, 2 when they are not set; true when it did.
    bool ApplyPresentDefaults();
    double GetVectorLength() const;
};
static_assert(sizeof(sAdjustRefNode) == 72);
static_assert(offsetof(sAdjustRefNode, number) == 4);
static_assert(offsetof(sAdjustRefNode, satelliteId) == 8);
static_assert(offsetof(sAdjustRefNode, name) == 12);
static_assert(offsetof(sAdjustRefNode, terminator) == 32);
static_assert(offsetof(sAdjustRefNode, present) == 33);
static_assert(offsetof(sAdjustRefNode, positionCode) == 34);
static_assert(offsetof(sAdjustRefNode, coordKind) == 35);
static_assert(offsetof(sAdjustRefNode, nodeType) == 36);
static_assert(offsetof(sAdjustRefNode, objectId) == 40);
static_assert(offsetof(sAdjustRefNode, refWord) == 44);
static_assert(offsetof(sAdjustRefNode, x) == 48);
static_assert(offsetof(sAdjustRefNode, y) == 56);
static_assert(offsetof(sAdjustRefNode, z) == 64);

// Content flags of a set-up, recomputed from its used entries.
enum eAdjustContent : uint32_t {
    ADJ_CONTENT_GPS = 0x01,               // a GPS observation (20 to 23)
    ADJ_CONTENT_DIFF_CORRECTION = 0x02,   // a differential correction (33)
    ADJ_CONTENT_VESSEL_HEIGHT = 0x10,     // a pseudo-range or height on a vessel or towed object
    ADJ_CONTENT_HEIGHT_AIDING = 0x20,     // height aiding, squat or Froude (40, 71, 72)
};

// The settings block of a set-up, 176 bytes; its record in the shared buffer and the file.
struct sAdjustDef {
    static constexpr size_t kNameChars = 49;
    static constexpr float kMinInterval = 5.0f;
    static constexpr float kMaxInterval = 60.0f;

    char name[50];          // at most 49 characters; byte 49 is always 0
    uint8_t pad50[2];
    int32_t id;             // 0 unassigned, -1 the fixed-node set-up
    int32_t mainSysId;      // -1 none
    int32_t level;          // 0: in the priority list
    uint32_t contentFlags;  // eAdjustContent
    uint32_t optionFlags;
    int32_t option72;
    int32_t option76;
    float option80;
    float option84;
    float minInterval;      // seconds; 0 none, else 5 to 60
    float secondInterval;   // seconds; 0 none, else 5 to 60
    sAdjustRefNode refNode;
    int32_t priority;       // -1 none; the absolute value is the rank
    uint8_t option172;
    uint8_t pad173[3];

    sAdjustDef() { Init(); }
    // Zeros, then the defaults.
    void Init();
    // The defaults, then a copy of the source when there is one.
    void InitFrom(const sAdjustDef* source);
    void CopyFrom(const sAdjustDef* source);
    // The fix-ups of a block read from an image (intervals, level, reference node).
    void Validate();
    // Zeros, at most 49 characters of the name, the id, then the defaults; returns the id.
    int32_t InitNamed(int32_t newId, const char* newName);

private:
    void ApplyDefaults();
};
static_assert(sizeof(sAdjustDef) == 176);
static_assert(offsetof(sAdjustDef, pad50) == 50);
static_assert(offsetof(sAdjustDef, id) == 52);
static_assert(offsetof(sAdjustDef, mainSysId) == 56);
static_assert(offsetof(sAdjustDef, level) == 60);
static_assert(offsetof(sAdjustDef, contentFlags) == 64);
static_assert(offsetof(sAdjustDef, optionFlags) == 68);
static_assert(offsetof(sAdjustDef, option72) == 72);
static_assert(offsetof(sAdjustDef, option76) == 76);
static_assert(offsetof(sAdjustDef, option80) == 80);
static_assert(offsetof(sAdjustDef, option84) == 84);
static_assert(offsetof(sAdjustDef, minInterval) == 88);
static_assert(offsetof(sAdjustDef, secondInterval) == 92);
static_assert(offsetof(sAdjustDef, refNode) == 96);
static_assert(offsetof(sAdjustDef, priority) == 168);
static_assert(offsetof(sAdjustDef, option172) == 172);
static_assert(offsetof(sAdjustDef, pad173) == 173);

// Entry states.
enum eAdjustEntryState : uint32_t {
    ADJ_ENTRY_USED = 0,
    ADJ_ENTRY_COMPANION = 1,
    ADJ_ENTRY_EXCLUDED = 2,
};

// The 80-byte image of an entry: twenty 32-bit words. The three link words hold ids (or 0), never
// addresses; the entry keeps its links as pointers beside the image.
struct sAdjustEntryImage {
    uint32_t state;         // eAdjustEntryState
    uint32_t optionFlags;
    float weight;
    float option12;
    uint32_t zero16[2];
    uint32_t kindFlags;     // high nibble one of 0x10, 0x20, 0x40, 0x80; low nibble 0, 1, 2 or 4
    float sigma;
    uint32_t obsId;
    uint32_t nodeId;
    uint32_t toNodeId;
    float interval;         // update interval, seconds
    float ageLimit;         // seconds, 0 none
    float sigma2;
    float sigma3;
    int32_t option60;
    int32_t option64;
    uint32_t zero68[2];
    int32_t refWord;
};
static_assert(sizeof(sAdjustEntryImage) == 80);
static_assert(offsetof(sAdjustEntryImage, optionFlags) == 4);
static_assert(offsetof(sAdjustEntryImage, weight) == 8);
static_assert(offsetof(sAdjustEntryImage, option12) == 12);
static_assert(offsetof(sAdjustEntryImage, zero16) == 16);
static_assert(offsetof(sAdjustEntryImage, kindFlags) == 24);
static_assert(offsetof(sAdjustEntryImage, sigma) == 28);
static_assert(offsetof(sAdjustEntryImage, obsId) == 32);
static_assert(offsetof(sAdjustEntryImage, nodeId) == 36);
static_assert(offsetof(sAdjustEntryImage, toNodeId) == 40);
static_assert(offsetof(sAdjustEntryImage, interval) == 44);
static_assert(offsetof(sAdjustEntryImage, ageLimit) == 48);
static_assert(offsetof(sAdjustEntryImage, sigma2) == 52);
static_assert(offsetof(sAdjustEntryImage, sigma3) == 56);
static_assert(offsetof(sAdjustEntryImage, option60) == 60);
static_assert(offsetof(sAdjustEntryImage, option64) == 64);
static_assert(offsetof(sAdjustEntryImage, zero68) == 68);
static_assert(offsetof(sAdjustEntryImage, refWord) == 76);

// One entry of a set-up: its image and the observation and nodes it points to (not owned). The
// pointers and the link words move together: linking sets both, a copy without links clears both.
struct sAdjustEntry : sAdjustEntryImage {
    sObsDef* obs = nullptr;
    sNodeDef* node = nullptr;
    sNodeDef* toNode = nullptr;

    // The defaults.
    sAdjustEntry();
    // The defaults with the observation's standard deviation and update interval; linked to it
    // only when keepLink is true.
    sAdjustEntry(sObsDef* observation, bool keepLink);
    // A copy of the other entry; without keepLinks its three links are put back to null.
    sAdjustEntry(const sAdjustEntry& other, bool keepLinks);
    sAdjustEntry(const sAdjustEntry& other) = default;
    sAdjustEntry& operator=(const sAdjustEntry& other) = default;
    // Every word of the other but the two node words, which stay null.
    static sAdjustEntry WithoutNodes(const sAdjustEntry& other);

    // All of the other entry; without withLinks this entry keeps its own three links.
    void Assign(const sAdjustEntry& other, bool withLinks);
    // Every word but the two node words, which keep their values.
    void CopyFields(const sAdjustEntry& other);
    // The target becomes this entry without its two nodes; the observation is copied as it stands.
    void CopyToUnlinked(sAdjustEntry& target) const;
    // The observation's standard deviation and interval, age limit 0, and the link when keepLink.
    void SetLinks(sObsDef* observation, bool keepLink);
    // Links the observation and the nodes (ids and pointers).
    void Link(sObsDef* observation, sNodeDef* first, sNodeDef* second);
    // Clears the three links (ids and pointers).
    void Unlink();
    // 1 when the state changed; 0 when it had that state already or the entry has no observation.
    int SetUsed() { return SetState(ADJ_ENTRY_USED); }
    int SetCompanion() { return SetState(ADJ_ENTRY_COMPANION); }
    int SetExcluded() { return SetState(ADJ_ENTRY_EXCLUDED); }
    // The valid kind-flag nibbles and the position types' low nibble 1.
    void NormaliseKindFlags();

    // The observation's id; 0 without an observation.
    int32_t GetObsId() const { return obs != nullptr ? obs->id : 0; }
    bool IsUsed() const { return state == ADJ_ENTRY_USED && obs != nullptr; }
    // The image: the link words hold the ids of the observation and nodes (0 when null or below
    // 1). Written to a shared buffer as it stands.
    sAdjustEntryImage GetLinkedImage() const;

private:
    int SetState(uint32_t newState);
};

class CAdjustDef : public CObject {
public:
    using Entries = std::vector<std::unique_ptr<sAdjustEntry>>;

    CAdjustDef();
    explicit CAdjustDef(const char* name);
    CAdjustDef(int32_t id, const char* name);
    // Not the lists: a copy has none until SetLists. Entries are copied whole, links included.
    CAdjustDef(const CAdjustDef& other);
    CAdjustDef& operator=(const CAdjustDef& other);
    ~CAdjustDef() override;

    // Forgets the lists, frees every entry and zeroes the settings block (priority 0, not -1).
    void Clear();
    void SetLists(CObjDefList* objects, CSysDefList* systems, CObsDefList* observations, CNodeDefList* nodes,
                  CFiltDefList* filters, Vok::Tides::CTideSettingsContainer* tides);
    void InitNamed(int32_t id, const char* name) { m_Def.InitNamed(id, name); }

    // --- Entries ---
    int GetEntryCount() const { return static_cast<int>(m_Entries.size()); }
    // Null outside the list.
    sAdjustEntry* GetEntryAt(int index) const;
    const Entries& GetEntries() const { return m_Entries; }
    // Takes the entry: 1 when added, 0 (entry freed) when an entry of the same observation exists.
    int AddEntry(std::unique_ptr<sAdjustEntry> entry);
    // Appends without any check (copies and image readers that keep every entry).
    void AppendEntry(std::unique_ptr<sAdjustEntry> entry) { m_Entries.push_back(std::move(entry)); }
    // An entry of the observation, over the template's words when one is given (state 2); 0 when
    // the observation has an entry already.
    int AddObservation(sObsDef* observation, const sAdjustEntry* entryTemplate);
    void UpdateContentFlags();
    // Bits 4 and 5, judged with the node and object lists.
    void UpdateContentFlags(const CNodeDefList* nodes, const CObjDefList* objects);
    float GetMaxUpdateInterval(int32_t obsType, bool requirePositive, bool usedOnly) const;
    float GetMinUpdateInterval(int32_t obsType, bool requirePositive, bool usedOnly) const;
    // The standard deviations of position entries in the unit of the system's height observation;
    // the number of entries converted.
    int ConvertSigmaUnits(const CObsDefList* observations);

    // --- Observation states ---
    int UseObservation(sObsDef* observation);
    int ExcludeObservation(sObsDef* observation);
    int SetCompanionObservation(sObsDef* observation);
    void RemoveAllEntries();
    // CInvalidArgException for an index outside the list.
    void RemoveEntryAt(int index);
    // 1 when an entry was removed.
    int RemoveObservation(const sObsDef* observation);
    int RemoveEntry(int32_t obsId);
    // Unlinks every entry (ids kept in the link words).
    void UnlinkEntries();
    // Links entries whose words hold ids; unknown observations are dropped.
    void ResolveIds(const CNodeDefList* nodes, const CObsDefList* observations);
    // Links entries again by their observation's id; unknown observations are dropped.
    void Relink(const CNodeDefList* nodes, const CObsDefList* observations);

    // --- Queries ---
    int HasObservation(int32_t obsId) const;
    int HasObservation(const sObsDef* observation) const;
    sAdjustEntry* GetEntry(int32_t obsId) const;
    sAdjustEntry* GetEntry(const sObsDef* observation) const;
    int IsObservationUsed(const sObsDef* observation) const;
    int IsObservationUsed(const sAdjustEntry* entry) const;
    int IsObservationUsed(int32_t obsId) const;
    int IsObservationCompanion(const sObsDef* observation) const;
    int IsObservationCompanion(const sAdjustEntry* entry) const;
    int IsObservationCompanion(int32_t obsId) const;
    int IsObservationExcluded(const sObsDef* observation) const;
    int IsObservationExcluded(const sAdjustEntry* entry) const;
    int IsObservationExcluded(int32_t obsId) const;
    int UsesNode(int32_t nodeId, bool includeOffsets, bool positioningOnly) const;
    int HasNode(int32_t nodeId, bool includeOffsets) const;
    int UsesSystem(int32_t sysId, int32_t objectId, bool positioningOnly) const;
    int UsesSystemInState(const sSysDef* system, bool positioningOnly, uint32_t state) const;
    int UsesObject(int32_t objectId, const CNodeDefList* nodes, bool positioningOnly) const;
    int UsesObjectOfNode(int32_t nodeId, const CObjDefList* objects, const CNodeDefList* nodes,
                         bool positioningOnly) const;
    int HasObject(int32_t objectId, const CNodeDefList* nodes) const;
    int HasObjectOfNode(int32_t nodeId, const CObjDefList* objects, const CNodeDefList* nodes) const;
    int HasSystemOnObject(int32_t sysId, int32_t objectId) const;
    int HasSystem(const sSysDef* system, int32_t objectId, bool positioningOnly) const;
    int HasObservationOfType(int32_t sysId, int32_t obsType) const;
    int UsesObservationOfType(int32_t sysId, int32_t obsType) const;
    int UsesGpsOnObject(int32_t objectId) const;
    int HasFixedNodeOrHeight(const CNodeDefList* nodes) const;
    int HasHeightAiding(bool flag) const;
    int HasHeightAidingOfSystem(int32_t sysId) const;
    int HasHeightSourceOfSystem(int32_t sysId) const;
    const sObsDef* FindListedObservation(const std::vector<const sObsDef*>& records) const;
    sNodeDef* FindVariableNode(const CNodeDefList* nodes) const;
    int GetHeightMode(int32_t sysId) const;
    int IsMainSystem(const sSysDef* system) const;
    static int IsMainSystemType(const sSysDef* system);

    // --- Builders and upkeep ---
    void BuildFromObservations(const CAdjDefList* templates);
    void SelectHeightSource(int32_t sysId, int mode);
    int UpdateMainSystem(bool search);
    void ExcludeObject(const sObjDef* object);
    void ExcludeSystem(const sSysDef* system);
    void UseSystem(const sSysDef* system, const CHdrList* headers, bool checkHeightSources);
    void UpdateDependants(sObsDef* observation);
    void UpdateAllDependants();
    bool CountHeightSources(int32_t objectId, const CNodeDefList* nodes, int32_t excludedSysId, int& count,
                            int32_t& obsId) const;
    bool CountHeightAiding(int32_t objectId, const CNodeDefList* nodes, int32_t excludedSysId, int& count,
                           int32_t& obsId) const;
    // The object has a height source itself or through used link observations (the visited objects
    // are not searched twice).
    bool HasHeightSourceThroughLinks(int32_t objectId, int32_t excludedSysId, const CHdrList* headers) const;
    bool FindHeightSourceByLinks(int32_t objectId, int32_t& obsId) const;
    bool FindHeightAidingByLinks(int32_t objectId, int32_t& obsId) const;
    bool ConnectedObjects(CObjectMarks& marks, int32_t startId, const CObjDefList* objects,
                          const CNodeDefList* nodes, const CHdrList* headers, bool recurse, bool letNonRigid) const;
    bool ConnectedObjectsByVariableNodes(CObjectMarks& marks, int32_t startId, const CObjDefList* objects,
                                         const CNodeDefList* nodes, const CHdrList* headers,
                                         const sConnectOptions& options) const;
    int UsesObjectConnected(int32_t objectId, const CObjDefList* objects, const CNodeDefList* nodes,
                            const CHdrList* headers) const;
    int HasObjectConnected(int32_t objectId, const CObjDefList* objects, const CNodeDefList* nodes,
                           const CHdrList* headers) const;
    void SyncFilterDefs(CFiltDefList* filters, const CObjDefList* objects, const CNodeDefList* nodes);
    void SyncFilterDefsFrom(const CAdjustDef& other, CFiltDefList* filters, const CObjDefList* objects,
                            const CNodeDefList* nodes);
    void AdjustFilterInterval(sFiltDef* filter, double seconds) const;
    void SetMinUpdateInterval(float seconds);
    void ApplyIntervalToObjects(const CAdjDefList* setups, float interval);
    void ApplyIntervalToSystem(const sSysDef* system, float interval);
    double GetFilterInterval(const CFiltDefList* filters, const CObjDefList* objects, const CNodeDefList* nodes) const;
    // The objects on which the set-up has used entries (UsesObject with the positioning filter).
    std::vector<int32_t> GetUsedObjectIds() const;

    // The entry lists: 999 when an entry of either has no match by observation id in the other,
    // or matched entries' observations or nodes have different names; 0 when all match.
    int CompareEntries(const CAdjustDef& other) const;
    // CompareEntries, then the name, then the settings (999) and the reference node (its name,
    // then 888).
    int Compare(const CAdjustDef& other) const;
    int Compare(const CAdjustDef* other) const { return other != nullptr ? Compare(*other) : 999; }

    CString GetName() const { return FieldText(m_Def.name); }
    int32_t GetId() const { return m_Def.id; }
    // The absolute value of the priority; the largest rank for the one priority without one.
    int32_t GetPriorityRank() const {
        if (m_Def.priority >= 0) return m_Def.priority;
        return m_Def.priority == INT32_MIN ? INT32_MAX : -m_Def.priority;
    }

    CObjDefList* m_objects = nullptr;
    CSysDefList* m_systems = nullptr;
    CObsDefList* m_observations = nullptr;
    CNodeDefList* m_nodes = nullptr;
    CFiltDefList* m_filters = nullptr;
    Vok::Tides::CTideSettingsContainer* m_tides = nullptr;
    Entries m_Entries;
    sAdjustDef m_Def;

private:
    int SetObservationState(sObsDef* observation, uint32_t state);
    // The entry of an observation of that id, ids below 1 included: an observation list read from a
    // file may hold such records, and each still has one entry.
    sAdjustEntry* FindEntryOfId(int32_t obsId) const;
    bool PassesPositioningFilter(const sObsDef* observation) const;
    int32_t ObjectOfNodeId(int32_t nodeId) const;
    bool HasHeightSourceForRule(int32_t objectId, int32_t sysId, const CHdrList* headers) const;
    bool SearchLinks(int32_t objectId, std::set<int32_t>& visited, bool aiding, int32_t& obsId) const;
    bool HasOwnHeight(int32_t objectId, bool aiding) const;
    // f(link observation, node at the far end) over the used link observations that leave the
    // object; true at the first f that is true.
    template <typename F>
    bool AnyUsedLink(int32_t objectId, F f) const;
    void RaiseEntryInterval(int32_t obsId, float interval);
    // Raises the entries of the observations that the object record and the tide settings' observation
    // sources name.
    void RaiseObjectIntervals(const sObjDef& object, const Vok::Tides::CTideSettingsContainer* tides,
                              float interval);
};
