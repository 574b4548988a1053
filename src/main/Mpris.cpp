#include "main/Mpris.h"

#include <unistd.h>

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QUrl>
#include <cstdlib>

namespace mpris {
namespace {

constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

// The root interface: who we are, Raise and Quit.
class TMprisRoot : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool CanSetFullscreen READ CanSetFullscreen)
  Q_PROPERTY(bool Fullscreen READ Fullscreen)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  explicit TMprisRoot(TMprisService* service) : QDBusAbstractAdaptor(service), s_(service) {}
  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool CanSetFullscreen() const { return false; }
  bool Fullscreen() const { return false; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("Lyrano"); }
  QString DesktopEntry() const { return QStringLiteral("lyrano"); }
  QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
  QStringList SupportedMimeTypes() const {
    return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/x-ms-wma")};
  }

 public slots:
  void Raise() { s_->Controls().Raise(); }
  void Quit() { s_->Controls().Quit(); }

 private:
  TMprisService* s_;
};

// The player interface: the transport commands and what plays.
class TMprisPlayer : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ CanGoNext)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ Yes)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ Yes)

 public:
  explicit TMprisPlayer(TMprisService* service) : QDBusAbstractAdaptor(service), s_(service) {}
  QString PlaybackStatus() const { return s_->Controls().NowPlaying().Status; }
  double Rate() const { return 1.0; }
  void SetRate(double) {}  // one speed only
  QVariantMap Metadata() const { return mpris::Metadata(s_->Controls().NowPlaying()); }
  double Volume() const { return s_->Controls().NowPlaying().Volume; }
  void SetVolume(double volume) {
    Run([&] { s_->Controls().SetVolume(volume); });
  }
  qlonglong Position() const { return s_->Controls().PositionUs(); }
  bool CanGoNext() const { return s_->Controls().NowPlaying().HasRows; }
  bool CanPlay() const { return mpris::CanPlay(s_->Controls().NowPlaying()); }
  bool CanSeek() const { return mpris::CanSeek(s_->Controls().NowPlaying()); }
  bool Yes() const { return true; }

 public slots:
  void PlayPause() { Run(s_->Controls().PlayPause); }
  void Play() { Run(s_->Controls().Play); }
  void Pause() { Run(s_->Controls().Pause); }
  void Stop() { Run(s_->Controls().Stop); }
  void Next() { Run(s_->Controls().Next); }
  void Previous() { Run(s_->Controls().Previous); }
  // Past the end the song ends, and the next one follows as after any end.
  void Seek(qlonglong offsetUs) {
    if (CanSeek()) Run([&] { s_->Controls().SeekBy(offsetUs); });
  }
  // Only for the song that plays now, and only within it.
  void SetPosition(const QDBusObjectPath& track, qlonglong positionUs) {
    TNowPlaying now = s_->Controls().NowPlaying();
    if (!mpris::CanSeek(now) || track.path() != TrackId(now) || positionUs < 0 ||
        positionUs > now.LengthUs)
      return;
    Run([&] { s_->Controls().Seek(positionUs); });
  }
  void OpenUri(const QString& uri) {
    QUrl url(uri);
    if (url.isLocalFile()) Run([&] { s_->Controls().OpenFile(url.toLocalFile()); });
  }

 signals:
  void Seeked(qlonglong position);

 private:
  // The command, then what it changed, announced at once.
  void Run(const std::function<void()>& command) {
    command();
    s_->Refresh();
  }
  TMprisService* s_;
};

}  // namespace

bool CanPlay(const TNowPlaying& now) {
  return now.HasRows || now.Status != QStringLiteral("Stopped");
}

bool CanSeek(const TNowPlaying& now) {
  return now.LengthUs > 0;
}

QString TrackId(const TNowPlaying& now) {
  if (now.Track == 0) return QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
  return QStringLiteral("/org/lyrano/track/%1").arg(now.Track);
}

QVariantMap Metadata(const TNowPlaying& now) {
  QVariantMap map;
  map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TrackId(now))));
  if (now.Track == 0) return map;
  map.insert(QStringLiteral("xesam:title"), now.Title);
  if (!now.Artist.isEmpty()) map.insert(QStringLiteral("xesam:artist"), QStringList{now.Artist});
  if (now.LengthUs > 0)
    map.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(now.LengthUs));
  if (!now.Lyric.isEmpty()) map.insert(QStringLiteral("xesam:comment"), QStringList{now.Lyric});
  return map;
}

TMprisService::TMprisService(TMediaControls controls, QObject* parent)
    : QObject(parent), controls_(std::move(controls)) {
  setObjectName("MprisService");
  new TMprisRoot(this);
  player_ = new TMprisPlayer(this);
}

TMprisService::~TMprisService() {
  if (service_.isEmpty()) return;
  QDBusConnection connection(connection_);
  connection.unregisterService(service_);
  connection.unregisterObject(QString::fromLatin1(kObjectPath));
}

bool TMprisService::Register(const QDBusConnection& bus) {
  if (!bus.isConnected()) return false;
  QDBusConnection connection(bus);
  if (!connection.registerObject(QString::fromLatin1(kObjectPath), this,
                                 QDBusConnection::ExportAdaptors))
    return false;
  QString name = QStringLiteral("org.mpris.MediaPlayer2.lyrano");
  // Another copy of the player (from another folder) holds the plain name.
  if (!connection.registerService(name)) {
    name += QStringLiteral(".instance%1").arg(::getpid());
    if (!connection.registerService(name)) {
      connection.unregisterObject(QString::fromLatin1(kObjectPath));
      return false;
    }
  }
  service_ = name;
  connection_ = connection.name();
  published_ = controls_.NowPlaying();
  return true;
}

void TMprisService::Refresh() {
  if (service_.isEmpty()) return;
  TNowPlaying now = controls_.NowPlaying();
  if (now == published_) return;
  QVariantMap changed;
  if (now.Status != published_.Status) changed.insert(QStringLiteral("PlaybackStatus"), now.Status);
  if (now.Track != published_.Track || now.Title != published_.Title ||
      now.Artist != published_.Artist || now.Lyric != published_.Lyric ||
      now.LengthUs != published_.LengthUs)
    changed.insert(QStringLiteral("Metadata"), Metadata(now));
  if (now.Volume != published_.Volume) changed.insert(QStringLiteral("Volume"), now.Volume);
  if (CanPlay(now) != CanPlay(published_)) changed.insert(QStringLiteral("CanPlay"), CanPlay(now));
  if (CanSeek(now) != CanSeek(published_)) changed.insert(QStringLiteral("CanSeek"), CanSeek(now));
  if (now.HasRows != published_.HasRows) {
    changed.insert(QStringLiteral("CanGoNext"), now.HasRows);
    changed.insert(QStringLiteral("CanGoPrevious"), now.HasRows);
  }
  published_ = now;
  QDBusMessage signal = QDBusMessage::createSignal(
      QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("PropertiesChanged"));
  signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
  QDBusConnection(connection_).send(signal);
}

void TMprisService::AnnounceSeek(qint64 positionUs) {
  // The adaptor relays its own signal onto the bus.
  if (!service_.isEmpty()) emit static_cast<TMprisPlayer*>(player_)->Seeked(positionUs);
}

TMprisService* StartOnSessionBus(TMediaControls controls, QObject* parent) {
  // Without an address (or the standard per-user socket) there is no session
  // bus; asking for one then could start a bus daemon by autolaunch.
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  bool standard =
      runtime && *runtime && QFileInfo::exists(QString::fromLocal8Bit(runtime) + "/bus");
  if ((!address || !*address) && !standard) return nullptr;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return nullptr;
  auto* service = new TMprisService(std::move(controls), parent);
  if (!service->Register(bus)) {
    delete service;
    return nullptr;
  }
  return service;
}

}  // namespace mpris

#include "Mpris.moc"
