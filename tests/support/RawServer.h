// A loopback TCP server that speaks whatever its handler writes: for servers
// that misbehave below HTTP (resets, stalls, garbage, bodies cut short, old
// protocol versions). Each connection runs the handler on its own thread; the
// destructor stops accepting, wakes handlers waiting in Pause() and joins them.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace testsupport {

class RawServer {
 public:
  using Handler = std::function<void(int fd, RawServer& server)>;

  explicit RawServer(Handler handler);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" + path
  std::string url(std::string_view path = "/") const;
  // Connections accepted so far.
  int Connections() const { return connections_.load(); }

  // Waits `d`; returns false early when the server is stopping.
  bool Pause(std::chrono::milliseconds d);
  void Stop();

  // Reads the request head (up to the blank line, a closed peer or 2 s).
  static std::string ReadRequest(int fd);
  // Writes all of `bytes`; false when the peer has gone.
  static bool Send(int fd, std::string_view bytes);
  // Waits until the client closes its end (or the server stops).
  static void AwaitClose(int fd, RawServer& server);
  // Makes the close that follows the handler a reset (RST), not an orderly close.
  static void Reset(int fd);

 private:
  void AcceptLoop();

  Handler handler_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<int> connections_{0};
  std::mutex mutex_;
  std::condition_variable cv_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

// A loopback port with nothing listening on it (bound once, then released).
int ClosedPort();

}  // namespace testsupport
