// Text between the programs (narrow strings in the system's code page, as the command line and
// the environment give them) and the wide-character Win32 calls. Windows only.
#pragma once

#include <string>

namespace osd::win {

std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);
// The system's one-line description of a Win32 error code.
std::string systemMessage(unsigned long code);

}  // namespace osd::win
