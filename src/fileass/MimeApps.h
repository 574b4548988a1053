// Editing the desktop's list of default applications (mimeapps.list) one
// entry at a time: every other byte of the file stays as it was, and an edit
// can be undone exactly. Pure functions over the file's text (UTF-8).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mimeapps {

inline constexpr std::string_view kDefaultSection = "Default Applications";

// The trimmed value of `mime` in the first [Default Applications] section;
// nullopt when there is none.
std::optional<std::string> DefaultFor(std::string_view text, std::string_view mime);

// The type's entry before SetDefault, so that RestoreDefault can undo it.
struct TDefaultBackup {
  bool HadEntry = false;  // the type had an entry; EarlierValue is its text after '='
  std::string EarlierValue;
};

struct TSetResult {
  std::string Text;
  TDefaultBackup Backup;
  bool AddedSection = false;  // the section was appended at the end of the file
  bool AddedLineEnd = false;  // ... after ending the file's unterminated last line
};

// Makes `desktopId` the default for `mime`: the value of its first entry is
// replaced in place, or an entry is added after the section's last entry, or
// the section is appended.
TSetResult SetDefault(std::string_view text, std::string_view mime, std::string_view desktopId);

// Undoes SetDefault while the entry still names `desktopId`: the earlier value
// comes back, or the added entry goes. A default the user has chosen since is
// left alone and the text returned unchanged.
std::string RestoreDefault(std::string_view text, std::string_view mime, std::string_view desktopId,
                           const TDefaultBackup& backup);

// Removes a [Default Applications] section that holds no line at all (one
// SetDefault appended and every entry since restored), and with
// `addedLineEnd` the line end added before it. Otherwise returns the text.
std::string RemoveEmptySection(std::string_view text, bool addedLineEnd);

}  // namespace mimeapps
