#pragma once

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPixmap>
#include <QString>
#include <memory>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;
class QTimer;
class QWidget;
class TAboutBox;
class TLoginDlg;
class TRequestWorker;
class TTrayIconComponent;
class TUnfocusedTrackBar;
class TVlcPlayer;

// The main window. Creating it signs the user in (FormCreate); it shows the channel list,
// plays streams, polls the broadcast status and keeps the frame, panels and full screen.
// Everything here runs on the UI thread; request completions are handed over by the
// request worker as messages (WM_REQ_*), which event() dispatches to the WMReq* handlers.
//
// The implementation is split by concern: TMainForm.cpp (design and dispatch),
// TMainForm_SignIn.cpp, TMainForm_Requests.cpp, TMainForm_ChannelList.cpp,
// TMainForm_Watch.cpp, TMainForm_Broadcast.cpp, TMainForm_CurrentChannel.cpp,
// TMainForm_Frame.cpp, TMainForm_Keyboard.cpp, TMainForm_Tray.cpp, TMainForm_Dialogs.cpp.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Signs in with the login dialog before it returns. When sign-in fails or is cancelled,
    // the process ends inside the constructor.
    explicit TMainForm(TLoginDlg* loginDlg, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The design caption; the window caption is "<design caption> (<user>)" after sign-in.
    static const QString DesignCaption;
    // Outer window size of the design and the minimum tracking size, in pixels.
    static constexpr int DesignOuterWidth = 1137;
    static constexpr int DesignOuterHeight = 657;
    static constexpr int MinOuterWidth = 950;
    static constexpr int MinOuterHeight = 645;
    // The outer sizes above include a frame of 8 pixels on each side and a 23-pixel caption;
    // the window manager adds its own frame around the Qt window.
    static constexpr int FrameExtraWidth = 16;
    static constexpr int FrameExtraHeight = 39;

    // -- Sign-in, exit and logout
    void FormCreate();
    void ShowServerError(const QString& text, bool endApplication);
    void Exit1Click();
    void Exit2Click();
    void Exit3Click();
    void Logout1Click();
    void Logout2Click();
    void Logout3Click();
    void Minimizetotray1Click();

    QString UserName;
    QString UserPassword; // in memory only, never stored
    bool IsAdmin = false;
    QByteArray BroadcastCid;
    QByteArray BroadcastLang;
    QByteArray BroadcastUrl;
    QString BaseCaption;
    bool Exiting = false;
    bool LoggingOut = false;
    TLoginDlg* LoginDlg = nullptr;
    TAboutBox* AboutBox = nullptr; // created by the program entry after the window

    // -- Requests and the connection lamp
    void SendRequest(const QByteArray& query, int notify);
    void CheckRequestFailed();
    void SetConnState(int state);
    void WMReqConnState(std::intptr_t wParam);

    std::unique_ptr<TRequestWorker> Requests; // owns the request slot and RequestMutex
    bool FatalErrorShown = false;
    QPixmap LedIdleImage;
    QPixmap LedBusyImage;
    QPixmap LedFailedImage;

    // -- Channel list and audio languages
    void FormActivate();
    void WMReqList();
    void ChannelListClick();
    void FillLanguages();
    void SelectPreferredLanguage();
    bool HasSeveralLanguages(int index) const;
    void SetLastCid(const QByteArray& cid);
    // Index of a channel identifier in ChannelIds, letter case ignored; -1 when not listed.
    int IndexOfChannel(const QByteArray& cid) const;
    // The languages entry of a channel; empty for a channel the reply gave none.
    QByteArray LanguagesOf(int index) const;

    QList<QByteArray> ChannelIds;
    QList<QByteArray> ChannelNames;
    QList<QByteArray> ChannelLanguages;
    int LastClickedIndex = -1;
    QString PreferredLanguage;
    QByteArray LastCid;
    bool FirstActivation = true;

    // -- Watching a channel
    void ChannelListDblClick();
    void WatchBtnClick();
    void WMReqStart();
    void StopPlayerBtnClick();
    void PrevBtnClick();
    void NextBtnClick();
    void LangComboChange();
    void PlayStream(const QString& title, const QByteArray& url, bool source, int track);
    void RecreatePlayer();
    void RestoreLastChannel();
    // Sets the window caption and the application title.
    void SetCaption(const QString& caption);
    // Selects a row as the program does: no click is reported.
    void SelectChannelRow(int row);

    QByteArray PendingCid;
    int PendingIndex = -1;
    QByteArray PendingLang;
    int PendingLangIndex = -1;
    // The last watch request asked for the broadcast (cmd=startbdc, or its reuse): its reply
    // is the broadcast's URL, whatever UseOriginalStream holds when the reply arrives.
    bool PendingBroadcast = false;
    bool PlayingSource = false;
    bool ChangeBroadcastOnly = false;
    bool UseOriginalStream = true;
    bool InitFullScreen = false;
    QString AspectRatio;
    QString LibraryFolder;
    TVlcPlayer* VlcPlayer = nullptr;

    // -- Broadcast control and status polling
    void StatusTimerTimer();
    void UpdateChannelStatus1Click();
    void BroadcastStateLblClick();
    void StopBtnClick();
    void ChangeCurrentChannel1Click();
    void WMReqStatus();
    void WMReqStop();
    void RequestStatus(bool select, bool play);
    // The close handler: true when the window may close.
    bool FormClose();

    bool StatusIdle = true;
    bool StatusSelect = false;
    bool StatusPlay = false;
    bool StopBroadcastOnExit = false;
    bool ExitInProgress = false; // the exit waits for its last request
    // How long the exit waits for the request in flight.
    static constexpr int ExitRequestWaitMs = 10000;

    // -- Current Channel panel
    void ShowCurrentChannel(int index, const QByteArray& language);
    void BroadcastStateLblMouseEnter();
    void BroadcastStateLblMouseLeave();

    // -- Frame, panels and full screen
    void FormResize();
    void VlcPlayerDblClick();
    void ShowStatusPanel1Click();
    void ShowPlayerControls2Click();
    void PlayerMenuPopup();
    void WMPopupMenuEnter();
    void WMPopupMenuExit();
    void VolumeControlChange();
    bool ChannelListShown() const;
    bool PlayerControlsShown() const;
    void SetChannelListVisible(bool shown);
    void SetPlayerControlsVisible(bool shown);
    void SetCursorVisible(bool shown);
    void UpdateCursorForPanels();
    void ShowVolumePercent();
    void CreateVolumeBar();
    void LoadButtonGlyph(QPushButton* button, int id);
    void AddMenuImage(int id);

    bool FullScreen = false;
    Qt::WindowFlags SavedStyle;
    Qt::WindowStates SavedState; // maximized is part of the style the window returns to
    int SavedTop = 0;
    int SavedLeft = 0;
    int SavedHeight = 0;
    int SavedWidth = 0;
    bool ChannelListWanted = true;
    bool PlayerControlsWanted = true;
    bool CursorShown = true;
    QList<QIcon> MenuImgList;

    // -- Keyboard and mouse wheel
    // Returns nothing: the key is never consumed, the focused control still handles it.
    void FormKeyDown(int key, Qt::KeyboardModifiers shift);
    // Sees every wheel turn over the window; under is the control beneath the cursor.
    // Returns false when the control handles the wheel itself (a scrollable channel list).
    bool MouseWheelHandler(QWidget* under, int delta);
    void VolumeDown();
    void VolumeUp();
    void WheelVolume(int delta);

    // -- Tray
    void Resume1Click();
    void TrayIconClick();

    TTrayIconComponent* TrayIcon = nullptr;
    // Closed while no tray host runs: the window was minimised instead of hidden.
    bool MinimizedInsteadOfTray = false;

    // -- Dialogs
    void Options2Click();
    void About1Click();

    // -- Design: the window's controls and menus
    QWidget* ClientArea = nullptr; // the client area below the menu bar
    QWidget* StatusPanel = nullptr;
    QLabel* Label1 = nullptr;
    QListWidget* ChannelList = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QFrame* BroadcastPanel = nullptr;
    QLabel* BroadcastStateLbl = nullptr;
    QPushButton* StopBtn = nullptr;
    QPushButton* Button1 = nullptr;
    QWidget* PlayerPanel = nullptr;
    QPushButton* PlayBtn = nullptr;
    QPushButton* PrevBtn = nullptr;
    QPushButton* StopChanBtn = nullptr;
    QPushButton* NextBtn = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* LangCombo = nullptr;
    QLabel* Label3 = nullptr;
    TUnfocusedTrackBar* VolumeBar = nullptr; // absent until the first activation
    QLabel* VolPercentLabel = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* ConnStateLed = nullptr;
    QPushButton* Button2 = nullptr;
    QWidget* BlackBox = nullptr;
    QWidget* PlayerLogoPanel = nullptr;
    QLabel* PlayerLogo = nullptr;
    QTimer* StatusTimer = nullptr;

    QMenuBar* MainMenu = nullptr;
    QMenu* User1 = nullptr;
    QAction* Minimizetotray1 = nullptr;
    QAction* Logout1 = nullptr;
    QAction* Exit2 = nullptr;
    QMenu* Actions1 = nullptr;
    QAction* UpdateChannelStatus1 = nullptr;
    QAction* WatchCurrentChannel1 = nullptr;
    QAction* ChangeCurrentChannel1 = nullptr;
    QAction* StopChannel1 = nullptr;
    QMenu* Options1 = nullptr;
    QAction* Options2 = nullptr;
    QAction* ShowStatusPanel1 = nullptr;
    QAction* ShowPlayerControls2 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* About1 = nullptr;

    QMenu* PlayerMenu = nullptr;
    QAction* Play1 = nullptr;
    QAction* Stop1 = nullptr;
    QAction* Previous1 = nullptr;
    QAction* Next1 = nullptr;
    QAction* Fullscreen1 = nullptr;
    QAction* ShowStatusPanel2 = nullptr;
    QAction* ShowPlayerControls1 = nullptr;
    QAction* Logout3 = nullptr;
    QAction* Exit3 = nullptr;

    QMenu* TrayMenu = nullptr;
    QAction* Resume1 = nullptr;
    QAction* Logout2 = nullptr;
    QAction* Exit1 = nullptr;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateDesign();
    void CreateMenus();
    // The creation steps that follow the sign-in, in this order.
    void ChannelListCreationStep();
    void WatchCreationStep();
    void BroadcastCreationStep();
    void FrameCreationStep();
    void TrayCreationStep();
    // Places the docked panels (left, bottom, the rest) in the client area.
    void AlignPanels();
    // Hides the window to the tray (or the taskbar, when no tray host runs).
    void CloseToTray();
    // Fills the request slot with a known reply and handles it as a start reply.
    void DeliverStartReply(const QByteArray& reply);
};
