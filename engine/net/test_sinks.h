// Body sinks for tests and benchmarks: one that keeps the body, one that only
// counts it.
#pragma once

#include <string>

#include "engine/net/url_fetch.h"

namespace fw {

class StringSink : public FetchSink {
public:
    void Write(const char* data, size_t length) override { body.append(data, length); }
    std::string body;
};

class CountingSink : public FetchSink {
public:
    void Write(const char*, size_t length) override { bytes += length; }
    size_t bytes = 0;
};

}  // namespace fw
