// tags FILE...: what the player takes from each file's tags for its playlist row.
#include <string>
#include <string_view>

#include "cli.h"
#include "common/codepage.h"
#include "tags/TitleFromTags.h"

namespace {

// The player trims both texts again before use (bytes up to 0x20 at both ends).
std::string_view TrimAnsi(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.remove_suffix(1);
  return s;
}

int Tags(const std::vector<std::string>& args) {
  if (args.empty()) {
    cli::ErrorLine("usage: lyrano-cli tags FILE...");
    return cli::kUsage;
  }
  SetTagErrorReporter([](const std::string& message) { cli::ErrorLine(message); });
  for (const std::string& file : args) {
    std::string title;
    std::string singer;
    TitleFromTags(cp::Utf8ToAnsi(file), title, singer);
    cli::Record(
        {cli::EscapeField(file), cli::Field(TrimAnsi(title)), cli::Field(TrimAnsi(singer))});
  }
  SetTagErrorReporter(nullptr);
  return cli::kOk;
}

const cli::CliCommand kTags("tags", "tags FILE...",
                            "title and singer of local audio files, as the playlist shows them",
                            Tags);

}  // namespace
