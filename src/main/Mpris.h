// The player on the desktop's media bus (MPRIS 2): media keys, panel applets
// and other remote controls drive the same commands as the buttons and the
// tray menu, and see what plays.
//
// The two adaptors only translate: their methods call TMediaControls, their
// properties read TNowPlaying. TMprisService publishes changes from one place,
// Refresh(), which the window calls from its tick and after each command.
// Window's thread only.
#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

class QDBusConnection;

namespace mpris {

// What the desktop is shown about the player.
struct TNowPlaying {
  QString Status = QStringLiteral("Stopped");  // "Playing", "Paused" or "Stopped"
  quint64 Track = 0;                           // counts the songs started; 0 before the first
  QString Title;
  QString Artist;
  QString Lyric;        // the lyric line reached last
  qint64 LengthUs = 0;  // 0 when unknown
  double Volume = 0;    // 0..1
  // The playlist has rows: Next and Previous move through them and Play
  // starts the first; with none they do nothing.
  bool HasRows = false;
  bool operator==(const TNowPlaying&) const = default;
};

// The player's commands and state; every member must be set.
struct TMediaControls {
  std::function<void()> PlayPause, Play, Pause, Stop, Next, Previous, Raise, Quit;
  std::function<void(double volume)> SetVolume;
  // The core's seeks: to a position, and by an offset from the position now.
  std::function<void(qint64 positionUs)> Seek;
  std::function<void(qint64 offsetUs)> SeekBy;
  std::function<void(const QString& path)> OpenFile;  // a local file, as a second launch does
  std::function<TNowPlaying()> NowPlaying;
  std::function<qint64()> PositionUs;
};

// CanPlay: Play starts the first row, or resumes or goes on with the song
// that is loaded; with neither it does nothing.
bool CanPlay(const TNowPlaying& now);

// CanSeek: only a song whose length is known can seek.
bool CanSeek(const TNowPlaying& now);

// The mpris:trackid of the song `now` shows.
QString TrackId(const TNowPlaying& now);

// The Metadata map of `now` (mpris:trackid, xesam:title, xesam:artist,
// mpris:length, xesam:comment).
QVariantMap Metadata(const TNowPlaying& now);

class TMprisService : public QObject {
  Q_OBJECT

 public:
  static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

  TMprisService(TMediaControls controls, QObject* parent);
  // Gives the bus name and the object back.
  ~TMprisService() override;

  // Registers the object and the bus name on `bus`: org.mpris.MediaPlayer2.lyrano,
  // or org.mpris.MediaPlayer2.lyrano.instance<pid> when another copy holds
  // it. False (and nothing registered) when the bus is not connected.
  bool Register(const QDBusConnection& bus);
  const QString& ServiceName() const { return service_; }

  const TMediaControls& Controls() const { return controls_; }

 public slots:
  // Compares the player with what was published last and announces what
  // changed with one PropertiesChanged signal.
  void Refresh();
  // Announces a seek, whatever drove it, with the Seeked signal.
  void AnnounceSeek(qint64 positionUs);

 private:
  QObject* player_ = nullptr;  // the player interface's adaptor
  TMediaControls controls_;
  TNowPlaying published_;
  QString service_;
  QString connection_;
};

// On the session bus, when there is one: the service, owned by `parent`;
// nullptr, with nothing shown, when there is none.
TMprisService* StartOnSessionBus(TMediaControls controls, QObject* parent);

}  // namespace mpris
