#include "tests/support/nginx_server.h"

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace fwtest {

NginxServer::NginxServer(std::string root, std::string work_dir)
    : root_(std::move(root)), work_(std::move(work_dir)) {}

std::string NginxServer::Program() { return FindProgram("nginx"); }

bool NginxServer::Start() {
    const std::string program = Program();
    if (program.empty()) return false;
    port_ = FreeLoopbackPort();
    // One process in the foreground, everything it writes below work_.
    std::string config = "daemon off;\nmaster_process off;\nworker_processes 1;\n";
    if (::getuid() == 0) config += "user root root;\n";
    config += "error_log " + work_ + "error.log;\npid " + work_ + "nginx.pid;\n"
              "events { worker_connections 64; }\n"
              "http {\n"
              "  log_format costs '$status $body_bytes_sent \"$request\" \"$http_if_none_match\"';\n"
              "  access_log " + work_ + "access.log costs;\n"
              "  client_body_temp_path " + work_ + "body;\n"
              "  proxy_temp_path " + work_ + "proxy;\n"
              "  fastcgi_temp_path " + work_ + "fastcgi;\n"
              "  uwsgi_temp_path " + work_ + "uwsgi;\n"
              "  scgi_temp_path " + work_ + "scgi;\n"
              "  types { text/html html; text/css css; image/png png; image/gif gif;"
              " font/woff2 woff2; }\n"
              "  default_type application/octet-stream;\n"
              "  server { listen 127.0.0.1:" + std::to_string(port_) + "; root " + root_ + "; }\n"
              "}\n";
    WriteFile(work_ + "nginx.conf", config);
    WriteFile(work_ + "access.log", "");
    return process_.Start({program, "-p", work_, "-c", work_ + "nginx.conf"},
                          work_ + "nginx.out") &&
           WaitForLoopbackPort(port_, std::chrono::seconds(10));
}

std::string NginxServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<NginxServer::Access> NginxServer::Accesses() const {
    std::vector<Access> accesses;
    std::istringstream log(ReadFile(work_ + "access.log"));
    std::string line;
    while (std::getline(log, line)) {
        Access access;
        std::istringstream fields(line);
        fields >> access.status >> access.body_bytes;
        // Then two quoted texts: the request line and If-None-Match ("-" for none).
        std::vector<std::string> quoted;
        for (size_t open = line.find('"'); open != std::string::npos;) {
            const size_t close = line.find('"', open + 1);
            if (close == std::string::npos) break;
            quoted.push_back(line.substr(open + 1, close - open - 1));
            open = line.find('"', close + 1);
        }
        if (!quoted.empty()) access.request = quoted.front();
        if (quoted.size() > 1 && quoted.back() != "-") access.if_none_match = quoted.back();
        accesses.push_back(access);
    }
    return accesses;
}

void NginxServer::ClearAccesses() {
    // nginx appends to the file it holds open, so emptying it in place works.
    std::ofstream(work_ + "access.log", std::ios::trunc);
}

std::string NginxServer::ErrorLog() const { return ReadFile(work_ + "error.log"); }

}  // namespace fwtest
