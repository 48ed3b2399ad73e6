// Whole grabs over the secure path and FTP, and cookies across requests.
#include <gtest/gtest.h>

#include "engine/grab/grab_harness.h"
#include "engine/net/secure_http_fetch.h"
#include "tests/support/child_process.h"
#include "tests/support/ftp_server.h"
#include "tests/support/test_certificates.h"
#include "tests/support/tls_front.h"

namespace fw {
namespace {

using fwtest::Response;

class SecureGrabTest : public fwtest::GrabHarness {
protected:
    void SetUp() override {
        GrabHarness::SetUp();
        ASSERT_TRUE(authority_.ok());
        const fwtest::CertificateFiles files = authority_.Issue("server");
        front_ = std::make_unique<fwtest::TlsFront>(server_->port(), files.cert, files.key);
        ASSERT_TRUE(front_->Start());
        SetSecureCaFile(authority_.ca_file());
    }
    void TearDown() override {
        SetSecureCaFile("");
        front_.reset();
        GrabHarness::TearDown();
    }
    std::string Secure(const std::string& path) const { return front_->BaseUrl() + path; }

    fwtest::TestAuthority authority_{dir_ / "tls-"};
    std::unique_ptr<fwtest::TlsFront> front_;
};

TEST_F(SecureGrabTest, SecureSiteIsGrabbedOnItsOwnPortAndBrowsesOffline) {
    AddStart(Secure("/index.html"), 3);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    for (const char* page : {"/index.html", "/a.html", "/dir/c.html"}) {
        const UrlRecord row = Row(Secure(page));
        EXPECT_EQ(row.status, kStatusGrabbed) << page;
        EXPECT_EQ(row.error, 0) << page;
    }
    EXPECT_EQ(Row(Secure("/img1.gif")).kind, kKindImage);
    EXPECT_EQ(Row(Secure("/missing.html")).error, 404);
    ExpectOfflineCopyBrowses();

    // A refresh asks for unchanged files conditionally and gets 304.
    const UrlRecord image = Row(Secure("/img1.gif"));
    server_->ClearRequests();
    ASSERT_EQ(engine_->Grab(0, 1), S_OK);
    bool conditional = false;
    for (const auto& request : server_->Requests()) {
        if (request.path == "/img1.gif") request.Header("If-Modified-Since", &conditional);
    }
    EXPECT_TRUE(conditional);
    EXPECT_EQ(Row(Secure("/img1.gif")).is_new, 0);
    EXPECT_EQ(Row(Secure("/img1.gif")).file, image.file);
}

TEST_F(SecureGrabTest, CookiesComeBackOnLaterRequestsPlainAndSecure) {
    Response set = Response::Html("<a href=\"next.html\">next</a>");
    set.headers.emplace_back("Set-Cookie", "session=abc123; Path=/");
    server_->Script("/login.html", set);
    server_->Script("/next.html", Response::Html("<p>in</p>"));
    AddStart(Url("/login.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    std::string cookie;
    for (const auto& request : server_->Requests()) {
        if (request.path == "/next.html") cookie = request.Header("Cookie");
    }
    EXPECT_EQ(cookie, "session=abc123");

    Response secure_set = Response::Html("<a href=\"secure-next.html\">next</a>");
    secure_set.headers.emplace_back("Set-Cookie", "token=s3cure; Path=/; Secure");
    server_->Script("/secure-login.html", secure_set);
    server_->Script("/secure-next.html", Response::Html("<p>in</p>"));
    AddStart(Secure("/secure-login.html"), 2);
    server_->ClearRequests();
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    for (const auto& request : server_->Requests()) {
        if (request.path == "/secure-next.html") cookie = request.Header("Cookie");
    }
    EXPECT_NE(cookie.find("token=s3cure"), std::string::npos) << cookie;
}

// A secure URL that fails before any response is a failure in its row, and
// keeps no empty file that the offline copy would link to.
TEST_F(SecureGrabTest, ASecureUrlThatGetsNoResponseFailsAndKeepsNoFile) {
    Response nothing = Response::Raw("");
    nothing.send_only = 0;
    server_->Script("/silent.html", nothing);
    server_->Script("/list.html", Response::Html("<a href=\"silent.html\">silent</a>"));
    AddStart(Secure("/list.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    const UrlRecord row = Row(Secure("/silent.html"));
    EXPECT_EQ(row.error, kErrorTransferBroken);
    EXPECT_EQ(row.file, "");
    EXPECT_NE(Stored(Row(Secure("/list.html"))).find("href=\"" + Secure("/silent.html") + "\""),
              std::string::npos);
}

// A site whose certificate fails verification is not grabbed, and is told
// to nobody (cookies, credentials): its URL fails with the fault. Allowed
// for the grab, the site is grabbed, at the cost of one failed handshake,
// and the engine names the host once.
TEST_F(SecureGrabTest, AnUntrustedSiteFailsUnlessAllowedAndThenCostsOneFailedHandshake) {
    const fwtest::CertificateFiles self = authority_.Issue("self", {{"127.0.0.1"}, true});
    fwtest::TlsFront untrusted(server_->port(), self.cert, self.key);
    ASSERT_TRUE(untrusted.Start());
    const std::string start = untrusted.BaseUrl() + "/index.html";
    AddStart(start, 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    const UrlRecord refused = Row(start);
    EXPECT_EQ(refused.error, kErrorCertificateSelfSigned);
    EXPECT_EQ(refused.file, "");
    EXPECT_EQ(server_->RequestCount(), 0u);
    std::string host = "x";
    int32_t reason = -1;
    EXPECT_EQ(engine_->UntrustedHost(0, &host, &reason), S_FALSE);
    EXPECT_EQ(host, "");

    ASSERT_EQ(engine_->OverrideSetting("Network", "AllowUntrustedCertificates", "1"), S_OK);
    const size_t handshakes = untrusted.Connections();
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    EXPECT_EQ(Row(start).error, 0) << EngineLog();
    EXPECT_EQ(Row(untrusted.BaseUrl() + "/a.html").status, kStatusGrabbed);
    ExpectOfflineCopyBrowses();
    // Every request came on a connection of its own; one more failed.
    EXPECT_GT(server_->RequestCount(), 3u);
    EXPECT_EQ(untrusted.Connections() - handshakes, server_->RequestCount() + 1);
    ASSERT_EQ(engine_->UntrustedHost(0, &host, &reason), S_OK);
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(reason, kErrorCertificateSelfSigned);
    EXPECT_EQ(engine_->UntrustedHost(1, &host, &reason), S_FALSE);
    EXPECT_EQ(engine_->UntrustedHost(-1, &host, &reason), E_INVALIDARG);
}

// A grab with a proxy configured takes its HTTPS URLs through the proxy's
// tunnel; a proxy kind that cannot carry them fails each one in its row.
TEST_F(SecureGrabTest, HttpsGoesThroughTheConfiguredProxy) {
    const std::string tinyproxy = fwtest::FindProgram("tinyproxy");
    if (tinyproxy.empty()) GTEST_SKIP() << "tinyproxy is not installed (scripts/setup installs it)";
    const uint16_t port = fwtest::FreeLoopbackPort();
    fwtest::WriteFile(dir_ / "tinyproxy.conf",
                      "Port " + std::to_string(port) +
                          "\nListen 127.0.0.1\nTimeout 30\n"
                          "MaxClients 20\nAllow 127.0.0.1\nBasicAuth alice s3cret\n");
    fwtest::ChildProcess proxy;
    ASSERT_TRUE(proxy.Start({tinyproxy, "-d", "-c", dir_ / "tinyproxy.conf"}, dir_ / "proxy.log"));
    ASSERT_TRUE(fwtest::WaitForLoopbackPort(port, std::chrono::seconds(10)));
    Setting("Proxy", "Proxy", "1");
    Setting("Proxy", "ProxyType", "1");
    Setting("Proxy", "Server", "127.0.0.1");
    Setting("Proxy", "Port", std::to_string(port));
    Setting("Proxy", "ProxyAuthentication", "alice:s3cret");

    AddStart(Secure("/index.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    const UrlRecord page = Row(Secure("/index.html"));
    EXPECT_EQ(page.error, 0) << EngineLog();
    EXPECT_NE(Stored(page).find("Fixture site"), std::string::npos) << Stored(page);
    EXPECT_EQ(Row(Secure("/a.html")).status, kStatusGrabbed);
    ExpectOfflineCopyBrowses();

    Setting("Proxy", "ProxyType", "9");
    server_->Script("/extra.html", Response::Html("<p>extra</p>"));
    AddStart(Secure("/extra.html"), 1);
    ASSERT_EQ(engine_->Grab(IdOf(Secure("/extra.html")), 0), S_OK);
    const UrlRecord refused = Row(Secure("/extra.html"));
    EXPECT_EQ(refused.error, kErrorProxyCannotCarry);
    EXPECT_EQ(refused.file, "");
    EXPECT_NE(EngineLog().find("Proxy type 9 cannot carry HTTPS"), std::string::npos);
}

class FtpGrabTest : public fwtest::GrabHarness {};

TEST_F(FtpGrabTest, DirectoryIsStoredAsAListingWhoseNamesBecomeChildren) {
    if (!fwtest::FtpServer::Available()) GTEST_SKIP() << "python3-pyftpdlib is not installed";
    const std::string root = dir_ / "ftp-root/";
    fwtest::WriteFile(root + "readme.txt", "hello over ftp");
    fwtest::WriteFile(root + "data.bin", std::string(3000, 'd'));
    fwtest::FtpServer ftp(root, dir_ / "ftp.log");
    ASSERT_TRUE(ftp.Start());
    const std::string base = "ftp://127.0.0.1:" + std::to_string(ftp.port()) + "/";
    AddStart(base, 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);

    const UrlRecord listing = Row(base);
    EXPECT_EQ(listing.status, kStatusGrabbed);
    EXPECT_EQ(listing.file.substr(listing.file.size() - 4), ".txt") << listing.file;
    const UrlRecord readme = Row(base + "readme.txt");
    EXPECT_EQ(readme.level, 1);
    EXPECT_EQ(readme.status, kStatusGrabbed);
    EXPECT_EQ(Stored(readme), "hello over ftp") << EngineLog() << ftp.Log();
    const UrlRecord data = Row(base + "data.bin");
    EXPECT_EQ(Stored(data).size(), 3000u)
        << "status " << data.status << " error " << data.error << " file " << data.file << "\n"
        << ftp.Log() << EngineLog();

    // A missing file is a bad link.
    AddStart(base + "nothing-here.zip", 1);
    ASSERT_EQ(engine_->Grab(IdOf(base + "nothing-here.zip"), 0), S_OK);
    EXPECT_EQ(Row(base + "nothing-here.zip").error, 404);
    EXPECT_EQ(Row(base + "nothing-here.zip").file, "");  // no empty file stands in for it

    // A server that is not there is a failed connection.
    const std::string gone = "ftp://127.0.0.1:" + std::to_string(fwtest::FreeLoopbackPort()) + "/x.zip";
    AddStart(gone, 1);
    ASSERT_EQ(engine_->Grab(IdOf(gone), 0), S_OK);
    EXPECT_EQ(Row(gone).error, kErrorUnreachable);
    EXPECT_EQ(Row(gone).file, "");
}

// The user and password an ftp address names log in, and show nowhere else.
TEST_F(FtpGrabTest, CredentialsInTheAddressLogIn) {
    if (!fwtest::FtpServer::Available()) GTEST_SKIP() << "python3-pyftpdlib is not installed";
    const std::string root = dir_ / "ftp-root/";
    fwtest::WriteFile(root + "private.txt", "for anne only");
    fwtest::FtpServer ftp(root, dir_ / "ftp.log");
    ASSERT_TRUE(ftp.Start("anne", "Sekr3t"));
    const std::string host = "127.0.0.1:" + std::to_string(ftp.port());
    ComPtr<IDizozizUrl> u;
    ASSERT_EQ(engine_->NewUrl(u.Receive()), S_OK);
    u->put_url("FTP://anne:Sekr3t@" + host + "/private.txt");
    u->put_GrabLevels(1);
    ASSERT_EQ(u->Update(), S_OK);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);

    const UrlRecord row = Row("ftp://" + host + "/private.txt");
    EXPECT_EQ(row.error, 0) << ftp.Log();
    EXPECT_EQ(Stored(row), "for anne only");
    EXPECT_NE(ftp.Log().find("USER anne"), std::string::npos) << ftp.Log();
    EXPECT_EQ(EngineLog().find("Sekr3t"), std::string::npos);
    EXPECT_EQ(row.file.find("anne"), std::string::npos) << row.file;
}

}  // namespace
}  // namespace fw
