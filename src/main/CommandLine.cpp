#include "main/CommandLine.h"

#include <string_view>

#ifndef LYRANO_VERSION
#define LYRANO_VERSION "unknown"
#endif

namespace cmdline {
namespace {

bool Blank(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

}  // namespace

std::string Absolute(const std::string& arg, const std::string& workingFolder) {
  size_t first = 0;
  size_t last = arg.size();
  while (first < last && Blank(arg[first])) ++first;
  while (last > first && Blank(arg[last - 1])) --last;
  if (first == last || arg[first] == '/' || workingFolder.empty()) return arg;
  std::string out = workingFolder;
  if (out.back() != '/') out += '/';
  return out.append(arg, first, last - first);
}

TCommandLine Parse(const std::vector<std::string>& args, const std::string& workingFolder) {
  TCommandLine line;
  bool options = true;
  for (const std::string& arg : args) {
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      return {TAction::Help, {}, {}};
    } else if (options && arg == "--version") {
      return {TAction::Version, {}, {}};
    } else if (options && arg.starts_with("--")) {
      return {TAction::Refuse, {}, arg};
    } else {
      line.Files.push_back(Absolute(arg, workingFolder));
    }
  }
  return line;
}

std::string Usage() {
  return "Usage: lyrano [FILE]\n"
         "       lyrano [OPTION]\n"
         "\n"
         "Lyrano plays music with its lyrics. Started with FILE (an .mp3, .wma or\n"
         "other sound file) it plays it once the online features are ready. When\n"
         "Lyrano is running already, FILE goes to the running player, which comes\n"
         "forward and plays it; without FILE the running player only comes forward.\n"
         "Of several files only the first is played.\n"
         "\n"
         "Options:\n"
         "  -h, --help     show this help and exit\n"
         "      --version  show the version and exit\n"
         "  --             what follows is a file, even when it begins with \"--\"\n";
}

std::string VersionText() {
  return "Lyrano " LYRANO_VERSION "\n";
}

std::string RefusedText(const std::string& option) {
  return "lyrano: unknown option \"" + option + "\"\nTry \"lyrano --help\".\n";
}

}  // namespace cmdline
