#include "tests/support/tls_front.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"
#include "tests/support/test_web_server.h"

namespace fwtest {
namespace {

// What a TLS client that trusts only `ca_file` got from one exchange.
struct Exchange {
    long verify_result = -1;
    bool handshake = false;
    std::string reply;
    bool clean_close = false;  // ended with close_notify
};

Exchange TlsExchange(uint16_t port, const std::string& ca_file, const std::string& request) {
    Exchange out;
    const int fd = fwtest::ConnectLoopback(port);
    if (fd < 0) return out;
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    SSL_CTX_load_verify_locations(ctx, ca_file.c_str(), nullptr);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    SSL* ssl = SSL_new(ctx);
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), "127.0.0.1");
    SSL_set_fd(ssl, fd);
    out.handshake = SSL_connect(ssl) == 1;
    out.verify_result = SSL_get_verify_result(ssl);
    if (out.handshake) {
        SSL_write(ssl, request.data(), static_cast<int>(request.size()));
        char buffer[4096];
        for (;;) {
            int n = SSL_read(ssl, buffer, sizeof buffer);
            if (n <= 0) {
                out.clean_close = SSL_get_error(ssl, n) == SSL_ERROR_ZERO_RETURN;
                break;
            }
            out.reply.append(buffer, static_cast<size_t>(n));
        }
    }
    SSL_free(ssl);
    SSL_CTX_free(ctx);
    ::close(fd);
    ERR_clear_error();
    return out;
}

class TlsFrontTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(authority_.ok()); ASSERT_TRUE(server_.Start()); }

    TempDir dir_;
    TestAuthority authority_{dir_.path()};
    TestWebServer server_;
};

TEST_F(TlsFrontTest, RelaysOneExchangeUnderTheAuthoritysCertificate) {
    CertificateFiles files = authority_.Issue("server");
    TlsFront front(server_.port(), files.cert, files.key);
    ASSERT_TRUE(front.Start());
    Response reply = Response::Html("<p>over tls</p>");
    reply.headers.emplace_back("Set-Cookie", "id=7");
    server_.Script("/page", reply);

    Exchange got = TlsExchange(front.port(), authority_.ca_file(),
                               "GET /page?q=1 HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    ASSERT_TRUE(got.handshake);
    EXPECT_EQ(got.verify_result, X509_V_OK);
    EXPECT_EQ(got.reply.substr(0, 15), "HTTP/1.0 200 OK");
    EXPECT_NE(got.reply.find("Set-Cookie: id=7\r\n"), std::string::npos);
    EXPECT_EQ(got.reply.substr(got.reply.size() - 15), "<p>over tls</p>");
    EXPECT_TRUE(got.clean_close);
    EXPECT_EQ(server_.LastRequest().target, "/page?q=1");
    EXPECT_EQ(front.Connections(), 1u);
    EXPECT_EQ(front.Handshakes(), 1u);
}

TEST_F(TlsFrontTest, OtherCertificatesFailVerificationAgainstTheAuthority) {
    struct Case {
        const char* name;
        CertificateOptions options;
        long verify_result;
    } cases[] = {
        {"self-signed", {{"127.0.0.1"}, true}, X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT},
        {"expired", {{"127.0.0.1"}, false, -7200, -3600}, X509_V_ERR_CERT_HAS_EXPIRED},
        {"other name", {{"192.0.2.1"}}, X509_V_ERR_IP_ADDRESS_MISMATCH},
    };
    for (const Case& c : cases) {
        CertificateFiles files = authority_.Issue(c.name, c.options);
        TlsFront front(server_.port(), files.cert, files.key);
        ASSERT_TRUE(front.Start()) << c.name;
        Exchange got = TlsExchange(front.port(), authority_.ca_file(), "");
        EXPECT_FALSE(got.handshake) << c.name;
        EXPECT_EQ(got.verify_result, c.verify_result) << c.name;
        EXPECT_EQ(server_.RequestCount(), 0u) << c.name;
    }
}

TEST_F(TlsFrontTest, ABackendResetResetsTheClient) {
    CertificateFiles files = authority_.Issue("server");
    TlsFront front(server_.port(), files.cert, files.key);
    ASSERT_TRUE(front.Start());
    Response cut = Response::Html(std::string(1000, 'x'));
    cut.send_only = 100;
    cut.ending = Ending::Reset;
    server_.Script("/cut", cut);
    Exchange got = TlsExchange(front.port(), authority_.ca_file(), "GET /cut HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(got.handshake);
    EXPECT_LE(got.reply.size(), 100u);  // how much arrives before the reset depends on timing
    EXPECT_FALSE(got.clean_close);
}

}  // namespace
}  // namespace fwtest
