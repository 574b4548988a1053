#include "DesktopFixture.h"

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcessEnvironment>
#include <cstring>

#include "skins/engine/SkinForm.h"

namespace fs = std::filesystem;

namespace desktoptest {

void DesktopTest::TearDown() {
  for (auto& p : running_) {
    if (p->state() != QProcess::NotRunning) {
      p->kill();
      p->waitForFinished(3000);
    }
  }
  running_.clear();
  instances_.reset();
  WindowTest::TearDown();
}

fs::path DesktopTest::Program() {
  fs::path program = Dir() / "bin" / "lyrano";
  if (!fs::exists(program)) {
    fs::create_directories(program.parent_path());
    std::error_code ec;
    fs::create_hard_link(testsupport::BuiltProgram("lyrano"), program, ec);
    if (ec) fs::copy_file(testsupport::BuiltProgram("lyrano"), program);
    fs::copy(testsupport::BuiltProgram("data"), program.parent_path() / "data",
             fs::copy_options::recursive | fs::copy_options::skip_existing);
  }
  return program;
}

QString DesktopTest::InstanceName() {
  return instance::ServerName(QString::fromStdString(Program().string()), geteuid());
}

TAppInstances& DesktopTest::Listen() {
  instances_ = std::make_unique<TAppInstances>(InstanceName());
  EXPECT_TRUE(instances_->Listen());
  Form().ListenTo(*instances_);
  return *instances_;
}

QProcess& DesktopTest::Spawn(const std::vector<std::string>& args) {
  auto process = std::make_unique<QProcess>();
  QStringList list;
  for (const auto& a : args) list << QString::fromStdString(a);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("SDL_AUDIODRIVER", "dummy");
  process->setProcessEnvironment(env);
  process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process->start(QString::fromStdString(Program().string()), list);
  EXPECT_TRUE(process->waitForStarted(5000));
  running_.push_back(std::move(process));
  return *running_.back();
}

int DesktopTest::Launch(const std::vector<std::string>& args, int ms) {
  QProcess& p = Spawn(args);
  if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, ms)) return -1;
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

int DesktopTest::LaunchBytes(const fs::path& folder, const std::vector<std::string>& args, int ms) {
  std::string program = Program().string();
  std::vector<char*> argv{program.data()};
  std::vector<std::string> copies(args);
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = -1;
  int err = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_EQ(err, 0);
  if (err != 0) return -1;
  int status = 0;
  bool ended = QTest::qWaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, ms);
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void DesktopTest::HideToTray() {
  Form().SkinForm()->SetTrayAvailableCheck([] { return true; });
  Form().SkinForm()->Minimize();
  QTest::qWait(20);
  ASSERT_FALSE(Form().isVisible());
}

int ConnectAbstract(const std::string& name) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  size_t n = std::min(name.size(), sizeof addr.sun_path - 1);
  std::memcpy(addr.sun_path + 1, name.data(), n);
  auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), length) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace desktoptest
