// What osdctl reads from the Windows registry: the COM ports the system has, and the settings
// an older installation kept under HKEY_LOCAL_MACHINE.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace osd::win {

// The numbers of the system's COM ports, rising: the values under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, the DOS device names COMn and, under Wine,
// the comN links of the prefix's dosdevices folder.
std::vector<int> comPorts();

// The values under HKEY_LOCAL_MACHINE\SOFTWARE\Norvo\<appKey>\<section> as text: those of the
// 64-bit registry view, and where a value is absent there, the 32-bit view's (WOW6432Node).
// Strings as they are, numbers in decimal; other kinds are left out.
std::map<std::string, std::string> machineSettings(const std::string& appKey,
                                                   const std::string& section);

}  // namespace osd::win
