// TForm1, the player's one window. It owns the player core (player/Player.h),
// which is the record of what plays, the volume and the rows; the window shows
// what the core says and sends it commands. Of its own it keeps TPlayerState
// (folders, skin, sizes, drag flags, page links), the settings file, the two
// list panels (views over the core's rows and the search results), timers 1,
// 3 and 4 and the rule-page worker. Handlers are thin and named after their
// component and event.
//
// The class is split by concern: Unit1.cpp (start-up, shutdown, timers 3 and 4,
// the worker, error display, hints, tray), Unit1Layout.cpp (the form layout),
// Unit1Playback.cpp (the play buttons, the volume, the tick's display),
// Unit1Playlist.cpp (the playlist menu), Unit1Skin.cpp (skins, heights, transparency),
// Unit1Search.cpp (search box and search list), Unit1Desktop.cpp (second
// launches, media controls, the place on the screen), Unit1Association.cpp
// (the file association check box), Unit1Keys.cpp (the window's keys).
//
// Window's thread only; the worker reaches it through queued calls.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main/Mpris.h"
#include "main/PlayerState.h"
#include "player/Player.h"
#include "playlist/listpanel/listpanel.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;
class TAppInstances;
class TFlatGauge;
class TIniFile;
namespace fileass {
class TDesktopAssociation;
}
class TJobLane;
struct TPageLoad;
class TRuleWorker;
class TRzBmpButton;
class TSkinImage;
class TseXLabel;
class TspDynamicSkinForm;
class TspSkinData;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // `appDir` is the program folder with its trailing "/" (local code page);
  // `args` the command-line arguments after the program name (local code page);
  // `userDir` the folder of Main.ini and playlist.txt, chosen by UserFolder
  // when empty. Runs the whole start-up (FormCreate); the loop timers start
  // with the event loop.
  TForm1(std::string appDir, std::vector<std::string> args, std::string userDir = {});
  ~TForm1() override;

  TPlayerState& State() { return state_; }
  const TPlayerState& State() const { return state_; }
  TPlayer& Player() { return *player_; }
  const TPlayer& Player() const { return *player_; }
  TCnScroolStoreBox* PlaylistBox() const { return playlistBox_; }
  TCnScroolStoreBox* SearchBox() const { return searchBox_; }
  TspDynamicSkinForm* SkinForm() const { return spDynamicSkinForm1; }
  const TListBackBitmaps& ListBack() const { return listBack_; }

  // Whether the program has a taskbar entry (the skip-taskbar state is off).
  bool TaskbarEntryShown() const { return taskbarShown_; }
  // Application-wide hints (tooltips).
  bool ShowHint() const { return showHint_; }
  // A result page is being fetched; a song is being looked up or opened.
  bool ResultsLoading() const;
  bool SongLoading() const;

  // Operations other parts of the window call; the rows are the core's.
  void LoadPlaylist(const std::string& fileName) { player_->Load(fileName); }
  int AddToPlaylist(const std::string& title, const std::string& singer, int32_t songId, bool play,
                    const std::string& path) {
    return player_->Add({title, singer, songId, path}, play);
  }
  void ExpandWindow();
  void CollapseWindow();

  // Takes the second launches `instances` hears: the window comes forward and
  // the first handed-over argument plays (Unit1Desktop.cpp).
  void ListenTo(TAppInstances& instances);
  // Offers the player on the desktop's media bus when there is a session bus
  // (Unit1Desktop.cpp); the service, or nullptr.
  mpris::TMprisService* StartMediaControls();
  mpris::TMprisService* MediaService() const { return mprisService_; }

  // The window's message boxes (modal); text in the local code page.
  void ShowMessage(const std::string& text);
  void ShowError(const std::string& text);

 signals:
  // The window was closed; the process entry ends the event loop.
  void Closed();
  // The playback tick has run: what plays may have changed.
  void Ticked();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Unit1.cpp: start-up and shutdown, worker, hints, tray and window commands.
  void FormCreate();
  void FormClose();
  void StartLoopTimers();
  void ConnectHandlers();
  void Timer3Timer();
  void Timer4Timer();
  void SetShowHint(bool on);
  void spSkinPopupMenu1Popup();
  void spSkinPopupMenu1MenuClose();
  void spSkinPopupMenu2Popup();
  void spSkinPopupMenu2MenuClose();
  void spTrayIcon1Click();
  void N11Click();
  void N10Click();
  void spSkinCheckBox1Click();
  void spSkinButton1Click();
  void SetSkipTaskbar(bool skip);
  void SetCaption(const std::string& caption);
  // Runs a handler; an error it raises goes to the error display.
  void Guarded(const std::function<void()>& handler);

  // Unit1Desktop.cpp: single instance, the window's place on the screen.
  void JvAppInstancesUserNotify(int param);
  void JvAppInstancesCmdLineReceived(const std::vector<std::string>& args);
  mpris::TMediaControls MediaControls();
  mpris::TNowPlaying NowPlaying() const;
  QRect AvailableArea() const;
  void CentreOnScreen();
  void KeepOnScreen();

  // Unit1Association.cpp: the file association check box.
  void SetUpAssociation();
  void spSkinCheckBox2Click();

  // Unit1Layout.cpp
  void BuildLayout();
  void BuildMenus();
  void BuildTimers();
  QLabel* MakeLabel(const char* name, QWidget* parent, QRect geometry, const QString& text);
  QAction* MakeItem(QMenu* menu, const char* name, const QString& caption);

  // Unit1Playback.cpp
  void FollowPlayer();
  void RzBmpButton3Click();
  void RzBmpButton4Click();
  void N4Click();
  bool GaugeMouseEvent(QObject* watched, QEvent* event);
  bool FlatGauge1MouseEvent(QEvent* event);
  void SeekFromGauge(double x);
  void ShowProgress(const TTickInfo& info);
  void SetVolumeFromCursor();
  void ShowVolume(int volume);
  void ShowState(DWORD engineState);
  void ShowSong(const TSongInfo& song);
  void ShowLyrics(const tick::TLyricFrame& frame);
  void ClearLyrics();
  void RzBmpButton1Click();
  void RzBmpButton2Click();
  void PlaylistItemDblClick(int index);
  void N28Click();
  void N29Click();
  void N30Click();
  void Timer1Timer();
  void Tick();
  void SetLyricLabel(QLabel* label, const QColor& colour, const QString& text);

  // Unit1Playlist.cpp
  void SeedPlaylist();
  void N1Click();
  void N2Click();
  void N3Click();
  void N24Click();
  void N12Click();
  void N19Click();
  void N23Click();
  void N20Click();
  void N22Click();
  // Shows one of the dialogs OpenDialog1, OpenDialog2 or SaveDialog1; the
  // chosen names (local code page), none when cancelled.
  std::vector<std::string> RunFileDialog(const char* name);

  // Unit1Skin.cpp
  void CreateSkinForm();
  void SetUpTray();
  void SetUpTrayIcon(QSystemTrayIcon* tray);
  void spTrayIcon1Cycle();
  bool RollUpState() const;
  void ToggleWindowHeight();
  void SetWindowWidth(int width);
  void SetWindowHeight(int height);
  void SetAlphaFromCursor();
  void ListSkins();
  void spSkinComboBox1Change();
  void LoadSkinDescription();
  void ApplySkinLayout(const std::string& skin);
  void LoadSkinImage(TSkinImage* image, const std::string& fileName);
  void LoadButtonImages(TRzBmpButton* button, const std::string& name);
  void LoadListBackBitmaps(const std::string& skin);
  std::string SkinFile(const std::string& skin, const std::string& fileName) const;

  // Unit1Keys.cpp
  void InstallKeys();
  // A key pressed anywhere in the window; true when it was one of ours.
  bool FormKeyDown(QObject* receiver, QKeyEvent* event);

  // Unit1Search.cpp
  void spSkinEdit1Enter();
  void spSkinEdit1Exit();
  void RzBmpButton6Click();
  void LoadResultPage(std::string address);
  void ShowResultPage(TPageLoad& load);
  void N16Click();
  void N17Click();
  void MenuItem1Click();
  void MenuItem2Click();
  void N27Click();
  void N13Click();

  TPlayerState state_;
  std::vector<std::string> args_;
  std::unique_ptr<TIniFile> MainIni;
  std::unique_ptr<TRuleWorker> BMDThread1;
  std::unique_ptr<fileass::TDesktopAssociation> association_;
  std::unique_ptr<TJobLane> searchJobs_;  // result page loads
  TPlayer* player_ = nullptr;             // the core, a child of the window
  TRowModel* searchRows_ = nullptr;       // the search results, a child of the window
  TListBackBitmaps listBack_;
  bool taskbarShown_ = true;
  bool showHint_ = true;
  bool closing_ = false;
  std::string lastTickError_;
  std::vector<std::string> startupErrors_;  // shown once the event loop runs
  mpris::TMprisService* mprisService_ = nullptr;

  // Skin engine.
  TspSkinData* spSkinData1 = nullptr;
  TspDynamicSkinForm* spDynamicSkinForm1 = nullptr;

  // Form layout (client coordinates below the caption bar).
  QWidget* ClientArea = nullptr;
  TSkinImage* LogoBack = nullptr;
  TSkinImage* logo = nullptr;
  TSkinImage* ControlBar = nullptr;
  TSkinImage* laba = nullptr;
  TSkinImage* yuan = nullptr;
  TSkinImage* yuan2 = nullptr;
  TseXLabel* seXLabel1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* spSkinLabel1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label13 = nullptr;
  QLabel* Label14 = nullptr;
  QLabel* Label15 = nullptr;
  std::array<QLabel*, 9> lyricLabels_{};  // Label4 .. Label12
  TRzBmpButton* RzBmpButton1 = nullptr;
  TRzBmpButton* RzBmpButton2 = nullptr;
  TRzBmpButton* RzBmpButton3 = nullptr;
  TRzBmpButton* RzBmpButton4 = nullptr;
  TRzBmpButton* RzBmpButton5 = nullptr;
  TRzBmpButton* RzBmpButton6 = nullptr;
  TFlatGauge* FlatGauge1 = nullptr;
  TFlatGauge* FlatVolGauge2 = nullptr;
  TFlatGauge* FlatAlphaGauge2 = nullptr;
  QLineEdit* spSkinEdit1 = nullptr;
  QLineEdit* spSkinEdit2 = nullptr;
  QTabWidget* spSkinPageControl1 = nullptr;
  QWidget* spSkinTabSheet1 = nullptr;
  QWidget* spSkinTabSheet2 = nullptr;
  QWidget* spSkinTabSheet3 = nullptr;
  QWidget* spSkinTabSheet4 = nullptr;
  QScrollBar* spSkinScrollBar1 = nullptr;
  QScrollBar* spSkinScrollBar2 = nullptr;
  QCheckBox* spSkinCheckBox1 = nullptr;
  QCheckBox* spSkinCheckBox2 = nullptr;
  QComboBox* spSkinComboBox1 = nullptr;
  QPushButton* spSkinButton1 = nullptr;
  TCnScroolStoreBox* playlistBox_ = nullptr;
  TCnScroolStoreBox* searchBox_ = nullptr;

  QMenu* spSkinPopupMenu1 = nullptr;  // playlist rows
  QMenu* spSkinPopupMenu2 = nullptr;  // search rows
  QMenu* spSkinPopupMenu3 = nullptr;  // system menu
  QMenu* spSkinPopupMenu4 = nullptr;  // tray
  QMenu* spSkinPopupMenu5 = nullptr;  // lyric lines
  QAction *N1 = nullptr, *N2 = nullptr, *N3 = nullptr, *N4 = nullptr, *N5 = nullptr, *N6 = nullptr,
          *N7 = nullptr, *N8 = nullptr, *N9 = nullptr, *N10 = nullptr, *N11 = nullptr,
          *N12 = nullptr, *N13 = nullptr, *N14 = nullptr, *N15 = nullptr, *N16 = nullptr,
          *N17 = nullptr, *N18 = nullptr, *N19 = nullptr, *N20 = nullptr, *N21 = nullptr,
          *N22 = nullptr, *N23 = nullptr, *N24 = nullptr, *N25 = nullptr, *N26 = nullptr,
          *N27 = nullptr, *N28 = nullptr, *N29 = nullptr, *N30 = nullptr;
  QAction *MenuItem1 = nullptr, *MenuItem2 = nullptr, *MenuItem4 = nullptr, *MenuItem5 = nullptr,
          *MenuItem6 = nullptr, *MenuItem7 = nullptr, *MenuItem8 = nullptr;

  QTimer* Timer1 = nullptr;  // 200 ms playback tick
  QTimer* Timer3 = nullptr;  // 200 ms, starts the worker once
  QTimer* Timer4 = nullptr;  // 200 ms, plays the start-up file
};
