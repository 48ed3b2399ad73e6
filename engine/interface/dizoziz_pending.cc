// Dizoziz members whose subsystems are not part of this build yet. Each
// answers E_NOTIMPL with a message naming the member.
#include "engine/interface/dizoziz.h"
#include "engine/interface/error_info.h"

namespace fw {

namespace {

HRESULT Pending(const char* member) {
    return ReportErrorWith(E_NOTIMPL, std::string(member) + " is not available in this build");
}

}  // namespace

HRESULT Dizoziz::Search(const std::string&, IDizozizEnumUrl**) { return Pending("Search"); }
HRESULT Dizoziz::IndexSearch(const std::string&, IDizozizEnumUrl**) {
    return Pending("IndexSearch");
}
HRESULT Dizoziz::ValidIndexSearch(const std::string&, std::string*) {
    return Pending("ValidIndexSearch");
}
}  // namespace fw
