#include "Site.h"

#include <charconv>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "Catalogue.h"
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
      case '\'':
        out += "&#39;";
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

std::string ResultPage(const std::string& keyword, int jump) {
  const std::vector<const Song*> found = SearchSongs(keyword);
  const size_t pages = (found.size() + kPageSize - 1) / kPageSize;
  const size_t page = jump < 0 ? 0 : static_cast<size_t>(jump);

  std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" +
                     Html(keyword) +
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
            "</span> <a class=\"song-title\" href=\"/song/" + id + "\" data-songid=\"" + id +
            "\">" + TitleHtml(song, keyword) + "</a> ";
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
  return html;
}

std::string SongInfo(const Song* song, const std::string& host, const std::string& callback) {
  if (song == nullptr) return callback + "({\"error\":22001,\"data\":null});";
  const std::string id = std::to_string(song->id);
  // Slashes escaped as JSON allows; the player strips the backslashes.
  return callback + "({\"error\":0,\"data\":{\"songid\":" + id + ",\"title\":\"" + song->title +
         "\",\"singer\":\"" + song->singer + "\",\"album\":\"Lyrano \\u0026 friends\"," +
         "\"songlink\":\"http:\\/\\/" + host + "\\/audio\\/" + id + ".wav\",\"xcode\":\"" +
         AccessCode(song->id) + "\",\"lrclink\":\"\\/bdlrc\\/" + std::to_string(song->id / 100) +
         "\\/" + id + ".lrc\",\"format\":\"wav\",\"rate\":22050}});";
}

std::string LookupAnswer(const Song* song, const std::string& host) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<result>";
  if (song == nullptr) return xml + "<count>0</count></result>\n";
  const std::string id = std::to_string(song->id);
  xml += "<count>1</count><data><title><![CDATA[" + std::string(song->title) +
         "]]></title><singer><![CDATA[" + song->singer + "]]></singer><encode><![CDATA[http://" +
         host + "/audio/" + id + ".wav]]></encode><decode><![CDATA[" + id +
         ".wav?xcode=" + AccessCode(song->id) + "]]></decode><type>1</type><lrcid>" + id +
         "</lrcid></data></result>\n";
  return xml;
}

std::string IndexPage() {
  std::string html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Lyrano 演示曲库</title>"
      "</head>\n<body>\n<h1>Lyrano 演示曲库</h1>\n"
      "<p>规则页：<a href=\"/rules.html\">/rules.html</a>；搜索“全部”列出所有歌曲。</p>\n<ol>\n";
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

// Audio is made on first request and kept for the run.
class AudioCache {
 public:
  std::shared_ptr<const std::string> Get(const Song& song) {
    std::lock_guard lock(mutex_);
    auto& slot = wavs_[song.id];
    if (!slot) slot = std::make_shared<const std::string>(RenderWav(song));
    return slot;
  }

 private:
  std::mutex mutex_;
  std::map<int, std::shared_ptr<const std::string>> wavs_;
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
  auto audio = std::make_shared<AudioCache>();

  server.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(IndexPage(), kHtml);
  });
  server.Get("/rules.html", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(RulePage(Host(req)), kHtml);
  });
  server.Get("/search", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(ResultPage(funPub::Trim(req.get_param_value("key")), IntParam(req, "jump", 0)),
                    kHtml);
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
    if (song == nullptr || PathId(req, 1) != song->id / 100) return NotFound(res);
    // The lyric server keeps its files in GBK.
    res.set_content(cp::Utf8ToAnsi(LrcText(*song)), "text/plain; charset=gbk");
  });
  server.Get(R"(/audio/(\d+)\.wav)", [audio](const httplib::Request& req, httplib::Response& res) {
    const Song* song = FindSong(PathId(req, 1));
    if (song == nullptr) return NotFound(res);
    if (req.get_param_value("xcode") != AccessCode(song->id)) {
      res.status = 403;
      res.set_content("bad access code\n", "text/plain; charset=utf-8");
      return;
    }
    const auto wav = audio->Get(*song);
    res.set_content(*wav, "audio/wav");
  });
}

}  // namespace demo
