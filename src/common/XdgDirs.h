// The per-user base folders of the desktop: where settings and user data go.
// A variable that is unset, empty or not an absolute path counts as unset, and
// its default under the home folder is used. No shared state: thread-safe.
#pragma once

#include <filesystem>

namespace xdg {

// $HOME, or the account's home folder when HOME is unset.
std::filesystem::path HomeDir();
// $XDG_CONFIG_HOME, default $HOME/.config.
std::filesystem::path ConfigHome();
// $XDG_DATA_HOME, default $HOME/.local/share.
std::filesystem::path DataHome();

}  // namespace xdg
