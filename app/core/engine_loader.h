// Loads the engine library at run time (no link-time binding) and resolves its
// entry points. Used by both programs.
#pragma once

#include <string>

#include "engine/interface/fetchwell.h"

namespace corvalin {

class EngineLoader {
public:
    EngineLoader() = default;
    ~EngineLoader();
    EngineLoader(const EngineLoader&) = delete;
    EngineLoader& operator=(const EngineLoader&) = delete;

    // Looks for libfetchwell.so beside the running program, then in ../lib
    // beside it, then in the directory the build installed it to, then lets
    // the dynamic loader search. Returns false (see error()) when none loads.
    bool Load();

    // Creates a Dizoziz through the library's factory.
    fw::HRESULT CreateInstance(fw::IDizoziz** out) const;

    // Reads and clears the calling thread's error information.
    bool TakeError(std::string* description, std::string* source = nullptr) const;

    std::string Version() const;
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    FetchwellCreateInstanceFn create_ = nullptr;
    FetchwellGetErrorInfoFn error_info_ = nullptr;
    FetchwellVersionFn version_ = nullptr;
    std::string path_;
    std::string error_;
};

}  // namespace corvalin
