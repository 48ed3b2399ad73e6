#include "platform/base64.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Base64Test, EncodesAndDecodesRfcVectors) {
    struct Case {
        const char* plain;
        const char* encoded;
    } cases[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},       {"foo", "Zm9v"},
                 {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
                 {"user:pass", "dXNlcjpwYXNz"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Base64Encode(c.plain), c.encoded);
        EXPECT_EQ(Base64Decode(c.encoded).value_or("<bad>"), c.plain);
    }
    const std::string binary("\x00\xff\x10\x80", 4);
    EXPECT_EQ(Base64Decode(Base64Encode(binary)).value_or(""), binary);
}

TEST(Base64Test, RejectsMalformedText) {
    for (const char* bad : {"Zm9v!", "Z", "Zg==Zg", "Zg==="}) {
        EXPECT_FALSE(Base64Decode(bad).has_value()) << bad;
    }
    EXPECT_EQ(Base64Decode("Zm9v\r\nYmFy").value_or(""), "foobar");
}

TEST(Base64Test, CredentialsSplitAtTheFirstColon) {
    std::string user, password;
    DecodeCredentials(EncodeCredentials("ann", "a:b"), &user, &password);
    EXPECT_EQ(user, "ann");
    EXPECT_EQ(password, "a:b");
    DecodeCredentials(EncodeCredentials("", "secret"), &user, &password);
    EXPECT_EQ(user, "");
    EXPECT_EQ(password, "secret");
    DecodeCredentials(Base64Encode("no colon"), &user, &password);
    EXPECT_EQ(user + password, "");
    DecodeCredentials("%%%", &user, &password);
    EXPECT_EQ(user + password, "");
}

}  // namespace
}  // namespace platform
