#include "engine/interface/error_info.h"

#include <optional>

#include "engine/interface/fetchwell.h"

namespace fw {
namespace {

struct ErrorRecord {
    std::string description;
    std::string source;
};
thread_local std::optional<ErrorRecord> t_error;

}  // namespace

HRESULT ReportErrorWith(HRESULT result, std::string_view description) {
    t_error = ErrorRecord{std::string(description), kProgIdVersioned};
    return result;
}

HRESULT ReportError(std::string_view description) {
    return ReportErrorWith(DISP_E_EXCEPTION, description);
}

bool TakeErrorInfo(std::string* description, std::string* source) {
    if (!t_error) return false;
    if (description) *description = std::move(t_error->description);
    if (source) *source = std::move(t_error->source);
    t_error.reset();
    return true;
}

}  // namespace fw
