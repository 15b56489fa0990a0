// The driver process: a console child of a host application, started with "Prefix" in its
// environment. Arguments: "NOCS" (no checksum test), "NOTH" (headings never close an update),
// "CS" (nothing), anything else the decoding mode as a decimal number.
#include <signal.h>

#include <cctype>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "compat/debug_output.h"
#include "driver/host_watch.h"
#include "driver/pelorad.h"
#include "foundation/error_text.h"
#include "platform/ipc_event.h"
#include "platform/log.h"
#include "platform/named_object.h"

namespace {

// How long the driver's end waits at most, over all the link's files, for a dead host to let go of them.
constexpr std::chrono::milliseconds HOST_FILES_WAIT{1000};
// The limit of open files left the driver too few descriptors to work (said on standard error).
constexpr int EXIT_OUT_OF_DESCRIPTORS = 3;

// Standard error stands in for the debugger: what the driver reports there is seen by whoever
// started it. A standard error that nobody reads any more fails the write (SIGPIPE is ignored),
// and the driver goes on.
void WriteToStandardError(const char* text) {
    std::fputs(text, stderr);
    std::fflush(stderr);
    std::clearerr(stderr);
}

// What came and what became of it, said at the end so that a host can tell "nothing came" from
// "nothing was decoded", and why.
void SayCounts(const CPelorad& driver) {
    const sSentenceCounts& c = driver.GetSentenceCounts();
    CString text;
    text.Format("%llu datagrams received; sentences: %llu decoded, %llu not used, %llu with a wrong checksum, %llu "
                "without a checksum, %llu of a format it does not decode; outlier times refused: %llu headings, %llu "
                "positions for the time tags",
                static_cast<unsigned long long>(driver.GetDatagramsReceived()),
                static_cast<unsigned long long>(c.decoded), static_cast<unsigned long long>(c.unused),
                static_cast<unsigned long long>(c.wrongChecksum), static_cast<unsigned long long>(c.missingChecksum),
                static_cast<unsigned long long>(c.unknownFormat),
                static_cast<unsigned long long>(driver.GetRefusedHeadingTimes()),
                static_cast<unsigned long long>(driver.GetRefusedTagTimes()));
    ZLog::Write(0, ZLog::Info, "pelorad: " + text.Str());
}

// The decoding mode of an argument that is no keyword, read as atoi reads it (0 for a word; int's own
// wrap beyond its range, without atoi's undefined overflow). Anything but a decimal number is said:
// a slip such as "NOHT" for "NOTH" would otherwise change the heights without a word.
int ReadMode(const char* argument) {
    char* end = nullptr;
    const long long value = std::strtoll(argument, &end, 10);
    const int mode = static_cast<int>(static_cast<unsigned long long>(value));
    const bool number = end != argument && *end == '\0' && value >= INT_MIN && value <= INT_MAX &&
                        std::isspace(static_cast<unsigned char>(argument[0])) == 0;
    if (!number) {
        CString text;
        text.Format("the argument \"%s\" is neither NOCS, NOTH, CS nor a decimal number: it sets the decoding mode "
                    "to %d",
                    argument, mode);
        ReportDriverProblem(text);
    }
    return mode;
}

// Asked for by a person, not by a host, which never passes these.
bool AsksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

constexpr const char* kHelp =
    "pelorad: the NMEA 0183 driver of a survey data-acquisition suite. It receives sentences over UDP,\n"
    "decodes position, quality, heading, rate of turn and time, and writes time-tagged records into a\n"
    "named shared-memory buffer that its host reads.\n"
    "\n"
    "It is not run by hand: a host application starts it with the environment variable \"Prefix\" naming\n"
    "the host link (a settings buffer and six events that the host has made) and drives it with commands.\n"
    "Arguments: NOCS (no checksum test), NOTH (headings never close an update), CS (nothing), or the\n"
    "decoding mode as a number (3 when none is given).\n"
    "\n"
    "To see it at work: scripts/run. How a host talks to it: README.md, \"How a host talks to the driver\".\n";

}  // namespace

int main(int argc, char** argv) {
    if (AsksForHelp(argc, argv)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    Vok::SetDebugOutputListener(&WriteToStandardError);
    ::signal(SIGPIPE, SIG_IGN);
    // Before anything else: a driver whose host has gone would hold its port and files for ever.
    if (!StartHostWatch()) {
        ReportDriverProblem("the host that started the driver is gone; the driver ends");
        return 1;
    }
    // Chosen before any thread starts; said when it is not the usual one, since it takes a signal.
    int refusal = 0;
    if (!CIpcEventWatch::WaitsOnTwoWords(&refusal)) {
        CString text;
        text.Format("futex_waitv is not available (%s); the command watch sleeps on its event alone and is "
                    "ended by signal %d",
                    GetSystemErrorText(static_cast<uint32_t>(refusal), true).Str().c_str(), CIpcEventWatch::GetCancelSignal());
        ZLog::Write(0, ZLog::Info, "pelorad: " + text.Str());
    }
    DWORD checksum = 1;
    DWORD headingTrigger = 1;
    int mode = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "NOTH") == 0) {
            headingTrigger = 0;
        } else if (std::strcmp(argv[i], "NOCS") == 0) {
            checksum = 0;
        } else if (std::strcmp(argv[i], "CS") != 0) {
            mode = ReadMode(argv[i]);
        }
    }
    const std::unique_ptr<CPelorad> driver = std::make_unique<CPelorad>(checksum, headingTrigger, mode);
    // Without its host the driver has nothing to do; it has said why.
    if (!driver->IsLinkOpen()) return driver->IsOutOfDescriptors() ? EXIT_OUT_OF_DESCRIPTORS : 1;
    driver->Run();
    SayCounts(*driver);
    // A host killed with SIGKILL tells of its death when its launching thread has ended, maybe before
    // its other threads have let go of the link's files, and one that dies after its EXIT holds them
    // until late in its end: the driver, last to hold them, waits a moment for them so that it still
    // removes them. Asked again last of all, for a host whose end began since.
    if (driver->MayHaveLostHost() || MayHostBeGone())
        Vok::Ipc::WaitForOtherHoldersUntil(std::chrono::steady_clock::now() + HOST_FILES_WAIT);
    // The loop has said why it ended without EXIT.
    if (driver->IsOutOfDescriptors()) return EXIT_OUT_OF_DESCRIPTORS;
    return driver->HasLostHost() ? 1 : 0;
}
