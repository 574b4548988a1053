// Helpers shared by the tests: temporary folders, loopback HTTP servers and
// real audio files made with the ffmpeg tool.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Something a blocked server handler waits on that the test can always open,
// so the server can stop (httplib joins its handler threads).
class Gate {
 public:
  // True when opened, false when the time ran out.
  bool WaitFor(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, limit, [this] { return open_; });
  }
  bool IsOpen() {
    std::lock_guard lock(mutex_);
    return open_;
  }
  void Open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

// What an internet radio sends when asked for metadata with an interval of
// `interval` bytes: `audio` with a metadata block after every `interval` bytes
// of it. The block after interval n (counted from 1) holds packets[n], padded
// to whole 16 bytes; the others are empty ("no change"). `blockStarts`, when
// given, receives where each block begins.
std::string IcyBody(std::string_view audio, size_t interval,
                    const std::map<size_t, std::string>& packets,
                    std::vector<size_t>* blockStarts = nullptr);

// An httplib server on 127.0.0.1, port chosen by the system, running on its own
// thread from construction until destruction. Register handlers on server()
// before calling Start().
class LoopbackServer {
 public:
  LoopbackServer();
  ~LoopbackServer();
  httplib::Server& server() { return server_; }
  void Start();
  int port() const { return port_; }
  // "http://127.0.0.1:<port>"
  std::string base() const;
  std::string url(std::string_view path) const { return base() + std::string(path); }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

struct ToneSpec {
  double seconds = 1.0;
  int rate = 44100;
  int channels = 2;
  double frequency = 440.0;
  std::string title;      // metadata, UTF-8; empty for none
  std::string artist;     // metadata, UTF-8
  std::string extraArgs;  // appended to the ffmpeg command before the output
};

// Makes an audio file with the ffmpeg tool; the format follows the extension
// (.mp3, .wma, .ogg, .flac, .wav). Fails the current test when ffmpeg fails.
void MakeTone(const std::filesystem::path& out, const ToneSpec& spec = {});

// Runs a shell command; returns its exit status and fills `output` with stdout.
int RunCommand(const std::string& command, std::string* output = nullptr);

// Path of a program built beside the tests (lyrano-cli, lyrano, ...).
std::filesystem::path BuiltProgram(std::string_view name);

// `s` in single quotes for the shell, embedded quotes included.
std::string ShellQuote(std::string_view s);

// The shell command that starts the built lyrano-cli with `args`, which are
// shell text: quote names with ShellQuote; redirections may follow.
std::string CliCommand(std::string_view args);

struct CliRun {
  int rc = -1;
  std::string out;
  std::string err;
};

// Runs lyrano-cli with `args` (shell text, as for CliCommand) and the variable
// assignments `env` ("NAME='value' ..."), capturing stdout, stderr and the exit
// status. Fails the current test when lyrano-cli has not been built.
CliRun RunCli(std::string_view args, std::string_view env = {});

}  // namespace testsupport
