// The driver process: a console child of a host application, started with "Prefix" in its
// environment. Arguments: "NOCS" (no checksum test), "NOTH" (headings never close an update),
// "CS" (nothing), anything else the decoding mode as a decimal number.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "compat/debug_output.h"
#include "driver/host_watch.h"
#include "driver/pelorad.h"

namespace {

// Standard error stands in for the debugger: what the driver reports there is seen by whoever
// started it.
void WriteToStandardError(const char* text) {
    std::fputs(text, stderr);
    std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
    Vok::SetDebugOutputListener(&WriteToStandardError);
    // Before anything else: a driver whose host has gone would hold its port and files for ever.
    if (!StartHostWatch()) {
        ReportDriverProblem("the host that started the driver is gone; the driver ends");
        return 1;
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
            mode = std::atoi(argv[i]);
        }
    }
    const std::unique_ptr<CPelorad> driver = std::make_unique<CPelorad>(checksum, headingTrigger, mode);
    // Without its host the driver has nothing to do; it has said why.
    if (!driver->IsLinkOpen()) return 1;
    driver->Run();
    // The loop has said why it ended without EXIT.
    return driver->HasLostHost() ? 1 : 0;
}
