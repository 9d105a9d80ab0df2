// Each form of a Windows condition the check finds; _WIN32 in a comment is none.
#ifdef _WIN32
#endif
#  if defined(_WIN32) && !defined(NDEBUG)
#  endif
#ifndef WIN32
#elif defined (_WIN64)
#endif
#if defined(NDEBUG) || \
    defined(__MINGW32__)
#endif
#if _MSC_VER > 1900
#endif
#if defined(Q_OS_WINDOWS)
#endif
#include "win32_names.h"
#if defined(NDEBUG)
const char* kText = "#ifdef _WIN32";
#endif
