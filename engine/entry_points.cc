// The C entry points exported by libfetchwell.so.
#include <cstring>

#include "engine/interface/error_info.h"
#include "engine/interface/factory.h"
#include "engine/interface/fetchwell.h"
#include "engine/version.h"

#define FW_EXPORT __attribute__((visibility("default")))

extern "C" {

FW_EXPORT fw::HRESULT FetchwellCreateInstance(const char* prog_id, fw::IDizoziz** out) {
    return fw::CreateDizoziz(prog_id, out);
}

FW_EXPORT fw::HRESULT FetchwellGetErrorInfo(std::string* description, std::string* source) {
    return fw::TakeErrorInfo(description, source) ? fw::S_OK : fw::S_FALSE;
}

FW_EXPORT const char* FetchwellVersion() { return FW_VERSION_STRING; }

}
