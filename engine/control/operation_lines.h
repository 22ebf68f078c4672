// Control lines 11 and 15 and register 0x60 bit 0 frame every operation
// that moves the carriage or scans: raised at its start, lowered at its end.
#pragma once

#include "engine/api/status_codes.h"

namespace zrt {

class Controller;

// Lines 11 and 15 and register 0x60 bit 0 := 1. False when the operation
// must end here, with `result` its status: a failed line write ends it
// quietly (status 0), a failed register 0x60 write with 0x9B08.
bool RaiseOperationLines(Controller& device, StatusCode& result);

// Whether a failed write of line 11, the last one lowered, ends the
// operation quietly or is ignored.
enum class LastLine { Required, Ignored };

// The same in reverse order (line 15, register 0x60, line 11).
bool LowerOperationLines(Controller& device, StatusCode& result, LastLine last);

}  // namespace zrt
