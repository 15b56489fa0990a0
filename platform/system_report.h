// The two parts of the system report, gathered from what Linux provides in place of the reports
// of dxdiag and msinfo32. Each part is a text of titled paragraphs, one for each source that gave
// something; empty when no source did.
#pragma once

#include <string>

namespace Vok::SystemReport {

// The display and the graphics devices: the session's display variables, the kernel's display
// devices and their outputs (/sys/class/drm), and, where installed, the display devices that lspci
// lists and the OpenGL summary of glxinfo.
std::string GraphicsPart();
// The system: the operating system (/etc/os-release), the kernel, the host name, the processors,
// the memory, the disks, and, where installed, the hardware list of lshw.
std::string SystemInformationPart();

}  // namespace Vok::SystemReport
