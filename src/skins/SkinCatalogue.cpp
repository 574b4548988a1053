#include "skins/SkinCatalogue.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/codepage.h"

namespace fs = std::filesystem;

namespace skins {

bool IsSkinFolderName(std::string_view name) {
  return !name.empty() && name.front() != '.' && name.find("skin") != std::string_view::npos;
}

std::optional<TSkinList> ListSkins(std::string_view appDir, std::string_view currentSkin) {
  const fs::path dataDir = cp::AnsiToPath(std::string(appDir)) / "data";
  std::error_code ec;
  fs::directory_iterator it(dataDir, ec);
  if (ec) return std::nullopt;
  TSkinList list;
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    std::error_code typeEc;
    // is_directory follows links, as a link to a folder opens like a folder.
    if (!it->is_directory(typeEc) || typeEc) continue;
    std::string name = cp::PathToAnsi(it->path().filename());
    if (!IsSkinFolderName(name)) continue;
    list.Names.push_back(std::move(name));
  }
  // An error part-way through (the folder vanished) keeps what was listed.
  // The file system's order is arbitrary (hash order on ext4): sort by the
  // bytes of the name so the combo box reads the same on every start.
  std::sort(list.Names.begin(), list.Names.end());
  auto current = std::find(list.Names.begin(), list.Names.end(), currentSkin);
  if (current != list.Names.end()) list.SkinIndex = static_cast<int>(current - list.Names.begin());
  return list;
}

std::string SkinFolder(std::string_view appDir, std::string_view skin) {
  std::string folder(appDir);
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  folder += "data/";
  folder += skin;
  folder += '/';
  return folder;
}

std::string SkinFile(std::string_view appDir, std::string_view skin, std::string_view file) {
  return SkinFolder(appDir, skin) + std::string(file);
}

}  // namespace skins
