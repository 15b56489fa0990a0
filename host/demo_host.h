// A host of the driver as a survey application would be: it defines one system with position,
// heading, rate-of-turn and time-tag observations, starts `pelorad` on a UDP port, sends INIT and
// SETTINGS, and after each update reads the records back from the output buffer. The demo
// (run_host) and the end-to-end benchmark use it; it goes through the test host only.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>

#include "driver/result_records.h"
#include "host/test_host.h"

namespace Vok::Test {

// A folder of its own for the named objects: made under $TMPDIR, else /dev/shm, else /tmp, and
// named by VOK_IPC_DIR for this process and the driver it starts. Call it before any named object
// exists. The destructor removes whatever is left in it (saying so on standard error) and the
// folder. A process of its own removes them when this process is killed before it could: once the
// driver has removed its own files, or after 3 s.
class CPrivateIpcFolder {
public:
    CPrivateIpcFolder();
    ~CPrivateIpcFolder();
    CPrivateIpcFolder(const CPrivateIpcFolder&) = delete;
    CPrivateIpcFolder& operator=(const CPrivateIpcFolder&) = delete;

    // Empty when no folder could be made.
    const std::string& GetPath() const { return m_path; }

private:
    std::string m_path;
    int m_cleanerPipe = -1;  // its end closes with this process, whichever way it ends
    pid_t m_cleaner = -1;
};

// The first of these paths, relative to the folder of the running program and then to each folder
// above it, that names an existing file; empty when none does.
std::string FindNearProgram(const std::string& relativePath);

// The records of one update. A record that the driver has not written yet is absent.
struct sDemoRecords {
    std::optional<SYSTEMTIME> updateTime;  // the time block's
    std::optional<PosRecord> position;
    std::optional<NavRecord> heading;
    std::optional<RotRecord> rateOfTurn;
    std::optional<TimetagRecord> timeTag;
    // When each was written: the time of receipt (seconds since 1970) of the datagram that wrote
    // it, which the buffer stamps on its block. The records' own times may be a receiver's time of
    // day, whatever the day of the recording; these are all of one clock.
    std::optional<double> updateReceived, positionReceived, headingReceived, rateReceived;
};

// How long after its datagram a record's value is shown as current.
constexpr double kCurrentSeconds = 2.0;

// "YYYY-MM-DD hh:mm:ss.mmm  lat ...  lon ...  h ... m  q ..  hdg ...  rot ... deg/min", with "-"
// for what is absent and for what the driver marks invalid: latitude, longitude and height of a
// fix of quality 0 or below, a height of exactly 0 (none in the sentence), a heading or a rate of
// turn whose status is negative; and for a record written more than kCurrentSeconds before the
// update (a sensor that fell silent): position, height and quality together, heading, rate of turn.
std::string FormatRecordLine(const sDemoRecords& records);

class CDemoHost {
public:
    // The system id of the driver's definition and of every observation.
    static constexpr int32_t kSystemId = 1;

    // Starts the driver program with its arguments, listening on port, the driver's standard
    // error to standardErrorPath (empty: this process's). With timeTagType 4 the driver takes the
    // 16-byte time tag in front of each datagram as the update's time.
    CDemoHost(const std::string& driverCommandLine, UINT port, const std::string& standardErrorPath = {},
              DWORD timeTagType = 0);
    ~CDemoHost();
    CDemoHost(const CDemoHost&) = delete;
    CDemoHost& operator=(const CDemoHost&) = delete;

    // Publishes the settings and sends INIT and SETTINGS; false, with the reason in GetError,
    // when the driver did not start or did not acknowledge.
    bool Start();
    const std::string& GetError() const { return m_error; }
    DWORD GetDriverProcessId() { return m_host.Link().GetProcessId(); }
    UINT GetPort() const { return m_port; }

    // Writes a command and waits up to timeoutMs for its acknowledgement.
    bool SendCommand(DWORD code, DWORD timeoutMs = 5000) { return m_host.SendCommand(code, timeoutMs); }
    // Waits up to timeoutMs for the driver's update events and resets them.
    bool WaitForUpdate(DWORD timeoutMs) { return m_host.WaitForUpdate(timeoutMs); }
    // Reads the records under one hold of the output buffer.
    sDemoRecords Read();

    // Sends EXIT and waits for the driver to end; the driver's exit code, or nothing when it did
    // not end (it is killed when this object goes).
    std::optional<int> Exit(DWORD timeoutMs = 5000);
    // The driver's exit code (128 + the signal that ended it) once it has ended; nothing while it
    // runs. Does not wait.
    std::optional<int> Ended() { return m_host.WaitForExit(0); }

private:
    // Finds the blocks that the driver added to the output buffer.
    void FindResultBlocks();

    CTestHost m_host;
    UINT m_port;
    DWORD m_timeTagType;
    std::string m_outputName;
    std::unique_ptr<IpcBufferHandle> m_output;
    DWORD m_timeBlock = 0, m_positionBlock = 0, m_headingBlock = 0, m_rateBlock = 0, m_timeTagBlock = 0;
    std::string m_error;
};

}  // namespace Vok::Test
