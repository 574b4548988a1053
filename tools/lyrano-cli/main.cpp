#include <cstdio>
#include <exception>
#include <map>
#include <memory>

#include "cli.h"
#include "common/codepage.h"

namespace cli {
namespace {

struct Entry {
  std::string usage;
  std::string help;
  Handler handler;
};

std::map<std::string, Entry>& Registry() {
  static std::map<std::string, Entry> registry;
  return registry;
}

void PrintHelp(std::FILE* out) {
  std::fputs("usage: lyrano-cli COMMAND [ARGS]\n\ncommands:\n", out);
  for (const auto& [name, entry] : Registry()) {
    std::fprintf(out, "  %-34s %s\n", entry.usage.c_str(), entry.help.c_str());
  }
}

}  // namespace

CliCommand::CliCommand(std::string name, std::string usage, std::string help, Handler handler) {
  Registry().emplace(std::move(name), Entry{std::move(usage), std::move(help), std::move(handler)});
}

std::string EscapeField(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\0': out += "\\0"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Field(std::string_view ansi) { return EscapeField(cp::AnsiToUtf8(ansi)); }

void Record(const std::vector<std::string>& escapedFields) {
  std::string line;
  for (size_t i = 0; i < escapedFields.size(); ++i) {
    if (i > 0) line += '\t';
    line += escapedFields[i];
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
}

void ErrorLine(std::string_view ansi) {
  std::string line = cp::AnsiToUtf8(ansi);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace cli

int main(int argc, char** argv) {
  using namespace cli;
  if (argc < 2 || std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h") {
    PrintHelp(argc < 2 ? stderr : stdout);
    return argc < 2 ? kUsage : kOk;
  }
  auto it = Registry().find(argv[1]);
  if (it == Registry().end()) {
    std::fprintf(stderr, "lyrano-cli: unknown command '%s'\n", argv[1]);
    PrintHelp(stderr);
    return kUsage;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  try {
    int rc = it->second.handler(args);
    std::fflush(stdout);
    return rc;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    ErrorLine(e.what());
    return kUsage;
  }
}
