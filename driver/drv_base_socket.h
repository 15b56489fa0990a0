// The base of every driver object: the driver's side of the host link, its settings and the
// project's definitions read from the host's settings buffer, the output buffer that the host
// names with its time block, the receive buffer and the times of the datagram in hand.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <memory>

#include "compat/cstring.h"
#include "compat/object.h"
#include "compat/pps_library.h"
#include "compat/windows_types.h"
#include "definitions/records/definition_records.h"
#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/sys_def_list.h"
#include "platform/child_process.h"
#include "platform/ipc_buffer_handle.h"

// The one record of the output buffer's time block. Shared format.
struct TimeBlockRecord {
    SYSTEMTIME stTime;  // the update's time
    int32_t lSystem;    // minus the system id of the driver's settings
};
static_assert(sizeof(TimeBlockRecord) == 20);
static_assert(offsetof(TimeBlockRecord, stTime) == 0);
static_assert(offsetof(TimeBlockRecord, lSystem) == 16);

constexpr DWORD TIME_BLOCK_TYPE = 26;

// Items (blocks from 1) of the host's settings buffer that the driver reads.
enum eSettingsItem : DWORD {
    ITEM_COMMAND = 1,
    ITEM_SYSTEM = 2,
    ITEM_OUTPUT_NAME = 3,
    ITEM_OBSERVATIONS = 4,
    ITEM_NODES = 5,
    ITEM_OPAQUE_RECORD = 9,
    ITEM_OPAQUE_VALUE = 18,
    ITEM_SYSTEMS = 19,
    ITEM_HEADERS = 23,
};
// The output buffer name's item holds at most this many bytes.
constexpr DWORD OUTPUT_NAME_SIZE = 16;
constexpr DWORD OPAQUE_RECORD_SIZE = 3080;
// How long the driver waits for its output buffer's lock before it drops what it would have written;
// opening the buffer waits as long for it, and no second time.
constexpr DWORD OUTPUT_WAIT_MS = 1000;

// Holds a buffer's lock, taken through IpcBufferHandle::Lock, until the end of the scope, so that
// no early return or exception leaves it held.
class CBufferHold {
public:
    // Waits COMMAND_READ_TIMEOUT_MS at most: no wait of the driver is without end.
    explicit CBufferHold(IpcBufferHandle& handle)
        : m_handle(handle), m_locked(handle.Lock(COMMAND_READ_TIMEOUT_MS)) {}
    // Takes over a hold already taken (locked true) or the failure to take it.
    CBufferHold(IpcBufferHandle& handle, bool locked) : m_handle(handle), m_locked(locked) {}
    ~CBufferHold() {
        if (m_locked) m_handle.Unlock();
    }
    CBufferHold(const CBufferHold&) = delete;
    CBufferHold& operator=(const CBufferHold&) = delete;
    explicit operator bool() const { return m_locked; }

private:
    IpcBufferHandle& m_handle;
    bool m_locked;
};

// One kind of trouble of one object, said on standard error once per episode: when it begins or
// changes, and when it ends. A file cut short again and again must not flood the error output: no
// line is said within PROBLEM_SAY_INTERVAL_MS of the last one, ends included. A line held back is
// owed, and said by SayDue as soon as the limit allows, so a problem is said while it lasts. An
// owed line that something newer replaces before it is said (an owed problem changed again or
// ended, an owed end followed by a new episode) is counted, and the next line said names the count
// ("N episodes since the last message went unsaid"; an end line also names the last of them). The
// end of the object says what is still owed, whatever the limit.
constexpr DWORD PROBLEM_SAY_INTERVAL_MS = 1000;

class CProblemEpisode {
public:
    CProblemEpisode() = default;
    // Says the owed line, or the count of what went unsaid, when any.
    ~CProblemEpisode();
    CProblemEpisode(const CProblemEpisode&) = delete;
    CProblemEpisode& operator=(const CProblemEpisode&) = delete;

    // Opens an episode of problem, or changes the open one's problem; said when the limit allows,
    // unless it is the one said last in this episode. True when it opens an episode after one whose
    // end was said (or the first): the counts that the last end named start again.
    bool Begin(const CString& problem);
    // Closes an open episode; ended (none when empty) is said when the limit allows.
    void End(const CString& ended);
    bool IsOpen() const { return !m_problem.IsEmpty(); }
    // Says the owed line if the limit allows it now; no clock is read when nothing is owed.
    void SayDue() {
        if (m_owed != OWED_NONE) SayOwed(false);
    }
    // Milliseconds until the owed line may be said, -1 when nothing is owed.
    int GetMsUntilDue() const { return m_owed == OWED_NONE ? -1 : MsUntilMaySay(); }

private:
    enum eOwed { OWED_NONE, OWED_PROBLEM, OWED_END };
    int MsUntilMaySay() const;
    // Says the owed line, with the count of what went unsaid before it; unless forced, only when
    // the limit allows.
    void SayOwed(bool force);
    // An owed line replaced before it was said.
    void CountUnsaid(const CString& problem);

    CString m_problem;       // the open episode's problem; empty while none is open
    CString m_saidProblem;   // the problem said last in the open episode
    CString m_ended;         // the owed end line
    CString m_endedProblem;  // the problem of the episode whose end is owed
    CString m_lastUnsaid;    // the last problem that went unsaid
    eOwed m_owed = OWED_NONE;
    bool m_endedCounted = false;  // the episode whose end is owed is counted as unsaid already
    DWORD m_unsaid = 0;           // lines replaced unsaid since the last line said
    std::chrono::steady_clock::time_point m_lastSaid{};  // the epoch while nothing was said
};

// A folder's device and inode, {0, 0} when it is not there: a folder renamed away and made anew
// under the same path is another one.
struct sFolderIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const sFolderIdentity&) const = default;
};
sFolderIdentity IpcFolderIdentity(const std::string& path);

class CDrvBaseSocket : public CObject {
public:
    // Installs the crash handler, names the thread and opens the host link of "Prefix". A link
    // that cannot be opened is said on the log's debugger output; IsLinkOpen then answers false.
    CDrvBaseSocket();
    ~CDrvBaseSocket() override;
    CDrvBaseSocket(const CDrvBaseSocket&) = delete;
    CDrvBaseSocket& operator=(const CDrvBaseSocket&) = delete;

    virtual void Run() = 0;
    // Opens the output buffer named by the settings and adds a time block to it; without a name,
    // says so and opens none. Always 1.
    virtual int OnCmdInit();
    // Releases the output buffer: nothing is written into it any more, and its files are closed at
    // the end of the object.
    virtual void OnCmdExit();
    // 1 when the update interval has passed since the last sent update (which then becomes the
    // time of receipt).
    virtual int IsUpdateDue();

    bool IsLinkOpen() const { return m_link != nullptr; }
    // A descriptor that the driver needs (an event or the settings buffer of the link, the output
    // buffer or a block added to it, the socket) was refused for the limit of open files, which no
    // wait clears: said on standard error; the driver ends and its command is not acknowledged.
    bool IsOutOfDescriptors() const { return m_outOfDescriptors; }
    // EMFILE or ENFILE.
    static bool IsDescriptorLimit(int error);
    // The errno that a system refusal carries (std::system_error, IpcBuffer::ResizeError), else 0.
    static int SystemErrorOf(const std::exception& e);

    // Refreshes the settings and the definitions from the settings buffer. The host's items are
    // untrusted: an item larger than the driver's record is refused (the driver keeps what it
    // had, the output buffer's name included), a shorter one is used zero-filled, a list image that
    // does not fit its records gives an empty list; each is said on standard error. False when the
    // buffer could not be read: held by another process for COMMAND_READ_TIMEOUT_MS, or refused
    // (SaySettingsProblem said it), or when it names an output buffer longer than its item
    // (IsOutputNameRefused, said too): then nothing is changed.
    bool ReadSettingsBuffer();
    // The last ReadSettingsBuffer met an output buffer name of more than OUTPUT_NAME_SIZE bytes.
    bool IsOutputNameRefused() const { return m_outputNameRefused; }
    // Says, once per episode, that the settings buffer could not be read (COMMAND_HELD or
    // COMMAND_REFUSED, with the buffer's refusal) and that what the host asked waits; with
    // COMMAND_READ ends the episode.
    void SaySettingsProblem(eCommandRead result);
    // A new writer handle on the buffer named by the settings; null when it cannot be opened.
    std::unique_ptr<IpcBufferHandle> CreateIOBuffer();
    // Items 28, 31 and 24 into the second, third and seventh text; this form takes the lock, the
    // other expects the caller to hold it.
    void ReadStringSettings();
    void ReadStringSettings(IpcBufferHandle& settings);
    const CString& GetStringSetting(int index) const { return m_strSettings[index]; }

    // The update's time becomes the datagram's time (after the time-tag step) less the time
    // offset. However often it is called for one datagram, the offset is taken away once.
    void ApplyTimeOffset();
    // The time-tag step of a datagram: 1 when it may go on, with the tag removed and (time
    // source 4) the tag's time as the update's time; 0 drops it.
    int DecodeTimeTag();
    // Writes the update's time into the time block; 0 when there is none, the lock fails or the
    // block is no longer the one this driver added. A file cut short meanwhile is refused when the
    // hold ends.
    int WriteTimeBlock();
    // Raises "_UPDATE_READY", then "_TRIGGER_DSP".
    void SignalUpdate();
    // Says, once per episode, that event index of the link could not be used (usable false), or
    // that it can again.
    void SayEventProblem(int index, bool usable);
    // Says the problem lines that the rate limit held back and now allows; cheap when none is owed.
    void SayDueProblems();
    // Milliseconds until the first held-back line may be said, -1 when none is owed.
    int GetMsUntilProblemDue() const;

    BYTE* GetReceiveBuffer() { return m_receiveBuffer.get(); }
    DWORD GetReceiveBufferSize() const { return m_receiveBufferSize; }
    DWORD GetReceiveLength() const { return m_receiveLength; }
    DWORD GetReceivedLength() const { return m_receivedLength; }
    // Frees the buffer and allocates n zero bytes (none for 0).
    void SetReceiveBufferSize(DWORD n);
    // The length asked for per receive.
    void SetReceiveLength(DWORD n) { m_receiveLength = n; }
    // At most the buffer's size.
    void SetReceivedLength(DWORD n) { m_receivedLength = n < m_receiveBufferSize ? n : m_receiveBufferSize; }

    const sSysDef& GetSettings() const { return m_settings; }
    const CString& GetOutputName() const { return m_outputName; }
    IpcBufferHandle* GetOutputBuffer() { return m_output.get(); }
    DWORD GetTimeBlock() const { return m_timeBlock; }
    const TimeBlockRecord& GetTimeRecord() const { return m_timeRecord; }
    int IsInitialised() const { return m_initialised; }
    // True when block number `block` of the output buffer exists with that type and record size:
    // a block number kept from an earlier output buffer must not be written into another one.
    bool IsOwnBlock(DWORD block, DWORD type, DWORD recordSize);
    // IsOwnBlock for a block that this driver added to the buffer now open: when it fails, another
    // process changed the buffer's descriptors, which is said once per episode.
    bool IsWritableBlock(DWORD block, DWORD type, DWORD recordSize);
    // Ends an episode of IsWritableBlock's refusals after a datagram that wrote records and met none.
    void EndRefusedBlocks();
    // Under the datagram's hold: record 1 of block number `block`, which this driver added (refused
    // as IsWritableBlock refuses), := size bytes of record; the block stamped with the time of
    // receipt, its record count 1. Its descriptor is read once for all of it. Whether what the hold
    // wrote reached the file is told by IsHoldIntact.
    bool WriteSoleRecord(DWORD block, DWORD type, const void* record, DWORD size);
    // False when an access of the datagram's hold met the end of a file that another process cut
    // short: what it wrote went nowhere.
    bool IsHoldIntact();
    // Inside a COutputHold: whether it is the outermost one, whose end asks IsHoldIntact for all
    // that the hold wrote.
    bool IsOutermostHold() const { return m_holdDepth == 1; }
    // How many holds have ended refused because what they wrote met a file cut short.
    uint64_t GetRefusedHolds() const { return m_refusedHolds; }

    CObsDefList& GetObsDefs() { return m_obsDefs; }
    CNodeDefList& GetNodeDefs() { return m_nodeDefs; }
    CHdrList& GetHdrList() { return m_hdrList; }
    CSysDefList& GetSysDefs() { return m_sysDefs; }

protected:
    // Starts a datagram: its PPS time and its system time of receipt, from one reading of the clock
    // at its arrival: the kernel's stamp of it (arrival), else the clock now (null).
    void StampDatagram(const timespec* arrival);
    // The orders of times that a time far behind their newest starts again.
    enum eTimeOrder { TIME_ORDER_HEADING_RING, TIME_ORDER_TIME_TAGS, TIME_ORDER_COUNT };
    // Says that order starts again from a time step seconds behind its newest: each restart once, as
    // the problem lines of one object are said.
    void SayTimeStep(eTimeOrder order, double step);
    // The PPS library's pulse and current times: those of the datagram's clock reading while a
    // stamped datagram is handled, else read now.
    void GetDatagramPpsTimes(SYSTEMTIME* pulse, int64_t* pulseCounter, int64_t* nowCounter, SYSTEMTIME* now) const;
    // Takes the output buffer's hold, waiting OUTPUT_WAIT_MS at most: a reader that stopped while it
    // holds the buffer must not stop the driver. A buffer that stays locked or whose files another
    // process damaged is said once on standard error per episode; for a datagram its records are
    // dropped and counted (and it is not waited for twice), and the end of the episode is said with
    // the count.
    // Within one command the hold is waited for once: after a wait in vain (the opening's included)
    // later tries of the command do not wait.
    bool LockOutput(bool forDatagram);
    // Starts a command: its first hold of the output buffer may wait again.
    void StartCommand() { m_outputWaitedInVain = false; }
    // Drops the output buffer's hold of this datagram as LockOutput drops a refused one: said once
    // per episode with the buffer's refusal, the datagram counted.
    void RefuseOutput(bool forDatagram);
    // One exclusive hold of the output buffer for everything that a datagram writes: taken at the
    // first write (HoldOutput) and released when the outermost COutputHold ends, however many
    // records, ring slots and time blocks were written meanwhile.
    class COutputHold {
    public:
        explicit COutputHold(CDrvBaseSocket& driver);
        ~COutputHold();
        COutputHold(const COutputHold&) = delete;
        COutputHold& operator=(const COutputHold&) = delete;

    private:
        CDrvBaseSocket& m_driver;
    };
    // Inside a COutputHold, the output buffer under its exclusive hold; null when there is no
    // buffer or its hold could not be had (then not tried again before the hold ends).
    IpcBufferHandle* HoldOutput();
    // The settings' update interval and time offset; a value that is not finite counts as 0.
    double GetUpdateInterval() const;
    double GetTimeOffset() const;
    // Whether elapsed seconds reach the update interval. Times here are whole milliseconds and the
    // interval is a 32-bit float (0.2 is 0.2000000030), so both are compared as whole milliseconds:
    // otherwise fixes exactly one interval apart never reach it and every other one is dropped.
    bool ReachesUpdateInterval(double elapsedSeconds) const;

    CChildProcess* GetLink() { return m_link.get(); }
    // Says what could not be done for the limit of open files ("<what>: Too many open files (...);
    // the driver ends") and marks the driver as out of descriptors.
    void EndForDescriptors(const CString& what, int error);
    // The same when the exception is such a refusal; false (nothing said) otherwise.
    bool EndForDescriptors(const CString& what, const std::exception& e);

    // The update's time (the PPS time of the datagram), its time of receipt, and the time of
    // the last sent update.
    SYSTEMTIME m_stPpsTime{};
    SYSTEMTIME m_stReceiptTime{};
    SYSTEMTIME m_stLastSentTime{};
    // The time of receipt as the blocks are stamped with it, converted once per datagram.
    sMjdTime m_receiptStamp{0, 0, -1.0};
    // The datagram's one reading of the clock, its UTC time, and the datagram it was read for.
    sPpsReading m_clockReading{};
    SYSTEMTIME m_clockTime{};
    uint64_t m_clockSerial = 0;

private:
    // Copies record 1 of a single-record item into destination, refusing one larger than it. With
    // exact, a shorter record is used zero-filled and said.
    bool ReadSettingsItem(IpcBufferHandle& settings, DWORD item, void* destination, DWORD size, bool exact);
    // Says why a list reader refused item: missing, records of another size (recordSize; 0 for an
    // image of entries), a count beyond its block.
    void ReportRefusedList(IpcBufferHandle& settings, DWORD item, DWORD recordSize);
    // What a read says of the items is one line each, said per episode: a command that waits on a
    // damaged buffer reads it again and again.
    void NoteItemProblem(const CString& text);
    void SayItemProblems();
    // IsWritableBlock's answer for a block that is not this driver's.
    bool RefuseBlock(DWORD block, DWORD type, DWORD recordSize);

    CString m_strSettings[7];
    sSysDef m_settings;
    BYTE m_opaqueRecord[OPAQUE_RECORD_SIZE] = {};
    int32_t m_opaqueValue = -1;

    std::unique_ptr<BYTE[]> m_receiveBuffer;
    DWORD m_receiveBufferSize = 0;
    DWORD m_receiveLength = 0;
    DWORD m_receivedLength = 0;

    std::unique_ptr<CChildProcess> m_link;
    bool m_outOfDescriptors = false;
    CString m_outputName;
    CObsDefList m_obsDefs;
    CNodeDefList m_nodeDefs;
    CHdrList m_hdrList;
    CSysDefList m_sysDefs;
    std::unique_ptr<IpcBufferHandle> m_output;
    // The output buffer that EXIT released.
    std::unique_ptr<IpcBufferHandle> m_exitedOutput;

    // The datagram's own time after the time-tag step, from which the offset is taken.
    SYSTEMTIME m_stDatagramTime{};
    TimeBlockRecord m_timeRecord{};
    DWORD m_timeBlock = 0;
    int32_t m_initialised = 0;

    // The settings buffer's episodes, those of its items (the lines of one read), of the output
    // buffer's descriptors and of the IPC folder.
    CProblemEpisode m_settingsProblem;
    CProblemEpisode m_itemsProblem;
    CString m_itemLines;
    CProblemEpisode m_blocksProblem;
    CProblemEpisode m_folderProblem;
    CProblemEpisode m_timeStepProblems[TIME_ORDER_COUNT];
    CProblemEpisode m_eventProblems[IPC_EVENT_COUNT];
    // The IPC folder in which the host made the link; {0, 0} when unknown.
    sFolderIdentity m_linkFolder;
    uint64_t m_blocksRefusedSerial = 0;

    // The output buffer's lock episodes, the datagrams whose records were dropped since the last end
    // said, and the datagram that dropped last.
    CProblemEpisode m_outputProblem;
    DWORD m_droppedDatagrams = 0;
    uint64_t m_datagramSerial = 1;
    uint64_t m_droppedSerial = 0;

    bool m_outputWaitedInVain = false;
    bool m_outputNameRefused = false;
    int m_holdDepth = 0;
    int m_holdState = 0;  // 0 not tried, 1 held, -1 failed
    uint64_t m_refusedHolds = 0;
    // ReachesUpdateInterval's interval in whole milliseconds, for the interval setting of these bits.
    mutable double m_intervalMs = 0.0;
    mutable uint32_t m_intervalBits = 0;
    mutable bool m_intervalKnown = false;
};

// Says what went wrong on the log's debugger output, which reaches the driver's standard error
// whatever the log's level; a text of several lines is said line by line, each with the level.
void ReportDriverProblem(const CString& text);
