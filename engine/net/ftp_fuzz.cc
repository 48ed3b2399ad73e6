// libFuzzer target for what an FTP server sends: control-connection replies
// fed in pieces of every size, and a saved directory listing. Every reply
// taken is a piece of what was fed, in order, and the reader holds only what
// it has not handed out; a listing yields names that are pieces of a line,
// never "." or "..".
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/net/ftp_listing.h"
#include "engine/net/ftp_reply.h"
#include "platform/file_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const size_t piece = 1 + (size ? data[0] % 17 : 0);
    fw::FtpReplyReader reader;
    std::string taken;
    for (size_t at = 0; at < size; at += piece) {
        reader.Feed(bytes.substr(at, piece));
        while (auto reply = reader.Take()) {
            if (reply->code < 0 || reply->code > 999) std::abort();
            taken += reply->text;
        }
        if (taken + reader.pending() != bytes.substr(0, std::min(size, at + piece))) std::abort();
    }

    static const std::string path = "/tmp/fw_ftp_fuzz_listing." + std::to_string(::getpid());
    if (!platform::ReplaceFileContents(path, bytes, 0600)) return 0;
    for (const std::string& name : fw::ReadListingNames(path)) {
        if (name.empty() || name == "." || name == ".." || name.size() > fw::kMaxListingLine ||
            bytes.find(name) == std::string_view::npos)
            std::abort();
    }
    return 0;
}
