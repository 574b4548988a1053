#include "main/SingleInstance.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QVariant>
#include <filesystem>
#include <memory>
#include <system_error>

#include "main/InstanceMessage.h"

namespace instance {
namespace {

constexpr char kAck = '\x06';

}  // namespace

QString ServerName(const QString& exePath, uid_t uid) {
  QByteArray key = exePath.toLower().toUtf8();
  QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(32);
  return QStringLiteral("lyrano-%1-%2").arg(uid).arg(QString::fromLatin1(digest));
}

QString ExecutablePath() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return QFile::decodeName(QByteArray::fromStdString(exe.string()));
}

std::optional<uid_t> PeerUid(qintptr fd) {
  ucred cred{};
  socklen_t length = sizeof cred;
  if (fd < 0 || getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0 ||
      length != sizeof cred)
    return std::nullopt;
  return cred.uid;
}

THandOver HandOver(const QString& name, const std::vector<std::string>& args, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  QLocalSocket socket;
  socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
  socket.connectToServer(name);
  if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
    return THandOver::NoInstance;
  // A listener of another user took our name: it gets nothing from us.
  std::optional<uid_t> peer = PeerUid(socket.socketDescriptor());
  if (!peer || *peer != geteuid()) return THandOver::NoInstance;

  THandover message{kActivate, args};
  std::string bytes = EncodeHandover(message);
  socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
  while (socket.bytesToWrite() > 0 && !deadline.hasExpired())
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
  while (socket.bytesAvailable() == 0 && !deadline.hasExpired() &&
         socket.state() == QLocalSocket::ConnectedState)
    socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
  char ack = 0;
  if (socket.bytesAvailable() > 0 && socket.getChar(&ack) && ack == kAck)
    return THandOver::HandedOver;
  return THandOver::NoAnswer;
}

}  // namespace instance

TAppInstances::TAppInstances(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)), peerUid_(&instance::PeerUid), ownUid_(geteuid()) {
  setObjectName("JvAppInstances");
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) Accept(socket);
  });
}

TAppInstances::~TAppInstances() = default;

bool TAppInstances::Listen() {
  return server_->isListening() || server_->listen(name_);
}

bool TAppInstances::IsListening() const {
  return server_->isListening();
}

void TAppInstances::Drop(QLocalSocket* socket) {
  socket->abort();
  socket->deleteLater();
}

void TAppInstances::Accept(QLocalSocket* socket) {
  std::optional<uid_t> uid = peerUid_(socket->socketDescriptor());
  if (!uid || *uid != ownUid_ || open_ >= kMaxOpen) {
    Drop(socket);
    return;
  }
  ++open_;
  connect(socket, &QObject::destroyed, this, [this] { --open_; });
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  // A connection that has not said everything in time is dropped: a stalled
  // or hostile peer cannot hold one of the few open places.
  auto* deadline = new QTimer(socket);
  deadline->setSingleShot(true);
  connect(deadline, &QTimer::timeout, socket, [socket] {
    if (!socket->property("done").toBool()) Drop(socket);
  });
  deadline->start(timeLimit_);
  auto buffer = std::make_shared<std::string>();
  connect(socket, &QLocalSocket::readyRead, this,
          [this, socket, buffer] { Read(socket, *buffer); });
  if (socket->bytesAvailable() > 0) Read(socket, *buffer);
}

void TAppInstances::Read(QLocalSocket* socket, std::string& buffer) {
  if (socket->property("done").toBool()) return;
  QByteArray chunk = socket->read(static_cast<qint64>(
      instance::kMaxMessage + 1 - std::min(buffer.size(), instance::kMaxMessage)));
  buffer.append(chunk.constData(), static_cast<size_t>(chunk.size()));
  instance::THandover message;
  switch (instance::DecodeHandover(buffer, message)) {
    case instance::TDecode::Incomplete:
      return;
    case instance::TDecode::Malformed:
      Drop(socket);
      return;
    case instance::TDecode::Complete:
      break;
  }
  socket->setProperty("done", true);
  socket->write(&instance::kAck, 1);
  socket->flush();
  socket->disconnectFromServer();
  // Delivered from the event loop, not from inside this socket's signal: the
  // handlers may play a song, which processes events.
  QTimer::singleShot(0, this, [this, message = std::move(message)] {
    emit UserNotify(static_cast<int>(message.Notification));
    emit CmdLineReceived(message.Args);
  });
}
