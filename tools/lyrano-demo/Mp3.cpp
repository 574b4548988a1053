#include "Mp3.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace demo {
namespace {

namespace fs = std::filesystem;

// A temporary folder removed with everything in it when this goes.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "lyrano-demo-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Runs `args` (args[0] found on PATH) with no input and no output; its exit code.
int Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string EncodeMp3(const std::string& wav, const std::string& title, const std::string& singer) {
  TempFolder folder;
  const fs::path in = folder.path() / "song.wav";
  const fs::path out = folder.path() / "song.mp3";
  {
    std::ofstream file(in, std::ios::binary);
    file.write(wav.data(), static_cast<std::streamsize>(wav.size()));
    if (!file) throw std::runtime_error("cannot write " + in.string());
  }
  const int rc = Run({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i",
                      in.string(), "-codec:a", "libmp3lame", "-b:a", "96k", "-metadata",
                      "title=" + title, "-metadata", "artist=" + singer, out.string()});
  if (rc != 0) {
    throw std::runtime_error(rc < 0 ? "cannot run ffmpeg (is it installed?)"
                                    : "ffmpeg could not encode the MP3 streams");
  }
  std::ifstream file(out, std::ios::binary);
  std::string mp3((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (mp3.empty()) throw std::runtime_error("ffmpeg wrote no MP3");
  return mp3;
}

}  // namespace demo
