// The system's own words for an error code.
#pragma once

#include "Win32.h"

#include <string>

namespace fw {

// The system's text for `error` (from GetLastError), such as "Access denied.", without its line
// end; "error <number>" when the system has none.
std::string SystemErrorText(DWORD error);

} // namespace fw
