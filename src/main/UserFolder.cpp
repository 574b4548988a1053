#include "main/UserFolder.h"

#include <unistd.h>

#include <system_error>

#include "common/XdgDirs.h"
#include "common/codepage.h"

namespace fs = std::filesystem;

std::string UserFolder(const std::string& appDir) {
  // A package's folder belongs to the package manager even where this user
  // (root) may write to it: what the player wrote there would outlive the
  // package's removal.
  std::error_code ec;
  const bool packaged = fs::exists(cp::AnsiToPath(appDir + "packaged"), ec);
  const bool writable = !packaged && ::access(cp::AnsiToPath(appDir).c_str(), W_OK) == 0;
  return UserFolderFor(appDir, writable, xdg::DataHome());
}

std::string UserFolderFor(const std::string& appDir, bool appDirWritable,
                          const fs::path& dataHome) {
  if (appDirWritable) return appDir;
  const fs::path folder = dataHome / "lyrano";
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) return appDir;
  for (const char* name : {"Main.ini", "playlist.txt"}) {
    // A copy of a read-only file is still the user's own to change.
    if (fs::copy_file(cp::AnsiToPath(appDir + name), folder / name, fs::copy_options::skip_existing,
                      ec)) {
      fs::permissions(folder / name, fs::perms::owner_read | fs::perms::owner_write,
                      fs::perm_options::add, ec);
    }
  }
  std::string out = cp::PathToAnsi(folder);
  if (out.back() != '/') out += '/';
  return out;
}
