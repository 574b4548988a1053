// tags FILE...: what the player takes from each file's tags for its playlist row.
#include <string>
#include <vector>

#include "cli.h"
#include "common/funPub.h"
#include "tags/TitleFromTags.h"

namespace {

int Tags(const std::vector<std::string>& args) {
  std::vector<std::string> names;
  for (const std::string& file : args) names.push_back(cli::Arg(file));
  SetTagErrorReporter([](const std::string& message) { cli::ErrorLine(message); });
  for (size_t i = 0; i < args.size(); ++i) {
    std::string title;
    std::string singer;
    TitleFromTags(names[i], title, singer);
    // The player trims both texts again before use.
    cli::Record({cli::EscapeField(args[i]), cli::Field(funPub::Trim(title)),
                 cli::Field(funPub::Trim(singer))});
  }
  SetTagErrorReporter(nullptr);
  return cli::kOk;
}

const cli::CliCommand kTags("tags", "tags FILE...",
                            "title and singer of local audio files, as the playlist shows them", 1,
                            cli::kAnyCount, Tags);

}  // namespace
