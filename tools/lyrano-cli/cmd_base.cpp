// match PATTERN [FILE]: every match of a rule pattern, as the rule engine applies it.
// fetch URL: a page as FetchPage returns it (local code page bytes, raw).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "cli.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "online/IEgetHttp.h"
#include "online/RegExpr.h"

namespace {

// The bytes of FILE (internal name) or of stdin for "" and "-"; nullopt when
// there is no file at the name (an expected failure, not a raised error).
std::optional<std::string> ReadAll(const std::string& name) {
  if (name.empty() || name == "-") {
    std::string data;
    char buf[65536];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, stdin)) > 0) data.append(buf, n);
    if (std::ferror(stdin)) throw lyrano::FileError("Cannot read standard input");
    return data;
  }
  const std::filesystem::path path = cp::AnsiToPath(name);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return std::nullopt;
  if (std::filesystem::is_directory(path, ec)) {
    throw lyrano::FileError("Cannot open file \"" + name + "\". Is a directory");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw lyrano::FileError("Cannot open file \"" + name + "\".");
  std::string data;
  try {
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception& e) {
    throw lyrano::FileError("Cannot read file \"" + name + "\". " + e.what());
  }
  if (in.bad()) throw lyrano::FileError("Cannot read file \"" + name + "\".");
  return data;
}

int Match(const std::vector<std::string>& args) {
  const std::string pattern = cli::Arg(args[0]);
  const std::string name = args.size() == 2 ? cli::Arg(args[1]) : std::string();
  // Rule patterns always run with "(?i)" in front, as the search and lookup do.
  TRegExpr re("(?i)" + pattern);
  const std::optional<std::string> input = ReadAll(name);
  if (!input) {
    cli::ErrorLine("Cannot open file \"" + name + "\". No such file or directory");
    return cli::kFailed;
  }
  re.SetInputString(*input);
  if (!re.Exec()) return cli::kFailed;
  int m = 0;
  do {
    for (int g = 0; g <= re.SubExprMatchCount(); ++g) {
      cli::Record({std::to_string(m), std::to_string(g), cli::Field(re.Match(g))});
    }
    ++m;
  } while (re.ExecNext());
  return cli::kOk;
}

int Fetch(const std::vector<std::string>& args) {
  const std::string url = cli::Arg(args[0]);
  std::string page;
  if (!IEgetHttp::FetchPage(url, page)) {
    cli::ErrorLine("fetch failed: " + url);
    return cli::kFailed;
  }
  std::fwrite(page.data(), 1, page.size(), stdout);
  return cli::kOk;
}

const cli::CliCommand kMatch("match", "match PATTERN [FILE]",
                             "each match and group of (?i)PATTERN over FILE or stdin", 1, 2, Match);
const cli::CliCommand kFetch("fetch", "fetch URL",
                             "a page as the player fetches it, raw local code page bytes", 1, 1,
                             Fetch);

}  // namespace
