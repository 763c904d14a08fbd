#pragma once

#include "foundation/CXResultCode.h"

// The result code of a failed host call. The errno value is turned into the Win32 error that the
// same call reports on Windows and mapped from there, so each call site gives the code the rest
// of the program expects of it; an errno with no Win32 counterpart goes through the POSIX table.
CXResultCode CXResultFromHostError(int error);
