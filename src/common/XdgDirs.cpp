#include "common/XdgDirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace fs = std::filesystem;

namespace xdg {

namespace {

const char* AbsoluteVar(const char* name) {
  const char* v = std::getenv(name);
  return (v != nullptr && v[0] == '/') ? v : nullptr;
}

}  // namespace

fs::path HomeDir() {
  if (const char* home = AbsoluteVar("HOME")) return home;
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return "/";
}

fs::path ConfigHome() {
  if (const char* v = AbsoluteVar("XDG_CONFIG_HOME")) return v;
  return HomeDir() / ".config";
}

fs::path DataHome() {
  if (const char* v = AbsoluteVar("XDG_DATA_HOME")) return v;
  return HomeDir() / ".local" / "share";
}

}  // namespace xdg
