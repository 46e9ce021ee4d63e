#include "tests/support/nginx_server.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "tests/support/child_process.h"

namespace kestrix::test {
namespace {

std::string FindNginx() {
  for (const char* dir : {"/usr/sbin/", "/usr/local/sbin/", "/usr/bin/", "/usr/local/bin/"}) {
    std::string path = std::string(dir) + "nginx";
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

std::string Config(const std::string& run, const std::string& root, int port,
                   const std::string& extra, bool tls) {
  std::string user;
  // A master started as root hands requests to an unprivileged user, who may
  // not read a private scratch folder: keep our own user instead.
  if (getuid() == 0) {
    passwd* pw = getpwuid(getuid());
    group* gr = getgrgid(getgid());
    if (pw && gr) user = "user " + std::string(pw->pw_name) + " " + gr->gr_name + ";\n";
  }
  std::ostringstream c;
  c << user << "daemon off;\nworker_processes 1;\npid \"" << run << "nginx.pid\";\n"
    << "error_log \"" << run << "error.log\" warn;\n"
    << "events { worker_connections 256; }\n"
    << "http {\n"
    << "  types { text/html html htm; text/css css; image/gif gif; image/png png;\n"
    << "          image/jpeg jpg jpeg; text/plain txt; application/javascript js; }\n"
    << "  default_type application/octet-stream;\n";
  for (const char* t : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
    c << "  " << t << "_temp_path \"" << run << "tmp/" << t << "\";\n";
  }
  c << "  log_format plain '$status $body_bytes_sent $request_method $request_uri';\n"
    << "  access_log \"" << run << "access.log\" plain;\n"
    << "  log_format connection '$connection';\n"
    << "  access_log \"" << run << "connections.log\" connection;\n"
    << "  sendfile on;\n  server_tokens off;\n"
    // Answer 304 whenever the file is not newer than If-Modified-Since.
    << "  if_modified_since before;\n"
    << "  server {\n    listen 127.0.0.1:" << port << (tls ? " ssl" : "")
    << ";\n    server_name _;\n"
    << "    root \"" << root << "\";\n    " << extra << "\n  }\n}\n";
  return c.str();
}

}  // namespace

TNginxServer::TNginxServer(std::string root, std::string extraConfig)
    : root_(std::move(root)), extra_(std::move(extraConfig)) {}

void TNginxServer::UseTls(const std::string& certFile, const std::string& keyFile) {
  tls_ = true;
  extra_ +=
      "\n    ssl_certificate \"" + certFile + "\";\n    ssl_certificate_key \"" + keyFile + "\";\n";
}

TNginxServer::~TNginxServer() {
  Stop();
}

bool TNginxServer::Start() {
  std::string nginx = FindNginx();
  if (nginx.empty()) {
    error_ = "nginx not found (Debian: apt-get install -y nginx)";
    return false;
  }
  std::filesystem::create_directories(run_.Path() + "tmp");
  for (int attempt = 0; attempt < 3; ++attempt) {  // a port may be taken meanwhile
    port_ = FreePort();
    std::string conf =
        run_.WriteFile("nginx.conf", Config(run_.Path(), root_, port_, extra_, tls_));
    pid_ = Spawn({nginx, "-p", run_.Path(), "-c", conf, "-e", run_.Path() + "error.log"});
    if (pid_ > 0 && WaitForPort(port_, 5000)) return true;
    StopChild(pid_);
    pid_ = -1;
  }
  error_ = "nginx did not start: " + ReadWholeFile(run_.Path() + "error.log");
  return false;
}

void TNginxServer::Stop() {
  StopChild(pid_);
  pid_ = -1;
}

namespace {

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(ReadWholeFile(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

std::vector<std::string> TNginxServer::AccessLog() const {
  return Lines(run_.Path() + "access.log");
}

std::vector<std::string> TNginxServer::AccessLog(std::size_t lines) const {
  std::vector<std::string> log = AccessLog();
  for (int waits = 0; log.size() < lines && waits < 300; ++waits) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    log = AccessLog();
  }
  return log;
}

std::size_t TNginxServer::ConnectionsSince(std::size_t request) const {
  const std::vector<std::string> serials = Lines(run_.Path() + "connections.log");
  if (request >= serials.size()) return 0;
  return std::set<std::string>(serials.begin() + static_cast<std::ptrdiff_t>(request),
                               serials.end())
      .size();
}

}  // namespace kestrix::test
