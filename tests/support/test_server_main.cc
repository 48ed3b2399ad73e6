// fw-test-server: serves a folder over HTTP/1.0 on 127.0.0.1 until it gets
// SIGINT or SIGTERM. Prints the port it listens on as one line on stdout;
// with a certificate and key it also serves HTTPS and prints that port as a
// second line.
//
//   fw-test-server --root DIR [--port N] [--tls-cert PEM --tls-key PEM]
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/test_web_server.h"
#include "tests/support/tls_front.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: fw-test-server --root DIR [--port N] [--tls-cert PEM --tls-key PEM]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    std::string tls_cert;
    std::string tls_key;
    long port = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
            root = argv[++i];
        } else if (std::strcmp(argv[i], "--tls-cert") == 0 && i + 1 < argc) {
            tls_cert = argv[++i];
        } else if (std::strcmp(argv[i], "--tls-key") == 0 && i + 1 < argc) {
            tls_key = argv[++i];
        } else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            char* end = nullptr;
            port = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || port < 0 || port > 65535) return Usage();
        } else {
            return Usage();
        }
    }
    if (root.empty() || tls_cert.empty() != tls_key.empty()) return Usage();

    // Block the stop signals before the server thread starts, so only
    // sigwait below sees them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    signal(SIGPIPE, SIG_IGN);

    fwtest::TestWebServer server(root);
    server.set_record_requests(false);
    if (!server.Start(static_cast<uint16_t>(port))) {
        std::fprintf(stderr, "fw-test-server: cannot listen on 127.0.0.1:%ld\n", port);
        return 1;
    }
    fwtest::TlsFront tls(server.port(), tls_cert, tls_key);
    if (!tls_cert.empty() && !tls.Start()) {
        std::fprintf(stderr, "fw-test-server: cannot serve TLS with %s\n", tls_cert.c_str());
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(server.port()));
    if (!tls_cert.empty()) std::printf("%u\n", static_cast<unsigned>(tls.port()));
    std::fflush(stdout);
    int signal_number = 0;
    sigwait(&stop, &signal_number);
    tls.Stop();
    server.Stop();
    return 0;
}
