#include "support/RawServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace testsupport {
namespace {

int ListenLoopback(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    throw std::runtime_error("bind");
  }
  port = ntohs(addr.sin_port);
  return fd;
}

}  // namespace

RawServer::RawServer(Handler handler) : handler_(std::move(handler)) {
  listenFd_ = ListenLoopback(port_);
  if (::listen(listenFd_, 16) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("listen");
  }
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawServer::~RawServer() {
  Stop();
}

std::string RawServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void RawServer::AcceptLoop() {
  while (true) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
    }
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    std::lock_guard lock(mutex_);
    workers_.emplace_back([this, fd] {
      handler_(fd, *this);
      ::close(fd);
    });
  }
}

bool RawServer::Pause(std::chrono::milliseconds d) {
  std::unique_lock lock(mutex_);
  return !cv_.wait_for(lock, d, [this] { return stopping_; });
}

void RawServer::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_ && !acceptor_.joinable()) return;
    stopping_ = true;
  }
  cv_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  // The acceptor has ended: nobody adds workers any more.
  for (std::thread& t : workers_) t.join();
  workers_.clear();
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = -1;
}

std::string RawServer::ReadRequest(int fd) {
  std::string head;
  char buf[1024];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) <= 0) break;
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    head.append(buf, static_cast<size_t>(n));
  }
  return head;
}

bool RawServer::Send(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void RawServer::AwaitClose(int fd, RawServer& server) {
  char buf[4096];
  while (true) {
    {
      std::lock_guard lock(server.mutex_);
      if (server.stopping_) return;
    }
    pollfd p{fd, POLLIN, 0};
    int ready = ::poll(&p, 1, 50);
    if (ready < 0 && errno != EINTR) return;
    if (ready <= 0) continue;
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) return;
  }
}

void RawServer::Reset(int fd) {
  linger l{1, 0};
  // The close after the handler then sends RST.
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

int ClosedPort() {
  int port = 0;
  int fd = ListenLoopback(port);
  ::close(fd);
  return port;
}

}  // namespace testsupport
