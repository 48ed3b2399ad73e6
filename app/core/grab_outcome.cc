#include "app/core/grab_outcome.h"

#include "engine/interface/fetchwell.h"

namespace corvalin {

Outcome Classify(int32_t status, int32_t error) {
    if (error >= 400) return Outcome::kFailed;
    if (error >= 300 && error != 304) return Outcome::kRedirected;
    if (status == fw::kStatusFetched || status == fw::kStatusGrabbed) return Outcome::kFetched;
    return Outcome::kSkipped;
}

std::string OutcomeWord(int32_t status, int32_t error) {
    switch (Classify(status, error)) {
        case Outcome::kFetched:
            return "ok";
        case Outcome::kSkipped:
            return "skip";
        default:
            return std::to_string(error);
    }
}

std::string ErrorReason(int32_t error) {
    switch (error) {
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 303:
            return "See Other";
        case 307:
            return "Temporary Redirect";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 407:
            return "Proxy Authentication Required";
        case 408:
            return "Request Timeout";
        case 410:
            return "Gone";
        case 429:
            return "Too Many Requests";
        case 500:
            return "Internal Server Error";
        case 501:
            return "Not Implemented";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        case 504:
            return "Gateway Timeout";
        case fw::kErrorUnreachable:
            return "lookup or connect failed";
        case fw::kErrorTransferBroken:
            return "transfer broken";
        case fw::kErrorProxyCannotCarry:
            return "proxy cannot carry HTTPS";
        case fw::kErrorTooManyRedirects:
            return "too many redirects";
        case fw::kErrorCertificateSelfSigned:
            return "certificate not trusted: self-signed";
        case fw::kErrorCertificateUnknownAuthority:
            return "certificate not trusted: unknown authority";
        case fw::kErrorCertificateExpired:
            return "certificate expired";
        case fw::kErrorCertificateNameMismatch:
            return "host name mismatch";
        case fw::kErrorCertificateRefused:
            return "certificate refused";
        default:
            break;
    }
    if (error > 1000) return "FTP reply " + std::to_string(error - 1000);
    return std::string();
}

void GrabTally::Add(int32_t status, int32_t error) {
    switch (Classify(status, error)) {
        case Outcome::kFetched:
            ++fetched;
            break;
        case Outcome::kRedirected:
            ++redirected;
            break;
        case Outcome::kSkipped:
            ++skipped;
            break;
        case Outcome::kFailed:
            ++failures[error];
            break;
    }
}

int64_t GrabTally::failed() const {
    int64_t total = 0;
    for (const auto& [code, count] : failures) total += count;
    return total;
}

}  // namespace corvalin
