#include "engine/net/ftp_reply.h"

#include <gtest/gtest.h>

#include <vector>

namespace fw {
namespace {

TEST(FtpReplyReaderTest, SplitsTheControlStreamIntoReplies) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<FtpReply> replies;
        std::string left;  // incomplete text still waiting
    } cases[] = {
        {"single line", "220 ready\r\n", {{220, "220 ready\r\n"}}, ""},
        {"line feeds alone", "331 ok\n", {{331, "331 ok\n"}}, ""},
        {"a bare code", "200\r\n", {{200, "200\r\n"}}, ""},
        {"multi-line greeting", "220-Welcome\r\n220-to the test\r\n220 ready\r\n",
         {{220, "220-Welcome\r\n220-to the test\r\n220 ready\r\n"}}, ""},
        {"inner lines that look like other replies", "230-a\r\n 331 x\r\n123 y\r\n230 end\r\n",
         {{230, "230-a\r\n 331 x\r\n123 y\r\n230 end\r\n"}}, ""},
        {"two replies that arrive together", "426 aborted\r\n226 ok\r\n",
         {{426, "426 aborted\r\n"}, {226, "226 ok\r\n"}}, ""},
        {"a reply and the start of the next", "150 go\r\n226 Tra",
         {{150, "150 go\r\n"}}, "226 Tra"},
        {"multi-line without its last line", "220-a\r\n220 b", {}, "220-a\r\n220 b"},
        {"not FTP at all", "HTTP/1.0 200 OK\r\n", {{0, "HTTP/1.0 200 OK\r\n"}}, ""},
    };
    for (const Case& c : cases) {
        // Whole, and a byte at a time: how the bytes arrive must not matter.
        for (bool bytewise : {false, true}) {
            FtpReplyReader reader;
            std::vector<FtpReply> got;
            auto take = [&] {
                while (auto reply = reader.Take()) got.push_back(*reply);
            };
            if (bytewise) {
                for (char b : c.bytes) {
                    reader.Feed(std::string_view(&b, 1));
                    take();
                }
            } else {
                reader.Feed(c.bytes);
                take();
            }
            ASSERT_EQ(got.size(), c.replies.size()) << c.name;
            for (size_t i = 0; i < got.size(); ++i) {
                EXPECT_EQ(got[i].code, c.replies[i].code) << c.name;
                EXPECT_EQ(got[i].text, c.replies[i].text) << c.name;
            }
            EXPECT_EQ(reader.pending(), c.left) << c.name;
        }
    }
}

TEST(FtpReplyReaderTest, AReplyThatNeverEndsOverflows) {
    FtpReplyReader reader;
    reader.Feed("220-start\r\n");
    while (!reader.overflowed()) reader.Feed(std::string(1000, 'x') + "\r\n");
    EXPECT_FALSE(reader.Take());
    EXPECT_GT(reader.pending().size(), FtpReplyReader::kMaxReplyBytes);
}

}  // namespace
}  // namespace fw
