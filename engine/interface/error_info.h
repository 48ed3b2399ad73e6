// Per-thread error information: the message of the last failed member call on
// this thread, read and cleared by the caller (FetchwellGetErrorInfo).
#pragma once

#include <string>
#include <string_view>

#include "engine/interface/com.h"

namespace fw {

// Records `description` (source "Fetchwell.Dizoziz.1") for the calling thread
// and returns DISP_E_EXCEPTION, so members can `return ReportError("...")`.
HRESULT ReportError(std::string_view description);

// Records error information with a result of the caller's choice.
HRESULT ReportErrorWith(HRESULT result, std::string_view description);

// Reads and clears the calling thread's record; false when there is none.
bool TakeErrorInfo(std::string* description, std::string* source);

}  // namespace fw
