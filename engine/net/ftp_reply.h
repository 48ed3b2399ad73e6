// Splits what an FTP server sends on its control connection into replies
// (RFC 959 section 4.2): a single line "ddd text", or a multi-line reply that
// opens with "ddd-" and ends at the first line starting "ddd " with the same
// code. Bytes after a complete reply stay for the next one, so replies that
// arrive together are still read one by one. Pure: fed bytes, no I/O.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

struct FtpReply {
    int code = 0;      // the first three characters as a number; 0 if not digits
    std::string text;  // every line of the reply with its line end, as received
};

class FtpReplyReader {
public:
    // More text than this without a complete reply means the peer is not
    // speaking FTP.
    static constexpr size_t kMaxReplyBytes = 64 * 1024;

    void Feed(std::string_view bytes) { buffer_.append(bytes); }

    // The first complete reply, removed from the buffer; nullopt while it is
    // incomplete. A first line that does not start with a code followed by a
    // space or "-" is a reply of its own (code 0, or that of its digits).
    std::optional<FtpReply> Take();

    // True when the incomplete reply has grown past kMaxReplyBytes.
    bool overflowed() const { return buffer_.size() > kMaxReplyBytes; }

    // Whatever has arrived of the incomplete reply.
    const std::string& pending() const { return buffer_; }

private:
    std::string buffer_;
};

}  // namespace fw
