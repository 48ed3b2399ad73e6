#include "engine/net/internet_library.h"

#include <curl/curl.h>

namespace fw {

InternetLibrary& InternetLibrary::Instance() {
    static InternetLibrary instance;
    return instance;
}

InternetLibrary::InternetLibrary() : available_(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}

}  // namespace fw
