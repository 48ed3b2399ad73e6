#include "engine/net/cookie_jar.h"

#include <atomic>

namespace fw {
namespace {

std::atomic<CookieJar*> installed{nullptr};

}  // namespace

CookieJar* InstalledCookieJar() { return installed.load(std::memory_order_acquire); }

void InstallCookieJar(CookieJar* jar) { installed.store(jar, std::memory_order_release); }

}  // namespace fw
