#include "main/SingleInstance.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace instance {
namespace {

constexpr char kAck = '\x06';

// The abstract-namespace address of `name`: a leading NUL, then the name's
// bytes, and a length that counts exactly those (no trailing padding).
socklen_t AbstractAddress(const QString& name, sockaddr_un& addr) {
  QByteArray bytes = name.toUtf8();
  addr = {};
  addr.sun_family = AF_UNIX;
  size_t n = std::min(static_cast<size_t>(bytes.size()), sizeof addr.sun_path - 1);
  std::memcpy(addr.sun_path + 1, bytes.constData(), n);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

class TFd {
 public:
  explicit TFd(int fd) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Waits until `fd` is ready for `events` or the deadline passes.
bool WaitFor(int fd, short events, const QDeadlineTimer& deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    int ms = static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
    int n = ::poll(&p, 1, ms);
    if (n > 0) return true;
    if (n == 0 || errno != EINTR) return false;
  }
}

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
  TFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (socket.get() < 0) return THandOver::NoInstance;
  sockaddr_un addr;
  socklen_t length = AbstractAddress(name, addr);
  // Nobody listening is refused at once; a listener whose queue is full says
  // "try again" until the deadline.
  while (::connect(socket.get(), reinterpret_cast<sockaddr*>(&addr), length) != 0) {
    if (errno == EINTR) continue;
    if (errno != EAGAIN || deadline.hasExpired()) return THandOver::NoInstance;
    ::poll(nullptr, 0, 10);
  }
  // A listener of another user took our name: it gets nothing from us.
  std::optional<uid_t> peer = PeerUid(socket.get());
  if (!peer || *peer != geteuid()) return THandOver::NoInstance;

  std::string bytes = EncodeHandover(THandover{kActivate, args});
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(socket.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      if (!WaitFor(socket.get(), POLLOUT, deadline)) return THandOver::NoAnswer;
    } else {
      return THandOver::NoAnswer;  // dropped while we were still talking
    }
  }
  for (;;) {
    char ack = 0;
    ssize_t n = ::recv(socket.get(), &ack, 1, 0);
    if (n == 1) return ack == kAck ? THandOver::HandedOver : THandOver::NoAnswer;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN && WaitFor(socket.get(), POLLIN, deadline)) continue;
    return THandOver::NoAnswer;
  }
}

}  // namespace instance

// One accepted connection: reads until a complete message, a malformed one,
// the peer's end or the time limit; owns its descriptor.
class TAppInstances::TConnection : public QObject {
 public:
  TConnection(TAppInstances& owner, int fd) : QObject(&owner), owner_(owner), fd_(fd) {
    ++owner_.open_;
    notifier_ = new QSocketNotifier(static_cast<qintptr>(fd_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Read(); });
    // A connection that has not said everything in time is dropped: a stalled
    // or hostile peer cannot hold one of the few open places.
    QTimer::singleShot(owner_.timeLimit_, this, [this] { Drop(); });
  }
  ~TConnection() override {
    notifier_->setEnabled(false);
    ::close(fd_);
    --owner_.open_;
  }

  // Reads what is there now (the peer may have written before we looked).
  void Read() {
    if (done_) return;
    char chunk[4096];
    for (;;) {
      size_t room = instance::kMaxMessage + 1 - std::min(buffer_.size(), instance::kMaxMessage);
      ssize_t n = ::recv(fd_, chunk, std::min(room, sizeof chunk), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) return;  // wait for more
      if (n <= 0) {                          // gone before saying everything, or broken
        Drop();
        return;
      }
      buffer_.append(chunk, static_cast<size_t>(n));
      instance::THandover message;
      switch (instance::DecodeHandover(buffer_, message)) {
        case instance::TDecode::Incomplete:
          continue;
        case instance::TDecode::Malformed:
          Drop();
          return;
        case instance::TDecode::Complete:
          done_ = true;
          ::send(fd_, &instance::kAck, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
          owner_.Deliver(std::move(message));
          Drop();
          return;
      }
    }
  }

 private:
  void Drop() {
    notifier_->setEnabled(false);
    deleteLater();
  }

  TAppInstances& owner_;
  int fd_;
  QSocketNotifier* notifier_ = nullptr;
  std::string buffer_;
  bool done_ = false;
};

TAppInstances::TAppInstances(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)), peerUid_(&instance::PeerUid), ownUid_(geteuid()) {
  setObjectName("JvAppInstances");
}

TAppInstances::~TAppInstances() {
  // Connections first: they count themselves off in open_.
  const QObjectList children = this->children();
  for (QObject* child : children) delete dynamic_cast<TConnection*>(child);
  delete listenNotifier_;
  if (listenFd_ >= 0) ::close(listenFd_);
}

bool TAppInstances::Listen() {
  if (listenFd_ >= 0) return true;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un addr;
  socklen_t length = instance::AbstractAddress(name_, addr);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), length) != 0 || ::listen(fd, 16) != 0) {
    ::close(fd);
    return false;
  }
  listenFd_ = fd;
  listenNotifier_ = new QSocketNotifier(static_cast<qintptr>(fd), QSocketNotifier::Read, this);
  connect(listenNotifier_, &QSocketNotifier::activated, this, [this] { AcceptPending(); });
  return true;
}

bool TAppInstances::IsListening() const {
  return listenFd_ >= 0;
}

void TAppInstances::AcceptPending() {
  for (;;) {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      Accept(fd);
    } else if (errno == EMFILE || errno == ENFILE) {
      // Out of descriptors: the waiting connection would wake us at once
      // again; look again a little later.
      listenNotifier_->setEnabled(false);
      QTimer::singleShot(100, this, [this] { listenNotifier_->setEnabled(true); });
      return;
    } else if (errno != EINTR && errno != ECONNABORTED) {
      return;  // nothing more waiting
    }
  }
}

void TAppInstances::Accept(int fd) {
  std::optional<uid_t> uid = peerUid_(static_cast<qintptr>(fd));
  if (!uid || *uid != ownUid_ || open_ >= kMaxOpen) {
    ::close(fd);
    return;
  }
  (new TConnection(*this, fd))->Read();
}

void TAppInstances::Deliver(instance::THandover message) {
  // Delivered from the event loop, not from inside the socket's notification:
  // the handlers may play a song, which processes events.
  QTimer::singleShot(0, this, [this, message = std::move(message)] {
    emit UserNotify(static_cast<int>(message.Notification));
    emit CmdLineReceived(message.Args);
  });
}
