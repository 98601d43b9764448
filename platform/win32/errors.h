// Turning Windows error numbers into platform::Failure.
#pragma once

#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace platform::win32 {

// The system's description of an error number, without its line end.
std::wstring DescribeError(DWORD number);

// A failure for the given error number, with the system's description.
Failure FailureOf(DWORD number);

// A failure for the error the last failed call left; read it at once.
Failure LastFailure();

}  // namespace platform::win32
