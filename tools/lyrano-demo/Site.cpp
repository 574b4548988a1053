#include "Site.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Catalogue.h"
#include "Mp3.h"
#include "Synth.h"
#include "common/codepage.h"
#include "common/funPub.h"

namespace demo {
namespace {

constexpr size_t kPageSize = 5;

// The address the client used to reach us, for absolute links; a Host field
// with anything but host-name characters is not echoed back.
std::string Host(const httplib::Request& req) {
  std::string host = req.get_header_value("Host");
  const bool clean = !host.empty() && host.size() < 256 &&
                     host.find_first_not_of(
                         "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                         "0123456789.-:[]") == std::string::npos;
  return clean ? host : "127.0.0.1:" + std::to_string(req.local_port);
}

// Text for element content and double-quoted attributes. Apostrophes stay as
// they are, as on real sites: the player turns them into double quotes.
std::string Html(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

int IntParam(const httplib::Request& req, const char* name, int fallback) {
  const std::string text = req.get_param_value(name);
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return (ec == std::errc() && end == text.data() + text.size()) ? value : fallback;
}

const char* kHtml = "text/html; charset=utf-8";

// The rule page: every pattern below fits the pages of this site. Values are
// HTML text, so < > " & are written as entities. geshou stands before
// emptygeshou because keys are found as substrings.
std::string RulePage(const std::string& host) {
  std::string region = R"(
listcat=【&lt;ul class=&quot;song-list&quot;&gt;(.+?)&lt;/ul&gt;】
tempOne=【&lt;li class=&quot;song-item&quot;&gt;(.+?)&lt;/li&gt;】
songid=【data-songid=&quot;(\d+)&quot;】
gequ=【&lt;a class=&quot;song-title&quot;[^&gt;]*&gt;(.+?)&lt;/a&gt;】
geshou=【&lt;span class=&quot;singer&quot;&gt;(.+?)&lt;/span&gt;】
emptygeshou=【class=&quot;singer-none&quot;】
nextpage=【&lt;a class=&quot;page-next&quot; href=&quot;(.+?)&quot;&gt;】
prevpage=【&lt;a class=&quot;page-prev&quot; href=&quot;(.+?)&quot;&gt;】
boxurl=【{HOST}/box/lookup?title=《歌名》&amp;singer=《歌手》&amp;r=《钥匙》】
encode=【&lt;encode&gt;&lt;!\[CDATA\[(.+?)\]\]&gt;&lt;/encode&gt;】
httpdir=【http://{HOST}/audio/】
decode=【&lt;decode&gt;&lt;!\[CDATA\[(.+?)\]\]&gt;&lt;/decode&gt;】
lrcid=【&lt;lrcid&gt;(\d+)&lt;/lrcid&gt;】
jsurl=【{HOST}/song/info?songid=《歌曲ID》&amp;callback=songinfo】
jsmp3=【&quot;songlink&quot;:&quot;(.+?)&quot;】
jsxcode=【&quot;xcode&quot;:&quot;(.+?)&quot;】
jslrc=【&quot;lrclink&quot;:&quot;(.+?)&quot;】
ver=【1】
)";
  region = funPub::ReplaceAll(region, "{HOST}", host);
  return std::string(
             "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
             "<title>Lyrano 云库规则</title></head>\n<body>\n"
             "<h1>Lyrano 演示曲库的规则页</h1>\n"
             "<p>播放器启动时读取下面标记之间的规则。</p>\n<pre>\n"
             "【我的正则区域开始】") +
         region + "【我的正则区域结束】\n</pre>\n</body></html>\n";
}

std::string SearchLink(const std::string& keyword, size_t page) {
  return "search?jump=" + std::to_string(page) + "&amp;key=" + funPub::UrlEncode(keyword);
}

std::string TitleHtml(const Song& song, const std::string& keyword) {
  const std::string title = song.title;
  const size_t at = keyword.empty() ? std::string::npos : title.find(keyword);
  if (at == std::string::npos) return Html(title);
  return Html(title.substr(0, at)) + "<em>" + Html(keyword) + "</em>" +
         Html(title.substr(at + keyword.size()));
}

struct Page {
  std::string body;
  const char* type;
};

// The second result page of every search is written in GBK, as older sites
// still do; the others in UTF-8.
Page ResultPage(const std::string& keyword, int jump) {
  const std::vector<const Song*> found = SearchSongs(keyword);
  const size_t pages = (found.size() + kPageSize - 1) / kPageSize;
  const size_t page = jump < 0 ? 0 : static_cast<size_t>(jump);

  const bool gbk = page == 1;
  std::string html = std::string("<!DOCTYPE html>\n<html><head><meta charset=\"") +
                     (gbk ? "gbk" : "utf-8") + "\"><title>" + Html(keyword) +
                     " 的搜索结果 - Lyrano 演示曲库</title></head>\n<body>\n"
                     "<form action=\"/search\"><input type=\"hidden\" name=\"jump\" value=\"0\">"
                     "<input name=\"key\" value=\"" +
                     Html(keyword) + "\"><button>搜索</button></form>\n";
  html += "<p class=\"summary\">共找到 " + std::to_string(found.size()) + " 首歌曲";
  if (pages > 0) {
    html += "，第 " + std::to_string(page + 1) + " / " + std::to_string(pages) + " 页";
  }
  html += "</p>\n<ul class=\"song-list\">\n";
  for (size_t i = page * kPageSize; i < found.size() && i < (page + 1) * kPageSize; ++i) {
    const Song& song = *found[i];
    const std::string id = std::to_string(song.id);
    html += "<li class=\"song-item\"><input type=\"checkbox\" name=\"sid\" value=\"" + id +
            "\"><span class=\"index\">" + std::to_string(i + 1) +
            "</span> <a class=\"song-title\" href=\"/song/" + id + "\"" +
            (song.listedWithId ? " data-songid=\"" + id + "\"" : std::string()) + ">" +
            TitleHtml(song, keyword) + "</a> ";
    if (*song.singer != '\0') {
      html += "<span class=\"singer\"><a href=\"/" + SearchLink(song.singer, 0) + "\">" +
              Html(song.singer) + "</a></span>";
    } else {
      html += "<span class=\"singer\">群星</span><span class=\"singer-none\"></span>";
    }
    html += "</li>\n";
  }
  html += "</ul>\n<div class=\"pager\">";
  // The previous link is site-absolute and the next one relative: both forms
  // occur on real sites.
  if (page > 0 && page - 1 < pages) {
    html += "<a class=\"page-prev\" href=\"/" + SearchLink(keyword, page - 1) + "\">上一页</a> ";
  }
  if (page + 1 < pages) {
    html += "<a class=\"page-next\" href=\"" + SearchLink(keyword, page + 1) + "\">下一页</a>";
  }
  html += "</div>\n</body></html>\n";
  if (gbk) return {cp::Utf8ToAnsi(html), "text/html; charset=gbk"};
  return {html, kHtml};
}

// Where a song's stream is, below /audio/, by how it is served.
std::string StreamFile(const Song& song) {
  const std::string id = std::to_string(song.id);
  switch (song.delivery) {
    case Delivery::Wav:
      return id + ".wav";
    case Delivery::Mp3Redirect:
      return "go/" + id;
    case Delivery::Mp3:
    case Delivery::Mp3Chunked:
    case Delivery::Broken:
      break;
  }
  return id + ".mp3";
}

// JSON string content: the titles hold no control characters, only quotes
// and backslashes need escaping.
std::string JsonText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string SongInfo(const Song* song, const std::string& host, const std::string& callback) {
  if (song == nullptr) return callback + "({\"error\":22001,\"data\":null});";
  const std::string id = std::to_string(song->id);
  // Slashes escaped as JSON allows; the player strips the backslashes.
  // A song without words has no lyric link at all.
  const std::string lyric =
      HasLyrics(*song)
          ? "\"lrclink\":\"\\/bdlrc\\/" + std::to_string(song->id / 100) + "\\/" + id + ".lrc\","
          : std::string();
  const bool wav = song->delivery == Delivery::Wav;
  return callback + "({\"error\":0,\"data\":{\"songid\":" + id + ",\"title\":\"" +
         JsonText(song->title) + "\",\"singer\":\"" + JsonText(song->singer) +
         "\",\"album\":\"Lyrano \\u0026 friends\"," + "\"songlink\":\"http:\\/\\/" + host +
         "\\/audio\\/" + funPub::ReplaceAll(StreamFile(*song), "/", "\\/") + "\",\"xcode\":\"" +
         AccessCode(song->id) + "\"," + lyric + "\"format\":\"" + (wav ? "wav" : "mp3") +
         "\",\"rate\":22050}});";
}

std::string LookupAnswer(const Song* song, const std::string& host) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<result>";
  if (song == nullptr) return xml + "<count>0</count></result>\n";
  const std::string id = std::to_string(song->id);
  // The player takes the folder of <encode> and appends <decode>.
  const std::string file = StreamFile(*song);
  xml += "<count>1</count><data><title><![CDATA[" + std::string(song->title) +
         "]]></title><singer><![CDATA[" + song->singer + "]]></singer><encode><![CDATA[http://" +
         host + "/audio/" + file + "]]></encode><decode><![CDATA[" +
         file.substr(file.rfind('/') + 1) + "?xcode=" + AccessCode(song->id) +
         "]]></decode><type>1</type><lrcid>" + (HasLyrics(*song) ? id : "0") +
         "</lrcid></data></result>\n";
  return xml;
}

std::string IndexPage() {
  std::string html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Lyrano 演示曲库</title>"
      "</head>\n<body>\n<h1>Lyrano 演示曲库</h1>\n"
      "<p>规则页：<a href=\"/rules.html\">/rules.html</a>；搜索“我们的歌”“夏天”各有几页结果，"
      "“全部”列出所有歌曲。</p>\n<ol>\n";
  for (const Song& song : Catalogue()) {
    html += "<li><a href=\"/song/" + std::to_string(song.id) + "\">" + Html(song.title) + "</a> " +
            Html(*song.singer != '\0' ? song.singer : "群星") + "</li>\n";
  }
  return html + "</ol>\n</body></html>\n";
}

std::string SongPage(const Song& song) {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + Html(song.title) +
         "</title></head>\n<body>\n<h1>" + Html(song.title) + "</h1>\n<p>" +
         Html(*song.singer != '\0' ? song.singer : "群星") + "</p>\n<pre>" + Html(LrcText(song)) +
         "</pre>\n</body></html>\n";
}

// Audio is made on first request (or by the warm-up at start) and kept for
// the run: WAV for the WAV songs, MP3 for the others. Each song is made once,
// under its own flag, so a song being encoded never holds up another.
class AudioCache {
 public:
  // Null when the song has no stream or its MP3 could not be made.
  std::shared_ptr<const std::string> Get(const Song& song) {
    if (song.delivery == Delivery::Broken) return nullptr;
    std::shared_ptr<Slot> slot;
    {
      std::lock_guard lock(mutex_);
      auto& entry = slots_[song.id];
      if (!entry) entry = std::make_shared<Slot>();
      slot = entry;
    }
    std::call_once(slot->once, [&] { slot->bytes = Make(song); });
    return slot->bytes;
  }

 private:
  struct Slot {
    std::once_flag once;
    std::shared_ptr<const std::string> bytes;
  };

  std::shared_ptr<const std::string> Make(const Song& song) {
    std::string wav = RenderWav(song);
    if (song.delivery == Delivery::Wav) return std::make_shared<const std::string>(std::move(wav));
    try {
      return std::make_shared<const std::string>(EncodeMp3(wav, song.title, song.singer));
    } catch (const std::exception& e) {
      if (!warned_.exchange(true)) std::fprintf(stderr, "lyrano-demo: %s\n", e.what());
      return nullptr;
    }
  }

  std::mutex mutex_;  // guards slots_ only
  std::map<int, std::shared_ptr<Slot>> slots_;
  std::atomic<bool> warned_{false};
};

AudioCache& Audio() {
  static AudioCache cache;
  return cache;
}

// The demo radio: the MP3 songs one after another, round and round, without
// end. A listener that asks for metadata ("Icy-MetaData: 1") gets a metadata
// block after every kRadioMetaInterval bytes of sound; the first block of each
// song names it ("singer - title", UTF-8), the others are empty ("no change").
constexpr size_t kRadioMetaInterval = 16000;
constexpr double kRadioHeadStart = 64 * 1024;
constexpr double kRadioBytesPerSecond = 12000 * 1.1;

class Radio {
 public:
  explicit Radio(bool metadata) : metadata_(metadata) {
    for (const Song& song : Catalogue())
      if (song.delivery != Delivery::Wav && song.delivery != Delivery::Broken)
        songs_.push_back(&song);
  }

  // The next piece of the stream: up to 4 KB of sound and the metadata block
  // that falls due after it. Empty when no song can be made.
  std::string Next() {
    for (size_t tries = 0; tries <= songs_.size(); ++tries) {
      const Song& song = *songs_[index_];
      const auto bytes = Audio().Get(song);
      if (!bytes || offset_ >= bytes->size()) {
        index_ = (index_ + 1) % songs_.size();
        offset_ = 0;
        announced_ = false;
        continue;
      }
      size_t n = std::min<size_t>(4096, bytes->size() - offset_);
      if (metadata_) n = std::min(n, kRadioMetaInterval - sinceBlock_);
      std::string piece = bytes->substr(offset_, n);
      offset_ += n;
      sinceBlock_ += n;
      if (metadata_ && sinceBlock_ == kRadioMetaInterval) {
        piece += Block(announced_ ? std::string() : Announcement(song));
        announced_ = true;
        sinceBlock_ = 0;
      }
      return piece;
    }
    return {};
  }

  bool Empty() const { return songs_.empty(); }

 private:
  static std::string Announcement(const Song& song) {
    std::string name = *song.singer != '\0' ? std::string(song.singer) + " - " : std::string();
    return "StreamTitle='" + name + song.title + "';";
  }
  // A length byte in units of 16, then the packet padded with NULs.
  static std::string Block(std::string packet) {
    const size_t units = std::min<size_t>((packet.size() + 15) / 16, 255);
    packet.resize(units * 16, '\0');
    return static_cast<char>(units) + packet;
  }

  const bool metadata_;
  std::vector<const Song*> songs_;
  size_t index_ = 0;
  size_t offset_ = 0;
  size_t sinceBlock_ = 0;   // bytes of sound since the last metadata block
  bool announced_ = false;  // the current song has been named
};

int PathId(const httplib::Request& req, size_t group) {
  int id = 0;
  const std::string text = req.matches[static_cast<int>(group)];
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
  return (ec == std::errc() && end == text.data() + text.size()) ? id : -1;
}

void NotFound(httplib::Response& res) {
  res.status = 404;
  res.set_content("not found\n", "text/plain; charset=utf-8");
}

}  // namespace

void RegisterRoutes(httplib::Server& server) {
  server.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(IndexPage(), kHtml);
  });
  server.Get("/rules.html", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(RulePage(Host(req)), kHtml);
  });
  server.Get("/search", [](const httplib::Request& req, httplib::Response& res) {
    const Page page =
        ResultPage(funPub::Trim(req.get_param_value("key")), IntParam(req, "jump", 0));
    res.set_content(page.body, page.type);
  });
  server.Get(R"(/song/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    const Song* song = FindSong(PathId(req, 1));
    if (song == nullptr) return NotFound(res);
    res.set_content(SongPage(*song), kHtml);
  });
  server.Get("/song/info", [](const httplib::Request& req, httplib::Response& res) {
    std::string callback = req.get_param_value("callback");
    if (callback.empty() || callback.size() > 64 ||
        callback.find_first_not_of(
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") !=
            std::string::npos) {
      callback = "songinfo";
    }
    res.set_content(SongInfo(FindSong(IntParam(req, "songid", -1)), Host(req), callback),
                    "application/javascript; charset=utf-8");
  });
  server.Get("/box/lookup", [](const httplib::Request& req, httplib::Response& res) {
    const Song* song = LookupSong(funPub::Trim(req.get_param_value("title")),
                                  funPub::Trim(req.get_param_value("singer")));
    res.set_content(LookupAnswer(song, Host(req)), "text/xml; charset=utf-8");
  });
  server.Get(R"(/bdlrc/(\d+)/(\d+)\.lrc)", [](const httplib::Request& req, httplib::Response& res) {
    const Song* song = FindSong(PathId(req, 2));
    if (song == nullptr || PathId(req, 1) != song->id / 100 || !HasLyrics(*song)) {
      return NotFound(res);
    }
    // The lyric server keeps its files in GBK.
    res.set_content(cp::Utf8ToAnsi(LrcText(*song)), "text/plain; charset=gbk");
  });
  // The streams, each behind the song's access code, found only at the
  // address its delivery gives it (see StreamFile).
  server.Get(R"(/audio/(\d+)\.(wav|mp3))", [](const httplib::Request& req, httplib::Response& res) {
    const Song* song = FindSong(PathId(req, 1));
    const std::string ext = req.matches[2];
    // The redirected song's MP3 lies at <id>.mp3 too, where its 302 points.
    const bool here =
        song != nullptr && (StreamFile(*song) == std::to_string(song->id) + "." + ext ||
                            (song->delivery == Delivery::Mp3Redirect && ext == "mp3"));
    if (!here || song->delivery == Delivery::Broken) return NotFound(res);
    if (req.get_param_value("xcode") != AccessCode(song->id)) {
      res.status = 403;
      res.set_content("bad access code\n", "text/plain; charset=utf-8");
      return;
    }
    const auto bytes = Audio().Get(*song);
    if (!bytes) {
      res.status = 503;
      res.set_content("no MP3 encoder\n", "text/plain; charset=utf-8");
      return;
    }
    const char* type = ext == "wav" ? "audio/wav" : "audio/mpeg";
    if (song->delivery != Delivery::Mp3Chunked) {
      res.set_content(*bytes, type);
      return;
    }
    // Sent in pieces without a length, as a live site or a proxy does.
    res.set_chunked_content_provider(type, [bytes](size_t offset, httplib::DataSink& sink) {
      const size_t n = std::min<size_t>(16 * 1024, bytes->size() - offset);
      if (n > 0 && !sink.write(bytes->data() + offset, n)) return false;
      if (offset + n >= bytes->size()) sink.done();
      return true;
    });
  });
  server.Get("/radio", [](const httplib::Request& req, httplib::Response& res) {
    const bool metadata = req.get_header_value("Icy-MetaData") == "1";
    auto radio = std::make_shared<Radio>(metadata);
    if (radio->Empty()) return NotFound(res);
    res.set_header("icy-name", "Lyrano demo radio");
    if (metadata) res.set_header("icy-metaint", std::to_string(kRadioMetaInterval));
    const auto start = std::chrono::steady_clock::now();
    res.set_chunked_content_provider(
        "audio/mpeg", [radio, start](size_t sent, httplib::DataSink& sink) {
          // As fast as the songs play (96 kbit/s, a little more), after a head
          // start the player buffers at once, like a station's own server.
          const double seconds =
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
          const double allowed = kRadioHeadStart + kRadioBytesPerSecond * seconds;
          if (static_cast<double>(sent) > allowed) {
            std::this_thread::sleep_for(std::chrono::duration<double>(
                std::min(0.25, (static_cast<double>(sent) - allowed) / kRadioBytesPerSecond)));
          }
          const std::string piece = radio->Next();
          if (piece.empty()) {
            sink.done();
            return true;
          }
          return sink.write(piece.data(), piece.size());
        });
  });
  server.Get(R"(/audio/go/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    const Song* song = FindSong(PathId(req, 1));
    if (song == nullptr || song->delivery != Delivery::Mp3Redirect) return NotFound(res);
    // The song's address moved: the site points at the file, code and all.
    res.set_redirect("http://" + Host(req) + "/audio/" + std::to_string(song->id) +
                         ".mp3?xcode=" + funPub::UrlEncode(req.get_param_value("xcode")),
                     302);
  });
}

void WarmUpAudio(const std::atomic<bool>& stop) {
  for (const Song& song : Catalogue()) {
    if (stop.load()) return;
    if (song.delivery != Delivery::Wav) Audio().Get(song);
  }
}

}  // namespace demo
