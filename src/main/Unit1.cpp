// TForm1: construction, start-up (FormCreate) and shutdown (FormClose), the
// worker and Timer3/Timer4, message boxes, hints, tray and window commands.
#include "main/Unit1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <filesystem>
#include <system_error>

#include "common/IniFile.h"
#include "common/codepage.h"
#include "common/funPub.h"
#include "fileass/DesktopAssociation.h"
#include "main/TaskbarEntry.h"
#include "main/UiText.h"
#include "main/UserFolder.h"
#include "main/controls/RzBmpButton.h"
#include "online/RuleWorker.h"
#include "player/JobLane.h"
#include "skins/SkinCatalogue.h"
#include "skins/engine/SkinForm.h"
#include "tags/TitleFromTags.h"

TForm1::TForm1(std::string appDir, std::vector<std::string> args, std::string userDir)
    : args_(std::move(args)) {
  state_.AppDir = std::move(appDir);
  state_.UserDir = userDir.empty() ? UserFolder(state_.AppDir) : std::move(userDir);
  setObjectName("Form1");
  auto guarded = [this](const std::function<void()>& delivery) { Guarded(delivery); };
  searchJobs_ = std::make_unique<TJobLane>(this, guarded);
  player_ = new TPlayer(this);
  searchRows_ = new TRowModel(this);
  CreateSkinForm();
  BuildLayout();
  SetUpTray();
  setWindowTitle(ui::Text("Lyrano 初始化中...."));

  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  connect(Timer3, &QTimer::timeout, this, [this] { Guarded([this] { Timer3Timer(); }); });
  connect(Timer4, &QTimer::timeout, this, [this] { Guarded([this] { Timer4Timer(); }); });
  ConnectHandlers();
  FollowPlayer();
  InstallKeys();

  FormCreate();
  CentreOnScreen();
  connect(spDynamicSkinForm1, &TspDynamicSkinForm::RollUpChanged, this, [this] { KeepOnScreen(); });
  // The loop timers start with the message loop, after the window is shown.
  QTimer::singleShot(0, this, [this] { StartLoopTimers(); });
}

TForm1::~TForm1() {
  // Fetches and opens still running first (cancelled, then joined); their
  // late results die unrun with the window.
  searchJobs_.reset();
  // The worker next: it may still be fetching, and its callbacks name us.
  if (BMDThread1) {
    BMDThread1->Stop();
    BMDThread1.reset();
  }
  // The lists let go of the models before these go with the window.
  playlistBox_->SetModel(nullptr);
  searchBox_->SetModel(nullptr);
  // The core frees its stream and joins its lookups.
  delete player_;
  player_ = nullptr;
  SetTagErrorReporter({});
  if (showHint_ == false) qApp->removeEventFilter(this);
}

void TForm1::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

namespace {

// Every box shows its text as it stands: messages quote rule patterns and
// file names, which must not be taken for markup.
void RunBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const std::string& text,
            const char* name) {
  QMessageBox box(icon, caption, ui::FromAnsi(text), QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  box.setObjectName(name);
  if (owner == nullptr) {
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
  }
  box.exec();
}

}  // namespace

void TForm1::ShowMessage(const std::string& text) {
  RunBox(this, QMessageBox::NoIcon, ui::Text("Lyrano"), text, "MessageBox");
}

void TForm1::ShowError(const std::string& text) {
  RunBox(this, QMessageBox::Critical, ui::Text("Lyrano"), text, "ErrorBox");
}

void TForm1::FormCreate() {
  namespace fs = std::filesystem;
  std::string& appDir = state_.AppDir;
  MainIni = std::make_unique<TIniFile>(cp::AnsiToPath(state_.UserDir + "Main.ini"));
  state_.CurrentSkin =
      MainIni->ReadString(skins::kSkinSection, skins::kSkinKey, skins::kDefaultSkin);

  // The skin. A picture that cannot be loaded is shown (once), and start-up
  // goes on with the layout's sizes and every picture that did load, so the
  // window opens whole and another skin can still be chosen.
  std::string skinError;
  auto attempt = [&](const std::function<void()>& step) {
    try {
      step();
    } catch (const std::exception& e) {
      if (skinError.empty()) skinError = e.what();
    }
  };
  attempt([this] { LoadListBackBitmaps(state_.CurrentSkin); });
  LoadSkinDescription();
  attempt([this] { ApplySkinLayout(state_.CurrentSkin); });
  if (!skinError.empty()) startupErrors_.push_back(skinError);
  SetWindowWidth(state_.FormWidth);
  CollapseWindow();
  ListSkins();
  spSkinComboBox1->setCurrentIndex(state_.SkinIndex);

  std::error_code ec;
  spSkinButton1->setEnabled(fs::is_regular_file(cp::AnsiToPath(appDir + "ktv.exe"), ec));

  // Our engine needs no window handle. It loads on first need, not here: the
  // window opens without the decoders and the sound library.
  BASS_InitDeferred(-1, 44100, 0, nullptr, nullptr);

  playlistBox_ =
      new TCnScroolStoreBox(spSkinTabSheet1, spSkinScrollBar1, &listBack_, spSkinPopupMenu1);
  playlistBox_->setObjectName("CnScroolStoreBox1");
  playlistBox_->SetModel(&player_->Rows());
  playlistBox_->SetItemHeight(20);
  playlistBox_->SetItemDBlClickFun(
      [this](int index) { Guarded([this, index] { PlaylistItemDblClick(index); }); });
  searchBox_ =
      new TCnScroolStoreBox(spSkinTabSheet2, spSkinScrollBar2, &listBack_, spSkinPopupMenu2);
  searchBox_->setObjectName("CnScroolStoreBox2");
  searchBox_->SetModel(searchRows_);
  searchBox_->SetItemHeight(20);
  spSkinScrollBar1->raise();
  spSkinScrollBar2->raise();

  RzBmpButton3->hide();
  SetUpAssociation();

  player_->UseLyricOffsetFile(state_.UserDir + kLyricOffsetFileName);
  try {
    SeedPlaylist();
    player_->Load(state_.UserDir + "playlist.txt");
  } catch (const std::exception& e) {
    startupErrors_.push_back(e.what());
  }
}

void TForm1::StartLoopTimers() {
  for (const std::string& error : startupErrors_) ShowError(error);
  startupErrors_.clear();
  if (closing_) return;
  Timer1->start();
  Timer3->start();
  // A file to play at start: load the engine now, while the rule page loads.
  if (!args_.empty() && !args_.front().empty()) BASS_Preload();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!closing_) FormClose();
  event->accept();
  emit Closed();
}

void TForm1::FormClose() {
  closing_ = true;
  // Nothing starts playing from here on: no start-up file, no looked-up song.
  Timer4->stop();
  searchJobs_->Cancel();
  try {
    player_->Shutdown();
    Timer1->stop();
    MainIni.reset();
  } catch (...) {
    std::_Exit(0);
  }
}

void TForm1::Timer3Timer() {
  Timer3->stop();
  if (BMDThread1 || closing_) return;
  TRuleWorkerWindow window;
  // Each effect is carried to the window's thread in the order it was made.
  window.SetCaption = [this](const std::string& caption) {
    QMetaObject::invokeMethod(
        this, [this, caption] { SetCaption(caption); }, Qt::QueuedConnection);
  };
  window.ShowMessage = [this](const std::string& text, std::function<void()> closed) {
    QMetaObject::invokeMethod(
        this,
        [this, text, closed] {
          ShowMessage(text);
          closed();
        },
        Qt::QueuedConnection);
  };
  window.StartTimer4 = [this] {
    QMetaObject::invokeMethod(
        this, [this] { Timer4->start(); }, Qt::QueuedConnection);
  };
  BMDThread1 = std::make_unique<TRuleWorker>(player_->Rules(), std::move(window));
  BMDThread1->Start();
}

void TForm1::Timer4Timer() {
  Timer4->stop();
  // The worker's request to start this timer may arrive after the close.
  if (closing_) return;
  if (!args_.empty()) player_->PlayFile(args_.front());
}

void TForm1::SetCaption(const std::string& caption) {
  QString text = ui::FromAnsi(caption);
  if (windowTitle() != text) setWindowTitle(text);
}

// Hints: a tooltip event is swallowed while the application's hints are off.
void TForm1::SetShowHint(bool on) {
  if (on == showHint_) return;
  showHint_ = on;
  if (on) {
    qApp->removeEventFilter(this);
  } else {
    qApp->installEventFilter(this);
  }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (!showHint_ && event->type() == QEvent::ToolTip) return true;
  if (watched == spSkinEdit1) {
    if (event->type() == QEvent::FocusIn) Guarded([this] { spSkinEdit1Enter(); });
    if (event->type() == QEvent::FocusOut) Guarded([this] { spSkinEdit1Exit(); });
    return false;
  }
  return GaugeMouseEvent(watched, event);
}

void TForm1::spSkinPopupMenu1Popup() {
  SetShowHint(false);
}
void TForm1::spSkinPopupMenu1MenuClose() {
  SetShowHint(true);
}
void TForm1::spSkinPopupMenu2Popup() {
  SetShowHint(true);
}
void TForm1::spSkinPopupMenu2MenuClose() {
  SetShowHint(true);
}

void TForm1::N11Click() {
  // Also out of a normal minimise (a desktop without a tray).
  spDynamicSkinForm1->Restore();
}

void TForm1::spTrayIcon1Click() {
  N11Click();
}

void TForm1::N10Click() {
  close();
}

void TForm1::spSkinCheckBox1Click() {
  bool onTop = spSkinCheckBox1->isChecked();
  spDynamicSkinForm1->SetStayOnTop(onTop);
  spSkinComboBox1->setEnabled(!onTop);
}

void TForm1::spSkinButton1Click() {
  // The companion program is only started; its result is not looked at.
  QProcess::startDetached(ui::FromAnsi(state_.AppDir + "ktv.exe"), {});
}

void TForm1::SetSkipTaskbar(bool skip) {
  taskbarShown_ = !skip;
  taskbar::SetSkipTaskbar(this, skip);
}

void TForm1::ConnectHandlers() {
  auto on = [this](QAction* item, void (TForm1::*handler)()) {
    connect(item, &QAction::triggered, this,
            [this, handler] { Guarded([=, this] { (this->*handler)(); }); });
  };
  // Commands that change the playlist rows or write a list file: while the
  // core fills the list they are refused before any dialog opens.
  auto onList = [this](QAction* item, void (TForm1::*handler)()) {
    connect(item, &QAction::triggered, this, [this, handler] {
      if (!player_->Busy()) Guarded([=, this] { (this->*handler)(); });
    });
  };
  connect(RzBmpButton1, &QAbstractButton::clicked, this,
          [this] { Guarded([this] { RzBmpButton1Click(); }); });
  connect(RzBmpButton2, &QAbstractButton::clicked, this,
          [this] { Guarded([this] { RzBmpButton2Click(); }); });
  connect(RzBmpButton3, &QAbstractButton::clicked, this,
          [this] { Guarded([this] { RzBmpButton3Click(); }); });
  connect(RzBmpButton4, &QAbstractButton::clicked, this,
          [this] { Guarded([this] { RzBmpButton4Click(); }); });
  connect(RzBmpButton5, &QAbstractButton::clicked, this,
          [this] { Guarded([this] { ToggleWindowHeight(); }); });
  connect(RzBmpButton6, &QAbstractButton::clicked, this,
          [this] { Guarded([this] { RzBmpButton6Click(); }); });

  on(N1, &TForm1::N1Click);
  onList(N2, &TForm1::N2Click);
  onList(N3, &TForm1::N3Click);
  on(N24, &TForm1::N24Click);
  onList(N12, &TForm1::N12Click);
  onList(N19, &TForm1::N19Click);
  onList(N23, &TForm1::N23Click);
  onList(N20, &TForm1::N20Click);
  onList(N22, &TForm1::N22Click);
  on(MenuItem1, &TForm1::MenuItem1Click);
  onList(MenuItem2, &TForm1::MenuItem2Click);
  on(N27, &TForm1::N27Click);
  onList(N13, &TForm1::N13Click);
  on(N16, &TForm1::N16Click);
  on(N17, &TForm1::N17Click);
  on(N4, &TForm1::N4Click);
  on(N6, &TForm1::RzBmpButton2Click);
  on(N7, &TForm1::RzBmpButton1Click);
  on(MenuItem4, &TForm1::N4Click);
  on(MenuItem6, &TForm1::RzBmpButton2Click);
  on(MenuItem7, &TForm1::RzBmpButton1Click);
  on(N11, &TForm1::N11Click);
  on(N28, &TForm1::N28Click);
  on(N29, &TForm1::N29Click);
  on(N30, &TForm1::N30Click);
  on(N10, &TForm1::N10Click);

  connect(spSkinPopupMenu1, &QMenu::aboutToShow, this, [this] { spSkinPopupMenu1Popup(); });
  connect(spSkinPopupMenu1, &QMenu::aboutToHide, this, [this] { spSkinPopupMenu1MenuClose(); });
  connect(spSkinPopupMenu2, &QMenu::aboutToShow, this, [this] { spSkinPopupMenu2Popup(); });
  connect(spSkinPopupMenu2, &QMenu::aboutToHide, this, [this] { spSkinPopupMenu2MenuClose(); });

  connect(spSkinCheckBox1, &QCheckBox::clicked, this,
          [this] { Guarded([this] { spSkinCheckBox1Click(); }); });
  connect(spSkinCheckBox2, &QCheckBox::clicked, this,
          [this] { Guarded([this] { spSkinCheckBox2Click(); }); });
  connect(spSkinButton1, &QPushButton::clicked, this,
          [this] { Guarded([this] { spSkinButton1Click(); }); });
  connect(spSkinComboBox1, &QComboBox::currentIndexChanged, this,
          [this] { Guarded([this] { spSkinComboBox1Change(); }); });

  SetTagErrorReporter([](const std::string& message) {
    // No owner window, caption "Error", error icon, brought to the front.
    RunBox(nullptr, QMessageBox::Critical, QStringLiteral("Error"), message, "TagErrorBox");
  });
}
