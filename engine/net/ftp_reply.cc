#include "engine/net/ftp_reply.h"

namespace fw {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool StartsWithCode(std::string_view line) {
    return line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]);
}

}  // namespace

std::optional<FtpReply> FtpReplyReader::Take() {
    std::string_view text = buffer_;
    size_t first_end = text.find('\n');
    if (first_end == std::string_view::npos) return std::nullopt;
    std::string_view first = text.substr(0, first_end);

    size_t end = first_end + 1;  // one past the reply's last line feed
    if (StartsWithCode(first) && first.size() > 3 && first[3] == '-') {
        // Multi-line: up to the line "ddd " (or a bare "ddd") with the same code.
        size_t start = end;
        for (;;) {
            size_t line_end = text.find('\n', start);
            if (line_end == std::string_view::npos) return std::nullopt;
            std::string_view line = text.substr(start, line_end - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            start = line_end + 1;
            if (line.substr(0, 3) == first.substr(0, 3) && (line.size() == 3 || line[3] == ' ')) {
                end = start;
                break;
            }
        }
    }
    FtpReply reply;
    if (StartsWithCode(first)) reply.code = (first[0] - '0') * 100 + (first[1] - '0') * 10 + (first[2] - '0');
    reply.text = buffer_.substr(0, end);
    buffer_.erase(0, end);
    return reply;
}

}  // namespace fw
