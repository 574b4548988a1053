// lyrano-demo [--port N]: the demo catalogue service on 127.0.0.1 (default
// port 18930, the player's built-in address). Port 0 picks a free port. The
// first line on stdout names the address served; SIGINT and SIGTERM stop it.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string_view>
#include <thread>

#include "Site.h"
#include "Synth.h"

namespace {

constexpr int kDefaultPort = 18930;

int Usage() {
  std::fputs("usage: lyrano-demo [--port N]\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int port = kDefaultPort;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--port" && i + 1 < argc) {
      const std::string_view text = argv[++i];
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
      if (ec != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535) {
        return Usage();
      }
    } else {
      return Usage();
    }
  }

  try {
    demo::CheckCatalogue();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "lyrano-demo: %s\n", e.what());
    return 1;
  }

  // Signals are taken by one thread with sigwait; every other thread (the
  // server's pool included) inherits the blocked mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  httplib::Server server;
  demo::RegisterRoutes(server);
  int bound = -1;
  if (port == 0) {
    bound = server.bind_to_any_port("127.0.0.1");
  } else if (server.bind_to_port("127.0.0.1", port)) {
    bound = port;
  }
  if (bound <= 0) {
    std::fprintf(stderr, "lyrano-demo: cannot listen on 127.0.0.1:%d\n", port);
    return 1;
  }
  std::printf("lyrano-demo: serving http://127.0.0.1:%d/ (rule page /rules.html)\n", bound);
  std::fflush(stdout);

  std::atomic<bool> ended{false};
  std::thread waiter([&] {
    int sig = 0;
    sigwait(&signals, &sig);
    if (sig == SIGUSR1) return;
    // stop() is ignored until the server runs; a signal may come earlier.
    while (!ended.load() && !server.is_running()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    server.stop();
  });
  std::thread warmUp([&] { demo::WarmUpAudio(ended); });
  const bool ok = server.listen_after_bind();
  ended.store(true);
  // Wake the waiter if the server ended on its own.
  pthread_kill(waiter.native_handle(), SIGUSR1);
  waiter.join();
  warmUp.join();
  return ok ? 0 : 1;
}
