#include <algorithm>
#include <cstdio>
#include <exception>
#include <map>
#include <memory>

#include "cli.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "online/IEgetHttp.h"

namespace cli {
namespace {

struct Entry {
  std::string usage;
  std::string help;
  Handler handler;
  size_t minArgs = 0;
  size_t maxArgs = kAnyCount;
};

std::map<std::string, Entry>& Registry() {
  static std::map<std::string, Entry> registry;
  return registry;
}

void PrintHelp(std::FILE* out) {
  std::fputs("usage: lyrano-cli COMMAND [ARGS]\n\ncommands:\n", out);
  int width = 0;
  for (const auto& [name, entry] : Registry()) {
    width = std::max(width, static_cast<int>(entry.usage.size()));
  }
  for (const auto& [name, entry] : Registry()) {
    std::fprintf(out, "  %-*s  %s\n", width, entry.usage.c_str(), entry.help.c_str());
  }
}

}  // namespace

CliCommand::CliCommand(std::string name, std::string usage, std::string help, Handler handler)
    : CliCommand(std::move(name), std::move(usage), std::move(help), 0, kAnyCount,
                 std::move(handler)) {}

CliCommand::CliCommand(std::string name, std::string usage, std::string help, size_t minArgs,
                       size_t maxArgs, Handler handler) {
  Registry().emplace(std::move(name), Entry{std::move(usage), std::move(help), std::move(handler),
                                            minArgs, maxArgs});
}

std::string EscapeField(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Field(std::string_view ansi) {
  return EscapeField(cp::AnsiToUtf8(ansi));
}

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

std::string Arg(std::string_view utf8) {
  if (IEgetHttp::ClassifyUtf8(utf8) == IEgetHttp::Utf8Class::NotUtf8) {
    // Shown with the bytes that are not ASCII as \xNN, so the message itself stays UTF-8.
    std::string shown;
    for (unsigned char c : utf8) {
      if (c >= 0x20 && c < 0x7F) {
        shown += static_cast<char>(c);
      } else {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        shown += hex;
      }
    }
    throw lyrano::EncodingError("argument is not valid UTF-8: " + shown);
  }
  return cp::Utf8ToAnsi(utf8);
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
  if (args.size() < it->second.minArgs || args.size() > it->second.maxArgs) {
    ErrorLine("usage: lyrano-cli " + it->second.usage);
    return kUsage;
  }
  int rc = kUsage;
  try {
    rc = it->second.handler(args);
  } catch (const std::exception& e) {
    std::fflush(stdout);
    ErrorLine(e.what());
  }
  // Output that did not arrive (a full disk, a closed pipe) is no success.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    ErrorLine("lyrano-cli: cannot write standard output");
    return kUsage;
  }
  return rc;
}
