#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir() {
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path p = fs::temp_directory_path() / ("lyrano-test-" + std::to_string(rd()));
    std::error_code ec;
    if (fs::create_directory(p, ec)) {
      path_ = p;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string IcyBody(std::string_view audio, size_t interval,
                    const std::map<size_t, std::string>& packets,
                    std::vector<size_t>* blockStarts) {
  std::string body;
  size_t n = 1;
  for (size_t i = 0; i < audio.size(); i += interval, ++n) {
    body += audio.substr(i, interval);
    if (blockStarts != nullptr) blockStarts->push_back(body.size());
    auto it = packets.find(n);
    std::string packet = it != packets.end() ? it->second : std::string();
    size_t units = std::min<size_t>((packet.size() + 15) / 16, 255);
    packet.resize(units * 16, '\0');
    body += static_cast<char>(units);
    body += packet;
  }
  return body;
}

LoopbackServer::LoopbackServer() = default;

void LoopbackServer::Start() {
  port_ = server_.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("cannot bind a loopback port");
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  for (int i = 0; i < 500 && !server_.is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

LoopbackServer::~LoopbackServer() {
  server_.stop();
  if (thread_.joinable()) thread_.join();
}

std::string LoopbackServer::base() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

int RunCommand(const std::string& command, std::string* output) {
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::array<char, 4096> buf{};
  size_t n = 0;
  while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) {
    if (output != nullptr) output->append(buf.data(), n);
  }
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellQuote(std::string_view s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

void MakeTone(const fs::path& out, const ToneSpec& spec) {
  std::ostringstream cmd;
  cmd << "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
      << ShellQuote("sine=frequency=" + std::to_string(spec.frequency) + ":sample_rate=" +
                    std::to_string(spec.rate) + ":duration=" + std::to_string(spec.seconds))
      << " -ac " << spec.channels;
  if (!spec.title.empty()) cmd << " -metadata " << ShellQuote("title=" + spec.title);
  if (!spec.artist.empty()) cmd << " -metadata " << ShellQuote("artist=" + spec.artist);
  if (!spec.extraArgs.empty()) cmd << ' ' << spec.extraArgs;
  cmd << ' ' << ShellQuote(out.string()) << " 2>&1";
  std::string output;
  int rc = RunCommand(cmd.str(), &output);
  ASSERT_EQ(rc, 0) << "ffmpeg failed: " << cmd.str() << "\n" << output;
}

fs::path BuiltProgram(std::string_view name) {
  return fs::path(LYRANO_BINARY_DIR) / name;
}

std::string CliCommand(std::string_view args) {
  return ShellQuote(BuiltProgram("lyrano-cli").string()) + " " + std::string(args);
}

CliRun RunCli(std::string_view args, std::string_view env) {
  EXPECT_TRUE(fs::exists(BuiltProgram("lyrano-cli"))) << "build lyrano-cli first";
  TempDir dir;
  const fs::path errFile = dir / "stderr";
  CliRun run;
  run.rc = RunCommand(
      std::string(env) + " " + CliCommand(args) + " 2>" + ShellQuote(errFile.string()), &run.out);
  run.err = ReadFile(errFile);
  return run;
}

}  // namespace testsupport
