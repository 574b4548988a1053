// Which folders under the program's data folder are skins, and where a skin's
// files lie. Texts are bytes in the local code page; AppDir is the program
// folder with a trailing separator. Pure functions, any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace skins {

// The default skin folder and the Main.ini setting that names the current one.
inline constexpr std::string_view kDefaultSkin = "skin";
inline constexpr std::string_view kSkinSection = "skincfg";
inline constexpr std::string_view kSkinKey = "skindir";

// A folder name counts as a skin when it does not begin with '.' and contains
// the lowercase letters "skin" (case-sensitive: "Skin2" does not count).
bool IsSkinFolderName(std::string_view name);

struct TSkinList {
  // Sorted by the bytes of the name as stored (local code page), so capitals
  // come before small letters: "Zskin", "myskin", "skin", "skin_jade".
  std::vector<std::string> Names;
  int SkinIndex = -1;  // position of the current skin in Names, -1 if absent
};

// The folders directly in AppDir + "data/" that count as skins (symbolic links
// to folders included). nullopt when the data folder cannot be enumerated: the
// caller then leaves its list and index as they were.
std::optional<TSkinList> ListSkins(std::string_view appDir, std::string_view currentSkin);

// AppDir + "data/" + skin + "/" (AppDir gets a '/' when it lacks a separator).
std::string SkinFolder(std::string_view appDir, std::string_view skin);
// SkinFolder(appDir, skin) + file.
std::string SkinFile(std::string_view appDir, std::string_view skin, std::string_view file);

}  // namespace skins
