#include "app/core/engine_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <vector>

namespace corvalin {
namespace {

constexpr char kLibraryName[] = "libfetchwell.so";

std::string ProgramDirectory() {
    char exe[4096];
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return std::string();
    std::string path(exe, static_cast<size_t>(n));
    return path.substr(0, path.find_last_of('/') + 1);
}

}  // namespace

EngineLoader::~EngineLoader() {
    // The library stays loaded: objects it handed out may outlive the loader,
    // and it owns threads and process-wide state.
}

bool EngineLoader::Load() {
    if (handle_) return true;
    std::string dir = ProgramDirectory();
    std::vector<std::string> candidates = {
        dir + kLibraryName,
        dir + "../lib/" + kLibraryName,
#ifdef FW_ENGINE_BUILD_DIR
        std::string(FW_ENGINE_BUILD_DIR) + "/" + kLibraryName,
#endif
#ifdef FW_ENGINE_INSTALL_DIR
        std::string(FW_ENGINE_INSTALL_DIR) + "/" + kLibraryName,
#endif
        kLibraryName,
    };
    std::string errors;
    for (const auto& candidate : candidates) {
        if (candidate.find('/') != std::string::npos && ::access(candidate.c_str(), R_OK) != 0) {
            continue;
        }
        void* handle = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            if (const char* e = ::dlerror()) errors += std::string(e) + "; ";
            continue;
        }
        auto create = reinterpret_cast<FetchwellCreateInstanceFn>(
            ::dlsym(handle, "FetchwellCreateInstance"));
        auto info =
            reinterpret_cast<FetchwellGetErrorInfoFn>(::dlsym(handle, "FetchwellGetErrorInfo"));
        auto version = reinterpret_cast<FetchwellVersionFn>(::dlsym(handle, "FetchwellVersion"));
        if (!create || !info || !version) {
            errors += candidate + ": not the engine library; ";
            ::dlclose(handle);
            continue;
        }
        handle_ = handle;
        create_ = create;
        error_info_ = info;
        version_ = version;
        path_ = candidate;
        return true;
    }
    error_ = "cannot load the engine library " + std::string(kLibraryName);
    if (!errors.empty()) error_ += " (" + errors.substr(0, errors.size() - 2) + ")";
    return false;
}

fw::HRESULT EngineLoader::CreateInstance(fw::IDizoziz** out) const {
    if (!create_) return fw::E_UNEXPECTED;
    return create_(fw::kProgId, out);
}

bool EngineLoader::TakeError(std::string* description, std::string* source) const {
    std::string ignored;
    return error_info_ && error_info_(description, source ? source : &ignored) == fw::S_OK;
}

std::string EngineLoader::Version() const { return version_ ? version_() : std::string(); }

}  // namespace corvalin
