#include "driver/drv_base_socket.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "compat/clock.h"
#include "compat/pps_library.h"
#include "driver/time_tag_decoder.h"
#include "foundation/debug_trace.h"
#include "foundation/error_text.h"
#include "foundation/system_time.h"
#include "platform/crash_handler.h"
#include "platform/environment.h"
#include "platform/log.h"
#include "platform/named_object.h"
#include "platform/posix_call.h"
#include "platform/thread_naming.h"

namespace {

double FiniteOrZero(float value) { return std::isfinite(value) ? static_cast<double>(value) : 0.0; }

// Text of at most size bytes, up to the first zero byte.
CString BoundedText(const BYTE* bytes, DWORD size) {
    const void* end = std::memchr(bytes, 0, size);
    const DWORD length = end != nullptr ? static_cast<DWORD>(static_cast<const BYTE*>(end) - bytes) : size;
    return CString(reinterpret_cast<const char*>(bytes), static_cast<int>(length));
}

}  // namespace

void ReportDriverProblem(const CString& text) {
    // Write, not Log: the driver sets no log level, and Log would drop the entry. One entry per line,
    // so that each carries the level: a problem may be several lines of one read.
    const std::string& all = text.Str();
    for (size_t start = 0; start <= all.size();) {
        const size_t end = std::min(all.find('\n', start), all.size());
        ZLog::Write(0, ZLog::Error, "pelorad: " + all.substr(start, end - start));
        start = end + 1;
    }
}

sFolderIdentity IpcFolderIdentity(const std::string& path) {
    struct stat folder {};
    if (::lstat(path.c_str(), &folder) != 0) return {};
    return {folder.st_dev, folder.st_ino};
}

CProblemEpisode::~CProblemEpisode() {
    if (m_owed != OWED_NONE) {
        SayOwed(true);
        return;
    }
    if (m_unsaid == 0) return;
    CString text;
    text.Format("%u episodes since the last message went unsaid; the last of them: %s", m_unsaid, m_lastUnsaid);
    ReportDriverProblem(text);
}

int CProblemEpisode::MsUntilMaySay() const {
    if (m_lastSaid == std::chrono::steady_clock::time_point{}) return 0;
    const auto left =
        std::chrono::milliseconds(PROBLEM_SAY_INTERVAL_MS) - (std::chrono::steady_clock::now() - m_lastSaid);
    return left <= std::chrono::milliseconds(0)
               ? 0
               : static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

void CProblemEpisode::CountUnsaid(const CString& problem) {
    ++m_unsaid;
    m_lastUnsaid = problem;
}

void CProblemEpisode::SayOwed(bool force) {
    if (!force && MsUntilMaySay() > 0) return;
    const CString& line = m_owed == OWED_END ? m_ended : m_problem;
    CString text = line;
    if (m_unsaid > 0 && m_owed == OWED_END) {
        text.Format("%s (%u episodes since the last message went unsaid; the last of them: %s)", line, m_unsaid,
                    m_lastUnsaid);
    } else if (m_unsaid > 0) {
        text.Format("%s (%u episodes since the last message went unsaid)", line, m_unsaid);
    }
    ReportDriverProblem(text);
    if (m_owed == OWED_PROBLEM) m_saidProblem = m_problem;
    m_owed = OWED_NONE;
    m_unsaid = 0;
    m_lastSaid = std::chrono::steady_clock::now();
}

bool CProblemEpisode::Begin(const CString& problem) {
    bool fresh = false;
    if (!IsOpen()) {
        fresh = m_owed != OWED_END;
        // The last episode's end, not said yet, gives way: this one goes on with its counts.
        if (m_owed == OWED_END && !m_endedCounted) CountUnsaid(m_endedProblem);
        m_saidProblem.Empty();
        m_owed = OWED_NONE;
    } else if (problem == m_problem) {
        return false;
    } else if (m_owed == OWED_PROBLEM) {
        CountUnsaid(m_problem);  // changed again before it was said
    }
    m_problem = problem;
    m_owed = problem == m_saidProblem ? OWED_NONE : OWED_PROBLEM;
    SayDue();
    return fresh;
}

void CProblemEpisode::End(const CString& ended) {
    if (!IsOpen()) return;
    m_endedCounted = m_owed == OWED_PROBLEM;
    if (m_endedCounted) CountUnsaid(m_problem);
    m_endedProblem = m_problem;
    m_problem.Empty();
    m_saidProblem.Empty();
    m_ended = ended;
    m_owed = ended.IsEmpty() ? OWED_NONE : OWED_END;
    SayDue();
}

CDrvBaseSocket::CDrvBaseSocket() {
    GetSystemTime(&m_stReceiptTime);
    m_stLastSentTime = m_stReceiptTime;
    m_receiptStamp = SystemTimeToMjdTime(m_stReceiptTime);
    CCrashHandler::s_bWriteFullDump = true;
    if (!CCrashHandler::Install()) ReportDriverProblem("the crash handler could not be installed");
    SetDriverThreadName();

    const CString prefix = GetEnvVariable("Prefix");
    if (prefix.IsEmpty()) {
        ReportDriverProblem(std::getenv("Prefix") != nullptr
                                ? "no host link: the environment variable \"Prefix\" is empty"
                                : "no host link: the environment variable \"Prefix\" is not set");
        return;
    }
    auto link = std::make_unique<CChildProcess>(prefix);
    if (!link->IsStarted()) {
        CString text;
        text.Format("no host link for prefix \"%s\": %s", prefix, link->GetStartError());
        if (IsDescriptorLimit(link->GetStartErrno())) {
            // The cause ends the start error already.
            ReportDriverProblem(text + " (the limit of open files leaves the driver too few to work); the driver ends");
            m_outOfDescriptors = true;
        } else {
            ReportDriverProblem(text);
        }
        return;
    }
    m_link = std::move(link);
    // The host made the link's objects in the folder that is there now.
    m_linkFolder = IpcFolderIdentity(Vok::Ipc::GetFolderPath());
}

CDrvBaseSocket::~CDrvBaseSocket() {
    m_output.reset();
    m_exitedOutput.reset();
    m_link.reset();
    m_obsDefs.RemoveAll();
    m_nodeDefs.RemoveAll();
    m_hdrList.RemoveAll();
    m_sysDefs.RemoveAll();
}

bool CDrvBaseSocket::ReadSettingsItem(IpcBufferHandle& settings, DWORD item, void* destination, DWORD size,
                                      bool exact) {
    CString problem;
    try {
        if (item > settings.buffer.GetBlockCount()) {
            problem.Format("settings item %u is missing; the driver keeps what it had", item);
        } else if (const DWORD recordSize = settings.buffer.GetRecordSize(item - 1); recordSize > size) {
            problem.Format("settings item %u holds a record of %u bytes, more than %u; the driver keeps what it had",
                           item, recordSize, size);
        } else if (settings.ReadRecord(item, 1, destination, size) == 0) {
            problem.Format("settings item %u holds no record; the driver keeps what it had", item);
        } else if (exact && recordSize < size) {
            // Used, but not without a word: the host wrote an older or a cut record.
            CString text;
            text.Format("settings item %u holds a record of %u bytes, fewer than %u; the rest is taken as zero", item,
                        recordSize, size);
            NoteItemProblem(text);
        }
    } catch (const std::exception& e) {
        problem.Format("settings item %u cannot be read (%s); the driver keeps what it had", item, e.what());
    }
    if (problem.IsEmpty()) return true;
    NoteItemProblem(problem);
    return false;
}

void CDrvBaseSocket::NoteItemProblem(const CString& text) {
    if (!m_itemLines.IsEmpty()) m_itemLines += '\n';
    m_itemLines += text;
}

void CDrvBaseSocket::SayItemProblems() {
    if (m_itemLines.IsEmpty()) {
        m_itemsProblem.End(CString());
    } else {
        m_itemsProblem.Begin(m_itemLines);
        m_itemLines.Empty();
    }
}

void CDrvBaseSocket::ReportRefusedList(IpcBufferHandle& settings, DWORD item, DWORD recordSize) {
    CString problem;
    try {
        const DWORD i = item - 1;
        if (item > settings.buffer.GetBlockCount()) {
            problem.Format("settings item %u is missing; its list is empty", item);
        } else if (recordSize != 0 && settings.buffer.GetRecordSize(i) != recordSize) {
            problem.Format("settings item %u holds records of %u bytes, not %u; its list is empty", item,
                           settings.buffer.GetRecordSize(i), recordSize);
        } else if (recordSize != 0 && settings.buffer.GetRecordCount(i) > settings.buffer.GetRecordCapacity(i)) {
            problem.Format("settings item %u counts %u records, more than the %u its block holds; its list is empty",
                           item, settings.buffer.GetRecordCount(i), settings.buffer.GetRecordCapacity(i));
        } else {
            problem.Format("settings item %u holds an image that does not fit its block; its list is empty", item);
        }
    } catch (const std::exception& e) {
        problem.Format("settings item %u cannot be read (%s); its list is empty", item, e.what());
    }
    NoteItemProblem(problem);
}

bool CDrvBaseSocket::ReadSettingsBuffer() {
    IpcBufferHandle* settings = m_link != nullptr ? m_link->GetSettings() : nullptr;
    if (settings == nullptr) return true;
    Vok::MultiIPCBuffer& buffer = settings->buffer;
    m_outputNameRefused = false;
    const CBufferHold hold(*settings, buffer.LockShared(COMMAND_READ_TIMEOUT_MS));
    if (!hold) {
        SaySettingsProblem(buffer.GetRefusal().empty() ? COMMAND_HELD : COMMAND_REFUSED);
        return false;
    }
    // A name cut to its item would open a buffer that the host never reads, and the host would
    // wait for updates for ever: the command is refused before anything changes.
    try {
        if (buffer.GetBlockCount() >= ITEM_OUTPUT_NAME &&
            buffer.GetRecordSize(ITEM_OUTPUT_NAME - 1) > OUTPUT_NAME_SIZE) {
            CString text;
            text.Format("settings item %u holds a record of %u bytes, more than %u: the output buffer's name has at "
                        "most %u characters and its terminating zero; the command is refused and not acknowledged",
                        static_cast<DWORD>(ITEM_OUTPUT_NAME), buffer.GetRecordSize(ITEM_OUTPUT_NAME - 1),
                        OUTPUT_NAME_SIZE, OUTPUT_NAME_SIZE - 1);
            ReportDriverProblem(text);
            m_outputNameRefused = true;
            return false;
        }
    } catch (const std::exception&) {
        // A block beyond the buffer is said when the item is read.
    }
    m_obsDefs.RemoveAll();
    m_nodeDefs.RemoveAll();
    m_hdrList.RemoveAll();
    m_sysDefs.RemoveAll();
    m_itemLines.Empty();
    // Nothing set up yet: nothing to read.
    if (buffer.GetBlockCount() == 0) {
        SayItemProblems();
        return true;
    }
    // The output buffer's name stays until a new one is read: a refused name must not make INIT
    // open a buffer of another name.

    // Read into a copy, so that a refused item leaves the record whole.
    sSysDef system = m_settings;
    if (ReadSettingsItem(*settings, ITEM_SYSTEM, &system, sizeof system, true)) m_settings = system;
    // Negated without overflow, whatever id the host wrote.
    m_timeRecord.lSystem = static_cast<int32_t>(0u - static_cast<uint32_t>(m_settings.sysId));

    BYTE name[OUTPUT_NAME_SIZE] = {};
    if (ReadSettingsItem(*settings, ITEM_OUTPUT_NAME, name, sizeof name, false))
        m_outputName = BoundedText(name, sizeof name);

    // Each reader appends all or nothing: a missing or malformed image leaves its list empty.
    if (m_obsDefs.ReadFromIpc(*settings, ITEM_OBSERVATIONS) == 0)
        ReportRefusedList(*settings, ITEM_OBSERVATIONS, sizeof(sObsDef));
    if (m_nodeDefs.ReadFromIpc(*settings, ITEM_NODES) == 0) ReportRefusedList(*settings, ITEM_NODES, sizeof(sNodeDef));
    if (m_hdrList.ReadFromIpc(*settings, ITEM_HEADERS) == 0) ReportRefusedList(*settings, ITEM_HEADERS, 0);
    if (m_sysDefs.ReadFromIpc(*settings, ITEM_SYSTEMS) == 0)
        ReportRefusedList(*settings, ITEM_SYSTEMS, sizeof(sSysDef));

    BYTE opaque[OPAQUE_RECORD_SIZE];
    if (ReadSettingsItem(*settings, ITEM_OPAQUE_RECORD, opaque, sizeof opaque, true))
        std::memcpy(m_opaqueRecord, opaque, sizeof opaque);
    int32_t value = 0;
    if (ReadSettingsItem(*settings, ITEM_OPAQUE_VALUE, &value, sizeof value, true)) m_opaqueValue = value;
    SayItemProblems();
    // What was read beyond the end of a file cut short meanwhile was zeros: read again.
    if (!buffer.IsIntact()) {
        SaySettingsProblem(COMMAND_REFUSED);
        return false;
    }
    return true;
}

void CDrvBaseSocket::SaySettingsProblem(eCommandRead result) {
    const CString name = m_link != nullptr ? m_link->GetPrefix() + "_SETTINGS" : CString("?");
    CString text;
    if (result == COMMAND_READ) {
        text.Format("the settings buffer \"%s\" can be read again", name);
        m_settingsProblem.End(text);
        return;
    }
    if (result == COMMAND_HELD) {
        text.Format("another process holds the settings buffer \"%s\" (more than %u ms); the command is not "
                    "acknowledged until it is read",
                    name, COMMAND_READ_TIMEOUT_MS);
    } else {
        const IpcBufferHandle* settings = m_link != nullptr ? m_link->GetSettings() : nullptr;
        text.Format("the settings buffer \"%s\" is refused (%s); the command is not acknowledged until it is read",
                    name, settings != nullptr ? settings->buffer.GetRefusal() : std::string("not open"));
    }
    m_settingsProblem.Begin(text);
}

void CDrvBaseSocket::ReadStringSettings() {
    IpcBufferHandle* settings = m_link != nullptr ? m_link->GetSettings() : nullptr;
    if (settings == nullptr) return;
    const CBufferHold hold(*settings);
    if (hold) ReadStringSettings(*settings);
}

void CDrvBaseSocket::ReadStringSettings(IpcBufferHandle& settings) {
    static constexpr struct {
        DWORD block;  // from 0
        int text;
    } kItems[] = {{27, 1}, {30, 2}, {23, 6}};
    for (const auto& item : kItems) {
        try {
            if (item.block >= settings.buffer.GetBlockCount() || settings.buffer.GetRecordCount(item.block) == 0)
                continue;
            m_strSettings[item.text] =
                BoundedText(settings.buffer.GetConstBlockData(item.block), settings.buffer.GetBlockSize(item.block));
        } catch (const std::exception&) {
            // A block that does not lie within the buffer has no text.
        }
    }
}

std::unique_ptr<IpcBufferHandle> CDrvBaseSocket::CreateIOBuffer() {
    // A folder renamed or removed since the host made the link is made anew by the opening, with a
    // buffer in it that the host does not hold.
    const std::string folderPath = Vok::Ipc::GetFolderPath();
    CString text;
    if (m_linkFolder == sFolderIdentity{} || IpcFolderIdentity(folderPath) == m_linkFolder) {
        m_folderProblem.End("the IPC folder " + CString(folderPath.c_str()) + " is the host's again");
    } else {
        text.Format("the IPC folder %s is not the one the host made the link in (renamed or removed since): the "
                    "output buffer \"%s\" is opened in a folder made anew, which the host does not hold",
                    folderPath, m_outputName);
        m_folderProblem.Begin(text);
    }
    try {
        auto output = std::make_unique<IpcBufferHandle>(m_outputName, 1, OUTPUT_WAIT_MS);
        // The datagram's hold then reads no file size; the run loop polls the watch.
        output->buffer.WatchFileSizes();
        return output;
    } catch (const std::exception& e) {
        CString text;
        text.Format("the output buffer \"%s\" cannot be opened", m_outputName);
        if (!EndForDescriptors(text, e)) ReportDriverProblem(text + ": " + e.what());
        return nullptr;
    }
}

int CDrvBaseSocket::OnCmdInit() {
    m_output.reset();
    if (m_outputName.IsEmpty()) {
        ReportDriverProblem("the settings name no output buffer; the driver writes no records until they do");
    } else {
        m_output = CreateIOBuffer();
    }
    if (m_output != nullptr) {
        // An opening that waited for the lock in vain is not followed by a second wait.
        if (m_output->buffer.WasOpenedWithoutHold()) m_outputWaitedInVain = true;
        const CBufferHold hold(*m_output, LockOutput(false));
        if (hold) {
            try {
                m_timeBlock = m_output->buffer.AddBlock(TIME_BLOCK_TYPE, sizeof(TimeBlockRecord),
                                                        sizeof(TimeBlockRecord)) + 1;
            } catch (const std::exception& e) {
                CString text;
                text.Format("no time block could be added to the output buffer \"%s\"", m_outputName);
                if (!EndForDescriptors(text, e)) ReportDriverProblem(text + ": " + e.what());
            }
        }
    }
    // Without the buffer the host named, the driver cannot do what INIT asks.
    if (m_outOfDescriptors) return 0;
    m_initialised = 1;
    return 1;
}

void CDrvBaseSocket::OnCmdExit() {
    // Closed at the driver's end, with the link: a host that dies after its EXIT may still hold the
    // buffer's files while the kernel tears it down, and only that end waits for it to let go.
    m_exitedOutput = std::move(m_output);
}

int CDrvBaseSocket::IsUpdateDue() {
    const CVOKTime receipt(SystemTimeToMjdTime(m_stReceiptTime));
    const CVOKTime lastSent(SystemTimeToMjdTime(m_stLastSentTime));
    if (ReachesUpdateInterval(receipt - lastSent)) {
        m_stLastSentTime = m_stReceiptTime;
        return 1;
    }
    return 0;
}

double CDrvBaseSocket::GetUpdateInterval() const { return FiniteOrZero(m_settings.interval); }

double CDrvBaseSocket::GetTimeOffset() const { return FiniteOrZero(m_settings.timeOffset); }

bool CDrvBaseSocket::ReachesUpdateInterval(double elapsedSeconds) const {
    if (!std::isfinite(elapsedSeconds)) return false;
    // The interval's milliseconds are worked out again only when the settings change it.
    uint32_t bits = 0;
    std::memcpy(&bits, &m_settings.interval, sizeof bits);
    if (bits != m_intervalBits || !m_intervalKnown) {
        m_intervalMs = std::round(GetUpdateInterval() * 1000.0);
        m_intervalBits = bits;
        m_intervalKnown = true;
    }
    // round (x) >= m for a whole m, without the call: rounding half away from zero reaches m from
    // m - 0.5 on when m is positive, and only beyond m - 0.5 otherwise.
    const double x = elapsedSeconds * 1000.0;
    return m_intervalMs >= 1.0 ? x >= m_intervalMs - 0.5 : x > m_intervalMs - 0.5;
}

bool CDrvBaseSocket::LockOutput(bool forDatagram) {
    if (m_output == nullptr) return false;
    if (forDatagram && m_droppedSerial == m_datagramSerial) return false;
    if (m_output->Lock(!forDatagram && m_outputWaitedInVain ? 0 : OUTPUT_WAIT_MS)) {
        if (m_outputProblem.IsOpen()) {
            CString text;
            text.Format("the output buffer \"%s\" is usable again; the records of %u datagrams were dropped", m_outputName,
                        m_droppedDatagrams);
            // The count goes on while this end is not said and another episode takes its place.
            m_outputProblem.End(text);
        }
        return true;
    }
    if (!forDatagram && m_output->buffer.GetRefusal().empty()) m_outputWaitedInVain = true;
    RefuseOutput(forDatagram);
    return false;
}

bool CDrvBaseSocket::IsDescriptorLimit(int error) { return error == EMFILE || error == ENFILE; }

int CDrvBaseSocket::SystemErrorOf(const std::exception& e) {
    if (const int error = Vok::Posix::ErrorOf(e); error != 0) return error;
    if (const auto* resize = dynamic_cast<const Vok::IpcBuffer::ResizeError*>(&e)) return resize->GetSystemError();
    return 0;
}

void CDrvBaseSocket::EndForDescriptors(const CString& what, int error) {
    CString text;
    text.Format("%s: %s (the limit of open files leaves the driver too few to work); the driver ends", what,
                GetSystemErrorText(static_cast<uint32_t>(error), true));
    ReportDriverProblem(text);
    m_outOfDescriptors = true;
}

bool CDrvBaseSocket::EndForDescriptors(const CString& what, const std::exception& e) {
    const int error = SystemErrorOf(e);
    if (!IsDescriptorLimit(error)) return false;
    EndForDescriptors(what, error);
    return true;
}

void CDrvBaseSocket::RefuseOutput(bool forDatagram) {
    const std::string& refusal = m_output->buffer.GetRefusal();
    // A generation that cannot be mapped for the limit of open files never can be: records would be
    // dropped for ever.
    if (IsDescriptorLimit(m_output->buffer.GetRefusalError())) {
        CString text;
        text.Format("the output buffer \"%s\" cannot be held", m_outputName);
        EndForDescriptors(text, m_output->buffer.GetRefusalError());
        return;
    }
    CString problem;
    if (refusal.empty()) {
        problem.Format("the output buffer \"%s\" stayed locked for %u ms; records are dropped until it is free",
                       m_outputName, OUTPUT_WAIT_MS);
    } else {
        problem.Format("the output buffer \"%s\" is refused (%s); records are dropped", m_outputName, refusal);
    }
    if (m_outputProblem.Begin(problem)) m_droppedDatagrams = 0;
    if (forDatagram && m_droppedSerial != m_datagramSerial) {
        m_droppedSerial = m_datagramSerial;
        ++m_droppedDatagrams;
    }
}

CDrvBaseSocket::COutputHold::COutputHold(CDrvBaseSocket& driver) : m_driver(driver) { ++m_driver.m_holdDepth; }

CDrvBaseSocket::COutputHold::~COutputHold() {
    if (--m_driver.m_holdDepth > 0) return;
    if (m_driver.m_holdState > 0) {
        // What met the end of a file that another process cut short meanwhile was written nowhere.
        if (!m_driver.m_output->buffer.IsIntact()) {
            ++m_driver.m_refusedHolds;
            m_driver.RefuseOutput(true);
        }
        m_driver.m_output->Unlock();
    }
    m_driver.m_holdState = 0;
}

IpcBufferHandle* CDrvBaseSocket::HoldOutput() {
    if (m_holdState == 0) m_holdState = m_output != nullptr && LockOutput(true) ? 1 : -1;
    return m_holdState > 0 ? m_output.get() : nullptr;
}

void CDrvBaseSocket::StampDatagram(const timespec* arrival) {
    ++m_datagramSerial;
    // The PPS library's clock is the system clock in UTC: one reading gives both times, and the
    // time tags of the datagram's positions. It is taken at the arrival: a datagram that waited in
    // the socket (the driver stopped, or starved of CPU) keeps its own time.
    m_clockReading = arrival != nullptr ? ReadPpsClockAt(*arrival) : ReadPpsClock();
    m_clockTime = PpsTimeOf(m_clockReading);
    m_clockSerial = m_datagramSerial;
    m_stPpsTime = m_clockTime;
    m_stReceiptTime = m_stPpsTime;
    m_receiptStamp = SystemTimeToMjdTime(m_stReceiptTime);
}

void CDrvBaseSocket::SayTimeStep(eTimeOrder order, double step) {
    static const char* const kTexts[TIME_ORDER_COUNT][3] = {
        {"heading", "the newest in the heading ring", "the ring"},
        {"position time", "the last time tag", "the time-tag record"}};
    const char* const* text = kTexts[order];
    CString line;
    line.Format("a %s %.3f s before %s (a clock set back, or a time of another day): %s starts again from it",
                text[0], step, text[1], text[2]);
    // Each restart is an episode of its own: one that the limit holds back is said when it allows,
    // unless the next replaces it first (then it is counted).
    m_timeStepProblems[order].End("");
    m_timeStepProblems[order].Begin(line);
}

void CDrvBaseSocket::GetDatagramPpsTimes(SYSTEMTIME* pulse, int64_t* pulseCounter, int64_t* nowCounter,
                                         SYSTEMTIME* now) const {
    if (m_clockSerial == m_datagramSerial) {
        GetPpsTimeExAt(m_clockReading, m_clockTime, pulse, pulseCounter, nowCounter, now);
    } else {
        GetPpsTimeEx(pulse, pulseCounter, nowCounter, now);
    }
}

void CDrvBaseSocket::ApplyTimeOffset() {
    // Always from the datagram's own time: a second heading of the same datagram must not move
    // the update's time once more, and one after a position that put the update's time on its
    // own time of day takes the datagram's time again, whatever the offset.
    const double offset = GetTimeOffset();
    if (offset == 0.0) {
        m_stPpsTime = m_stDatagramTime;
        return;
    }
    CVOKTime t(SystemTimeToMjdTime(m_stDatagramTime));
    t -= offset;
    m_stPpsTime = TimeToSystemTime(t);
}

int CDrvBaseSocket::DecodeTimeTag() {
    const DWORD type = m_settings.timeTagType;
    if (type != TIMETAG_NONE) {
        const C3RdPartyTimeTagDecoder decoder(type, 1);
        SYSTEMTIME tagTime = m_stPpsTime;
        DWORD length = m_receivedLength;
        if (!decoder.DecodeTimeTag(tagTime, m_receiveBuffer.get(), length)) {
            DebugTrace("E: %s time tag of type %u not decoded\n", "CDrvBaseSocket::DecodeTimeTag", type);
            return 0;
        }
        m_receivedLength = length;
        if (m_settings.timeSource == 4) m_stPpsTime = tagTime;
        if (length == 0) return 0;
    }
    m_stDatagramTime = m_stPpsTime;
    return 1;
}

bool CDrvBaseSocket::IsOwnBlock(DWORD block, DWORD type, DWORD recordSize) {
    if (m_output == nullptr || block == 0) return false;
    Vok::MultiIPCBuffer& buffer = m_output->buffer;
    try {
        return block <= buffer.GetBlockCount() && buffer.GetBlockId(block - 1) == type &&
               buffer.GetRecordSize(block - 1) == recordSize;
    } catch (const std::exception&) {
        return false;
    }
}

bool CDrvBaseSocket::IsWritableBlock(DWORD block, DWORD type, DWORD recordSize) {
    return IsOwnBlock(block, type, recordSize) || RefuseBlock(block, type, recordSize);
}

bool CDrvBaseSocket::RefuseBlock(DWORD block, DWORD type, DWORD recordSize) {
    // A file cut short reads as zeros: that is said as such when the hold ends.
    if (!m_output->buffer.IsIntact()) return false;
    m_blocksRefusedSerial = m_datagramSerial;
    // Once per episode, whichever of the blocks it meets first.
    if (m_blocksProblem.IsOpen()) return false;
    CString text;
    text.Format("the output buffer \"%s\" no longer holds block %u as this driver added it (type %u, records of %u "
                "bytes): another process changed its descriptors; its records are dropped",
                m_outputName, block, type, recordSize);
    m_blocksProblem.Begin(text);
    return false;
}

void CDrvBaseSocket::EndRefusedBlocks() {
    if (m_blocksProblem.IsOpen() && m_blocksRefusedSerial != m_datagramSerial)
        m_blocksProblem.End("the output buffer \"" + m_outputName + "\" takes records again");
}

int CDrvBaseSocket::WriteTimeBlock() {
    if (m_output == nullptr || m_timeBlock == 0) return 0;
    const COutputHold hold(*this);
    if (HoldOutput() == nullptr) return 0;
    m_timeRecord.stTime = m_stPpsTime;
    // Whether it reached the file is asked once, when the hold ends.
    return WriteSoleRecord(m_timeBlock, TIME_BLOCK_TYPE, &m_timeRecord, sizeof m_timeRecord) ? 1 : 0;
}

bool CDrvBaseSocket::WriteSoleRecord(DWORD block, DWORD type, const void* record, DWORD size) {
    Vok::MultiIPCBuffer& buffer = m_output->buffer;
    try {
        // Block 0 becomes an index beyond any count, which is refused as such.
        const Vok::MultiIPCBuffer::sBlockView view = buffer.LoadBlock(block - 1);
        if (view.descriptor.id != type || view.descriptor.recordSize != size) return RefuseBlock(block, type, size);
        // A block too small for one record holds none.
        if (view.descriptor.size < size) return false;
        std::memcpy(view.bytes, record, size);
        // Counted as a record write counts: twice.
        buffer.CompleteBlockWrite(view, 2, m_receiptStamp, 1);
        return true;
    } catch (const std::exception&) {
        return RefuseBlock(block, type, size);
    }
}

bool CDrvBaseSocket::IsHoldIntact() { return m_holdState <= 0 || m_output->buffer.IsIntact(); }

void CDrvBaseSocket::SignalUpdate() {
    if (m_link == nullptr) return;
    SayEventProblem(EVT_UPDATE_READY, m_link->SetEvents(EVT_UPDATE_READY, EVT_TRIGGER_DSP) != 0);
}

void CDrvBaseSocket::SayEventProblem(int index, bool usable) {
    if (m_link == nullptr || index < 0 || index >= IPC_EVENT_COUNT) return;
    CProblemEpisode& episode = m_eventProblems[index];
    CString text;
    if (usable) {
        if (!episode.IsOpen()) return;
        text.Format("the event %s of the host link \"%s\" is usable again", CChildProcess::EventToText(index),
                    m_link->GetPrefix());
        episode.End(text);
        return;
    }
    text.Format("the event %s of the host link \"%s\" is refused: its file is cut short or damaged; %s until it is "
                "whole",
                CChildProcess::EventToText(index), m_link->GetPrefix(),
                index == EVT_NEW_SETTINGS ? "commands are not seen" : "updates are not announced");
    episode.Begin(text);
}

void CDrvBaseSocket::SayDueProblems() {
    m_settingsProblem.SayDue();
    m_itemsProblem.SayDue();
    m_blocksProblem.SayDue();
    m_folderProblem.SayDue();
    for (CProblemEpisode& episode : m_timeStepProblems) episode.SayDue();
    for (CProblemEpisode& episode : m_eventProblems) episode.SayDue();
    m_outputProblem.SayDue();
}

int CDrvBaseSocket::GetMsUntilProblemDue() const {
    int first = -1;
    const auto take = [&first](const CProblemEpisode& episode) {
        const int ms = episode.GetMsUntilDue();
        if (ms >= 0 && (first < 0 || ms < first)) first = ms;
    };
    take(m_settingsProblem);
    take(m_itemsProblem);
    take(m_blocksProblem);
    take(m_folderProblem);
    for (const CProblemEpisode& episode : m_timeStepProblems) take(episode);
    for (const CProblemEpisode& episode : m_eventProblems) take(episode);
    take(m_outputProblem);
    return first;
}

void CDrvBaseSocket::SetReceiveBufferSize(DWORD n) {
    m_receiveBuffer.reset();
    if (n > 0) m_receiveBuffer = std::make_unique<BYTE[]>(n);  // value-initialised: zero
    m_receiveBufferSize = n;
    if (m_receivedLength > n) m_receivedLength = n;
}
