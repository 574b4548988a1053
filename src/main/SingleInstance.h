// One running player per user and per program file. The running instance
// listens on a local socket in the abstract namespace (nothing in the file
// system, so a crashed instance leaves nothing behind that could block the
// next start); a second launch connects, hands over a notification and its
// arguments (InstanceMessage.h), waits for the acknowledgement and ends.
//
// Abstract sockets are open to every user of the machine, so both sides check
// the other's user id (SO_PEERCRED): the running instance drops connections of
// other users, and a second launch hands nothing to a listener of another user.
// Window's thread only (TAppInstances); HandOver runs before the application
// object exists. Plain sockets watched by the event loop: nothing here needs a
// network library at start-up.
#pragma once

#include <sys/types.h>

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "main/InstanceMessage.h"

class QSocketNotifier;

namespace instance {

// The notification a second launch sends before its arguments.
inline constexpr uint32_t kActivate = 100;

// The socket name for the program file `exePath` within the user `uid`: the
// absolute path compared without regard to letter case, so the same file
// started again is the same program and a copy in another folder is not.
QString ServerName(const QString& exePath, uid_t uid);

// This process's program file (absolute, links resolved).
QString ExecutablePath();

// The user id of the process at the other end of the connected local socket
// `fd`; none when the system cannot tell.
std::optional<uid_t> PeerUid(qintptr fd);

enum class THandOver {
  NoInstance,  // nobody of this user listens: become the running instance
  HandedOver,  // the running instance acknowledged the message
  NoAnswer,    // it accepted the connection but did not acknowledge in time
};

// The second launch's side: notification kActivate and `args` (file-name
// bytes, in order) to the instance listening under `name`. Blocks for at most
// about `timeoutMs`. Needs no application object.
THandOver HandOver(const QString& name, const std::vector<std::string>& args, int timeoutMs = 3000);

}  // namespace instance

// The running instance's side, named after the component it stands in for.
// Every connection of this user gets `TimeLimit()` ms to deliver one complete
// message of at most instance::kMaxMessage bytes; anything else (another
// user, junk, an oversized or slow message, more than kMaxOpen connections at
// once) is dropped without effect. A complete message is acknowledged, then
// delivered as UserNotify followed by CmdLineReceived from the event loop.
class TAppInstances : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxOpen = 32;
  using TPeerUid = std::function<std::optional<uid_t>(qintptr fd)>;

  explicit TAppInstances(QString name, QObject* parent = nullptr);
  ~TAppInstances() override;

  // Starts listening; false when the name is held already (by a running
  // instance, or by another user who took it first).
  bool Listen();
  bool IsListening() const;
  const QString& Name() const { return name_; }

  // How a connection's user id is read (PeerUid by default), and the user
  // accepted (this process's effective user by default). For tests.
  void SetPeerUid(TPeerUid peerUid) { peerUid_ = std::move(peerUid); }
  void SetOwnUid(uid_t uid) { ownUid_ = uid; }
  void SetTimeLimit(int ms) { timeLimit_ = ms; }
  int TimeLimit() const { return timeLimit_; }
  // Connections being read now.
  int OpenConnections() const { return open_; }

 signals:
  // A second launch wants the running window forward; `param` is its
  // notification value.
  void UserNotify(int param);
  // A second launch's arguments, in order (file-name bytes; possibly none).
  void CmdLineReceived(const std::vector<std::string>& args);

 private:
  class TConnection;

  void AcceptPending();
  void Accept(int fd);
  void Deliver(instance::THandover message);

  QString name_;
  int listenFd_ = -1;
  QSocketNotifier* listenNotifier_ = nullptr;
  TPeerUid peerUid_;
  uid_t ownUid_;
  int timeLimit_ = 2000;
  int open_ = 0;
};
