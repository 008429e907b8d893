#pragma once

#include "harvest/ErrorCodes.h"

namespace platform {

// The Windows code of an errno, as the Windows build reports the same failure (a path that is not
// there as the loader's "module not found"); otherwise for an errno it has no word for.
ErrorCode FromErrno(int error, ErrorCode otherwise);

} // namespace platform
