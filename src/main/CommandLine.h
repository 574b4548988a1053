// What the command line asks for, read from the arguments' bytes before
// anything else starts: help and the version are answered by the process
// itself and never reach a running player. Plain functions, any thread.
#pragma once

#include <string>
#include <vector>

namespace cmdline {

enum class TAction {
  Run,      // play Files (possibly none): start, or hand over to the running player
  Help,     // print Usage() and end
  Version,  // print VersionText() and end
  Refuse,   // an unknown option: say so and end with kRefusedExit
};

inline constexpr int kRefusedExit = 2;

struct TCommandLine {
  TAction Action = TAction::Run;
  // The file arguments in order (file-name bytes), relative ones made
  // absolute against the working folder; "--" and the options left out.
  std::vector<std::string> Files;
  std::string Option;  // the refused option
};

// Reads `args` (without the program name). "-h"/"--help" and "--version"
// win where they stand; any other argument starting with "--" is refused;
// after "--" everything is a file. Other arguments are files.
TCommandLine Parse(const std::vector<std::string>& args, const std::string& workingFolder);

// `arg` itself when it is absolute or blank; otherwise `workingFolder` + "/"
// + `arg` without the blanks around it (those the player trims anyway, and
// they would otherwise stand inside the path). Bytes only: no character set,
// no links resolved. An empty `workingFolder` leaves `arg` as it is.
std::string Absolute(const std::string& arg, const std::string& workingFolder);

// The usage and the version, UTF-8, each ending in a newline.
std::string Usage();
std::string VersionText();
// The line for stderr when `option` is refused.
std::string RefusedText(const std::string& option);

}  // namespace cmdline
