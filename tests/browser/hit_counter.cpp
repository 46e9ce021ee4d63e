#include "tests/browser/hit_counter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace kestrix::test {

HitCounter::HitCounter() {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
      ::listen(listener_, 64) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

HitCounter::~HitCounter() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

std::string HitCounter::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string HitCounter::Requests() const {
  std::lock_guard lock(mutex_);
  std::string all;
  for (const std::string& r : requests_) all += r + "\n";
  return all;
}

void HitCounter::Serve() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int conn = ::accept(listener_, nullptr, nullptr);
    if (conn < 0) continue;
    ++hits_;
    char buf[2048];
    pollfd c{conn, POLLIN, 0};
    ssize_t n = ::poll(&c, 1, 500) > 0 ? ::recv(conn, buf, sizeof buf, 0) : 0;
    std::string request(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request.substr(0, request.find('\r')));
    }
    static constexpr char kReply[] =
        "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 2\r\n"
        "Access-Control-Allow-Origin: *\r\n\r\nok";
    (void)::send(conn, kReply, sizeof kReply - 1, MSG_NOSIGNAL);
    ::close(conn);
  }
}

}  // namespace kestrix::test
