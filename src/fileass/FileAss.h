// Making the player the program that opens .mp3 and .wma files, and giving
// that role back, in the registry layer. Claiming an extension keeps its
// earlier file type in a backup value so that releasing it restores what was
// there before.
//
// Window's thread only. A registry operation that fails ends that extension's
// claim or release at that step, with the earlier steps done; nothing is
// raised or shown, and AssociateFiles goes on with the next extension.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fileass/Registry.h"

namespace fileass {

// The extensions handled, in the order they are claimed and released.
inline constexpr std::string_view kExtensions = "MP3;WMA";
// The backup value's name, the same in both registry places.
inline constexpr std::string_view kBackupValue = "LyranoAssType.bak";
inline constexpr std::string_view kExplorerFileExts =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

// The association-changed notices.
inline constexpr uint32_t SHCNE_ASSOCCHANGED = 0x08000000;
inline constexpr uint32_t SHCNE_EXTENDED_EVENT = 0x04000000;

// kExtensions split at ';', each in lowercase: "mp3", "wma".
std::vector<std::string> HandledExtensions();
// "." + ext, under HKEY_CLASSES_ROOT.
std::string ExtensionKey(std::string_view ext);
// "LyranoAssType." + ext.
std::string FileType(std::string_view ext);
// The Explorer key of ext, under HKEY_CURRENT_USER.
std::string ExplorerKey(std::string_view ext);
// "<program>,0" and "\"<program>\" \"%1\"".
std::string IconValue(std::string_view programPath);
std::string OpenCommand(std::string_view programPath);

class TFileAss {
 public:
  // `programPath`: the full path of the running program file (local code
  // page). `changeNotify` receives the association-changed notices; an error
  // it raises ends the extension at that step like a registry failure.
  TFileAss(reg::TRegistryStore& registry, std::string programPath,
           std::function<void(uint32_t event)> changeNotify);

  // Claims (on) or releases (off) every handled extension, in list order.
  void AssociateFiles(bool on);
  void ClaimExtension(std::string_view ext);
  void ReleaseExtension(std::string_view ext);
  // The extension key holds the backup value. A registry that cannot be read
  // answers false.
  bool IsExtensionClaimed(std::string_view ext) const;

 private:
  void Claim(std::string_view ext);
  void Release(std::string_view ext);

  reg::TRegistryStore& registry_;
  std::string programPath_;
  std::function<void(uint32_t)> changeNotify_;
};

}  // namespace fileass
