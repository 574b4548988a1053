// Where the player keeps the files it writes (Main.ini and playlist.txt): the
// program folder, as always, while that folder is writable and not a
// package's (a file "packaged" in it); otherwise (an installed copy under a
// system prefix) a per-user copy of the program folder's files in
// $XDG_DATA_HOME/lyrano, made on the first start. Plain functions; paths in
// the local code page with a trailing "/".
#pragma once

#include <filesystem>
#include <string>

// The folder for `appDir` on this machine.
std::string UserFolder(const std::string& appDir);

// The same with the decision's inputs given: `appDirWritable` says whether
// the program folder takes new files, `dataHome` is $XDG_DATA_HOME. Creates
// the per-user folder and copies Main.ini and playlist.txt into it when they
// are in the program folder and not yet there. A per-user folder that cannot
// be made leaves the program folder in use (writes then fail as they did).
std::string UserFolderFor(const std::string& appDir, bool appDirWritable,
                          const std::filesystem::path& dataHome);
