// The association on a freedesktop desktop. The registry layer keeps the
// association's state; the association-changed notice brings the desktop in
// line with it:
//   - while a file type of ours has an open command, the desktop entry
//     lyrano.desktop in the user's applications folder starts that program;
//     once none has, the entry it replaced comes back (or it goes);
//   - while an extension's effective file type is ours (the user's Explorer
//     choice when there is one, else the extension key's default), the entry
//     is the default application of the extension's media type in the user's
//     mimeapps.list; the earlier default is kept aside once and put back
//     exactly when the extension stops being ours.
// A registry file that does not exist yet starts with the extension keys of a
// desktop that knows these types: their default values name the applications
// the desktop opens them with today. docs/file-association.md has the details.
//
// Window's thread only. Failures raise lyrano::FileError.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "fileass/FileAss.h"
#include "fileass/Registry.h"

namespace fileass {

struct THandledType {
  std::string_view Extension;
  std::string_view MimeType;
};
inline constexpr THandledType kHandledTypes[] = {{"mp3", "audio/mpeg"}, {"wma", "audio/x-ms-wma"}};
inline constexpr std::string_view kDesktopId = "lyrano.desktop";

// Where the association lives for the current user.
struct TDesktopPlaces {
  std::filesystem::path Applications;  // $XDG_DATA_HOME/applications
  std::filesystem::path MimeAppsList;  // $XDG_CONFIG_HOME/mimeapps.list
  std::filesystem::path Registry;      // $XDG_CONFIG_HOME/lyrano/registry.ini
  std::filesystem::path Defaults;      // $XDG_CONFIG_HOME/lyrano/defaults.ini: earlier defaults
  std::filesystem::path EarlierEntry;  // .../lyrano/lyrano.desktop.earlier: an entry ours replaced
  static TDesktopPlaces FromEnvironment();
};

// The desktop entry that opens files with `program` (UTF-8 path).
std::string DesktopEntryText(std::string_view program, std::string_view icon);
// One argument of a desktop entry's Exec line, quoted where it must be.
std::string DesktopExecArgument(std::string_view arg);

// The association-changed notice.
void ApplyAssociationToDesktop(const reg::TRegistryStore& registry, const TDesktopPlaces& places);

// The keys a fresh registry starts with.
std::vector<reg::TRegistrySeed> DesktopSeed(const TDesktopPlaces& places);

// The association as the player runs it: the registry file seeded from the
// desktop and the notice applying it.
class TDesktopAssociation {
 public:
  TDesktopAssociation(std::string programPath, TDesktopPlaces places);
  TFileAss& FileAss() { return fileAss_; }

 private:
  TDesktopPlaces places_;
  reg::TIniRegistry registry_;
  TFileAss fileAss_;
};

}  // namespace fileass
