// The library HTTPS fetches run through (libcurl), started once per process.
// A fetch asks Instance() first; when start-up failed the library counts as
// unavailable and secure fetches do nothing (their state stays Pending).
#pragma once

namespace fw {

class InternetLibrary {
public:
    // The one instance, started on first use under a once-guard. The library
    // is never shut down: a fetch still running on some thread at process
    // exit must not find it gone.
    static InternetLibrary& Instance();

    InternetLibrary(const InternetLibrary&) = delete;
    InternetLibrary& operator=(const InternetLibrary&) = delete;

    bool available() const { return available_; }

private:
    InternetLibrary();
    ~InternetLibrary() = default;

    bool available_ = false;
};

}  // namespace fw
