// lrc FILE       the lyric timeline of an LRC file: SECONDS TAB TEXT per line.
// playlist FILE  the entries of a playlist file: TITLE TAB SINGER TAB SONGID TAB PATH.
#include <string>
#include <vector>

#include "cli.h"
#include "lyrics/LrcParser.h"
#include "playlist/PlaylistFile.h"

namespace {

int LrcCommand(const std::vector<std::string>& args) {
  const std::string path = cli::Arg(args[0]);
  TLyricTimeline timeline;
  if (!LoadLyricFile(timeline, path)) {
    cli::ErrorLine("no such file: " + path);
    return cli::kFailed;
  }
  for (size_t k = 0; k < timeline.Count(); ++k) {
    cli::Record({cli::Field(timeline.Times[k]), cli::Field(timeline.Texts[k])});
  }
  return cli::kOk;
}

int PlaylistCommand(const std::vector<std::string>& args) {
  const std::string path = cli::Arg(args[0]);
  TPlaylistReadResult result = ReadPlaylistFile(path);
  if (result.Status == TPlaylistReadStatus::Missing) {
    cli::ErrorLine("no such file: " + path);
    return cli::kFailed;
  }
  for (const TPlaylistEntry& e : result.Entries) {
    cli::Record({cli::Field(e.Title), cli::Field(e.geshou), std::to_string(e.SongId),
                 cli::Field(e.mp3Patch)});
  }
  if (result.Status == TPlaylistReadStatus::Malformed) {
    cli::ErrorLine(result.Error);
    return cli::kUsage;
  }
  return cli::kOk;
}

const cli::CliCommand kLrc("lrc", "lrc FILE", "print the lyric timeline of an LRC file", 1, 1,
                           LrcCommand);
const cli::CliCommand kPlaylist("playlist", "playlist FILE", "print the entries of a playlist file",
                                1, 1, PlaylistCommand);

}  // namespace
