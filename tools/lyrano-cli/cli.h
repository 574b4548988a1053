// lyrano-cli: the rule author's tool. Output is UTF-8, one record per line,
// fields separated by TAB, LF line ends; inside a field LF, CR, TAB, NUL and
// backslash are written \n \r \t \0 \\.
// Exit codes: 0 success; 1 an expected failure the operation reports; 2 a usage
// error or a raised error, its text on stderr.
//
// Each cmd_*.cpp registers its commands with a static CliCommand object.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

using Handler = std::function<int(const std::vector<std::string>& args)>;

struct CliCommand {
  // The handler checks its own arguments.
  CliCommand(std::string name, std::string usage, std::string help, Handler handler);
  // The dispatcher rejects fewer than minArgs or more than maxArgs arguments
  // with "usage: lyrano-cli USAGE" (exit 2) before the handler runs.
  CliCommand(std::string name, std::string usage, std::string help, size_t minArgs, size_t maxArgs,
             Handler handler);
};

constexpr size_t kAnyCount = static_cast<size_t>(-1);

// Escapes one field (already UTF-8) as described above.
std::string EscapeField(std::string_view utf8);
// Converts internal (local code page) text to UTF-8 and escapes it.
std::string Field(std::string_view ansi);
// Writes the fields joined by TAB and a LF to stdout.
void Record(const std::vector<std::string>& escapedFields);
// Writes a message line to stderr (UTF-8; ansi text is converted).
void ErrorLine(std::string_view ansi);
// A command-line argument (UTF-8) as internal text in the local code page.
// Throws lyrano::EncodingError (exit 2) when it is not well-formed UTF-8, so a
// mistyped argument never turns silently into '?'.
std::string Arg(std::string_view utf8);

}  // namespace cli
