// The main window's design (its controls and menus, as laid out at design time) and the
// dispatch of its events and messages to the handlers.

#include "app/TMainForm.h"

#include "platform/TWindowMessage.h"
#include "player/TVlcPlayer.h"
#include "service/TRequestWorker.h"
#include "widgets/DesignControls.h"
#include "widgets/TPopupListNotifier.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

const QString TMainForm::DesignCaption = QStringLiteral("Kavrien Player");

namespace {

// A panel that paints its own black background, whatever its parent looks like.
QWidget* MakeBlackPanel(QWidget* parent) {
    auto* panel = new QWidget(parent);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, Qt::black);
    panel->setPalette(palette);
    return panel;
}

} // namespace

TMainForm::TMainForm(TLoginDlg* loginDlg, QWidget* parent)
    : QMainWindow(parent), LoginDlg(loginDlg) {
    CreateDesign();
    FormCreate();
}

TMainForm::~TMainForm() {
    // Workers still running must not deliver to a window that is going away.
    Requests.reset();
    // The blank cursor of full screen belongs to this window, not to whatever comes next.
    SetCursorVisible(true);
}

void TMainForm::CreateDesign() {
    setWindowTitle(DesignCaption);
    setFont(SansSerifFont(11));

    ClientArea = new QWidget(this);
    setCentralWidget(ClientArea);
    // One filter for the whole program: the wheel is seen wherever it turns over this
    // window, and a few controls report their events to the window's handlers.
    qApp->installEventFilter(this);

    // The channel-list panel, docked left.
    StatusPanel = new QWidget(ClientArea);
    StatusPanel->resize(281, 100);
    Label1 = MakeLabel(StatusPanel, QStringLiteral("Channel List :"), 8, 4, SansSerifFont(13));
    ChannelList = new QListWidget(StatusPanel);
    ChannelList->setGeometry(2, 28, 277, 100);
    ChannelList->setFont(SansSerifFont(13));
    ChannelList->setUniformItemSizes(true);
    GroupBox1 = new QGroupBox(QStringLiteral("Current Channel"), StatusPanel);
    GroupBox1->setFont(SansSerifFont(13));
    GroupBox1->setGeometry(8, 135, 265, 69);
    BroadcastPanel = new QFrame(GroupBox1);
    BroadcastPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    BroadcastPanel->setLineWidth(2);
    BroadcastPanel->setGeometry(7, 20, 250, 37);
    BroadcastStateLbl = new QLabel(QStringLiteral("None"), BroadcastPanel);
    BroadcastStateLbl->setFont(SansSerifFont(13, true));
    BroadcastStateLbl->setGeometry(8, 4, 170, 29);
    StopBtn = MakeButton(BroadcastPanel, QStringLiteral("&STOP"), QRect(186, 6, 57, 25));
    StopBtn->hide();
    Button1 = MakeButton(StatusPanel, QStringLiteral("X"), QRect(254, 1, 24, 24));
    Button1->setFont(SansSerifFont(13));

    // The player-controls panel, docked at the bottom.
    PlayerPanel = new QWidget(ClientArea);
    PlayerPanel->resize(100, 42);
    PlayBtn = MakeButton(PlayerPanel, QString(), QRect(8, 2, 38, 38));
    PrevBtn = MakeButton(PlayerPanel, QString(), QRect(72, 2, 38, 38));
    StopChanBtn = MakeButton(PlayerPanel, QString(), QRect(112, 2, 38, 38));
    NextBtn = MakeButton(PlayerPanel, QString(), QRect(152, 2, 38, 38));
    Label4 = MakeLabel(PlayerPanel, QStringLiteral("Audio Language :"), 288, 11, SansSerifFont(13));
    LangCombo = new QComboBox(PlayerPanel);
    LangCombo->setFont(SansSerifFont(13));
    LangCombo->setGeometry(408, 9, 137, 24);
    LangCombo->setEditable(false);
    Label3 = MakeLabel(PlayerPanel, QStringLiteral("Volume :"), 500, 11, SansSerifFont(13));
    VolPercentLabel = MakeLabel(PlayerPanel, QStringLiteral("100 %"), 800, 11, SansSerifFont(13));
    Label2 = MakeLabel(PlayerPanel, QStringLiteral("Connection :"), 900, 11, SansSerifFont(13));
    ConnStateLed = new QLabel(PlayerPanel);
    ConnStateLed->setGeometry(1000, 8, 25, 25);
    Button2 = MakeButton(PlayerPanel, QStringLiteral("X"), QRect(1050, 1, 24, 24));
    Button2->setFont(SansSerifFont(13));

    // The video area: black, with the logo centred over it while nothing plays.
    BlackBox = MakeBlackPanel(ClientArea);
    BlackBox->setContextMenuPolicy(Qt::CustomContextMenu);
    PlayerLogoPanel = MakeBlackPanel(ClientArea);
    PlayerLogoPanel->resize(128, 128);
    PlayerLogoPanel->setContextMenuPolicy(Qt::CustomContextMenu);
    PlayerLogo = new QLabel(PlayerLogoPanel);
    PlayerLogo->setGeometry(0, 0, 128, 128);
    PlayerLogo->setAlignment(Qt::AlignCenter);
    PlayerLogo->setContextMenuPolicy(Qt::CustomContextMenu);

    StatusTimer = new QTimer(this);
    StatusTimer->setInterval(5000);

    CreateMenus();

    // Wiring of the controls to their handlers.
    // A click, also on the row already selected, and a selection by the keyboard; rows
    // the program selects do not count (SelectChannelRow blocks these).
    connect(ChannelList, &QListWidget::itemClicked, this, [this] { ChannelListClick(); });
    connect(ChannelList, &QListWidget::itemSelectionChanged, this, [this] { ChannelListClick(); });
    connect(ChannelList, &QListWidget::itemDoubleClicked, this, [this] { ChannelListDblClick(); });
    // A change the user makes; the program fills and selects with the signals blocked.
    connect(LangCombo, &QComboBox::currentIndexChanged, this, [this] { LangComboChange(); });
    connect(PlayBtn, &QPushButton::clicked, this, [this] { WatchBtnClick(); });
    connect(StopChanBtn, &QPushButton::clicked, this, [this] { StopPlayerBtnClick(); });
    connect(PrevBtn, &QPushButton::clicked, this, [this] { PrevBtnClick(); });
    connect(NextBtn, &QPushButton::clicked, this, [this] { NextBtnClick(); });
    connect(StopBtn, &QPushButton::clicked, this, [this] { StopBtnClick(); });
    connect(Button1, &QPushButton::clicked, this, [this] { ShowStatusPanel1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { ShowPlayerControls2Click(); });
    connect(StatusTimer, &QTimer::timeout, this, [this] { StatusTimerTimer(); });
    auto openPlayerMenu = [this](QWidget* source) {
        return [this, source](const QPoint& at) {
            PlayerMenu->popup(source->mapToGlobal(at));
        };
    };
    connect(BlackBox, &QWidget::customContextMenuRequested, this, openPlayerMenu(BlackBox));
    connect(PlayerLogoPanel, &QWidget::customContextMenuRequested, this,
            openPlayerMenu(PlayerLogoPanel));
    connect(PlayerLogo, &QWidget::customContextMenuRequested, this, openPlayerMenu(PlayerLogo));

    // The layout of the client area follows the window from the start.
    resize(DesignOuterWidth - FrameExtraWidth, DesignOuterHeight - FrameExtraHeight);
    setMinimumSize(MinOuterWidth - FrameExtraWidth, MinOuterHeight - FrameExtraHeight);
}

void TMainForm::CreateMenus() {
    MainMenu = menuBar();
    User1 = MainMenu->addMenu(QStringLiteral("&User"));
    Minimizetotray1 = User1->addAction(QStringLiteral("&Minimize to Tray"));
    User1->addSeparator();
    Logout1 = User1->addAction(QStringLiteral("&Logout"));
    Exit2 = User1->addAction(QStringLiteral("&Exit"));
    Actions1 = MainMenu->addMenu(QStringLiteral("&Actions"));
    UpdateChannelStatus1 = Actions1->addAction(QStringLiteral("&Update Channel Status"));
    WatchCurrentChannel1 = Actions1->addAction(QStringLiteral("&Watch Current Channel"));
    ChangeCurrentChannel1 = Actions1->addAction(QStringLiteral("&Change Current Channel"));
    StopChannel1 = Actions1->addAction(QStringLiteral("&Stop Current Channel"));
    WatchCurrentChannel1->setEnabled(false);
    StopChannel1->setEnabled(false);
    Options1 = MainMenu->addMenu(QStringLiteral("&Options"));
    Options2 = Options1->addAction(QStringLiteral("&Options..."));
    ShowStatusPanel1 = Options1->addAction(QStringLiteral("&Show Channel List"));
    ShowPlayerControls2 = Options1->addAction(QStringLiteral("&Show Player Controls"));
    Help1 = MainMenu->addMenu(QStringLiteral("&Help"));
    About1 = Help1->addAction(QStringLiteral("&About..."));

    PlayerMenu = new QMenu(this);
    Play1 = PlayerMenu->addAction(QStringLiteral("&Play"));
    Stop1 = PlayerMenu->addAction(QStringLiteral("&Stop"));
    Previous1 = PlayerMenu->addAction(QStringLiteral("&Previous Channel"));
    Next1 = PlayerMenu->addAction(QStringLiteral("&Next Channel"));
    PlayerMenu->addSeparator();
    Fullscreen1 = PlayerMenu->addAction(QStringLiteral("&Fullscreen"));
    ShowStatusPanel2 = PlayerMenu->addAction(QStringLiteral("&Show Channel List"));
    ShowPlayerControls1 = PlayerMenu->addAction(QStringLiteral("&Show Player Controls"));
    PlayerMenu->addSeparator();
    Logout3 = PlayerMenu->addAction(QStringLiteral("&Logout"));
    Exit3 = PlayerMenu->addAction(QStringLiteral("&Exit"));

    TrayMenu = new QMenu(this);
    Resume1 = TrayMenu->addAction(QStringLiteral("&Resume"));
    Logout2 = TrayMenu->addAction(QStringLiteral("&Logout"));
    Exit1 = TrayMenu->addAction(QStringLiteral("&Exit"));

    for (QAction* item : {ShowStatusPanel1, ShowPlayerControls2, Fullscreen1, ShowStatusPanel2,
                          ShowPlayerControls1}) {
        item->setCheckable(true);
        item->setChecked(item != Fullscreen1);
    }

    auto on = [this](QAction* item, void (TMainForm::*handler)()) {
        connect(item, &QAction::triggered, this, [this, item, handler](bool checked) {
            // Qt toggles a check mark before the handler runs; the handlers set the marks
            // themselves from the window's state, so the toggle is undone first.
            if (item->isCheckable())
                item->setChecked(!checked);
            (this->*handler)();
        });
    };
    on(Minimizetotray1, &TMainForm::Minimizetotray1Click);
    on(Logout1, &TMainForm::Logout1Click);
    on(Exit2, &TMainForm::Exit2Click);
    on(UpdateChannelStatus1, &TMainForm::UpdateChannelStatus1Click);
    on(WatchCurrentChannel1, &TMainForm::BroadcastStateLblClick);
    on(ChangeCurrentChannel1, &TMainForm::ChangeCurrentChannel1Click);
    on(StopChannel1, &TMainForm::StopBtnClick);
    on(Options2, &TMainForm::Options2Click);
    on(ShowStatusPanel1, &TMainForm::ShowStatusPanel1Click);
    on(ShowPlayerControls2, &TMainForm::ShowPlayerControls2Click);
    on(About1, &TMainForm::About1Click);
    on(Play1, &TMainForm::WatchBtnClick);
    on(Stop1, &TMainForm::StopPlayerBtnClick);
    on(Previous1, &TMainForm::PrevBtnClick);
    on(Next1, &TMainForm::NextBtnClick);
    on(Fullscreen1, &TMainForm::VlcPlayerDblClick);
    on(ShowStatusPanel2, &TMainForm::ShowStatusPanel1Click);
    on(ShowPlayerControls1, &TMainForm::ShowPlayerControls2Click);
    on(Logout3, &TMainForm::Logout3Click);
    on(Exit3, &TMainForm::Exit3Click);
    on(Resume1, &TMainForm::Resume1Click);
    on(Logout2, &TMainForm::Logout2Click);
    on(Exit1, &TMainForm::Exit1Click);
    connect(PlayerMenu, &QMenu::aboutToShow, this, [this] { PlayerMenuPopup(); });
}

bool TMainForm::event(QEvent* event) {
    if (TWindowMessage* message = TWindowMessage::From(event)) {
        message->Result = 0;
        switch (message->Msg()) {
        case WM_REQ_LIST:
            WMReqList();
            return true;
        case WM_REQ_START:
            WMReqStart();
            return true;
        case WM_REQ_STOP:
            WMReqStop();
            return true;
        case WM_REQ_STATUS:
            WMReqStatus();
            return true;
        case WM_REQ_CONNSTATE:
            WMReqConnState(message->WParam);
            return true;
        case WM_POPUPMENU_ENTER:
            WMPopupMenuEnter();
            return true;
        case WM_POPUPMENU_EXIT:
        case WM_POPUPMENU_CLOSED:
            WMPopupMenuExit();
            return true;
        default:
            return QMainWindow::event(event);
        }
    }
    switch (event->type()) {
    case QEvent::WindowActivate:
        FormActivate();
        break;
    case QEvent::WindowStateChange:
        // Restored or maximized: lay out again, as the size may not change on its own.
        if (!(windowState() & Qt::WindowMinimized)) {
            FormResize();
            if (MinimizedInsteadOfTray)
                Resume1Click();
        }
        break;
    default:
        break;
    }
    return QMainWindow::event(event);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Wheel: {
        // Seen first at the control under the pointer (for the video, the overlay in its
        // native window). A turn taken here goes no further; one left to a scrolling channel
        // list stops at the list, so no parent counts it again.
        auto* under = qobject_cast<QWidget*>(watched);
        if (under != nullptr && under->window() == this)
            return MouseWheelHandler(under, static_cast<QWheelEvent*>(event)->angleDelta().y());
        break;
    }
    case QEvent::Resize:
        if (watched == ClientArea)
            FormResize();
        break;
    case QEvent::MouseButtonDblClick:
        if (watched == BlackBox || watched == PlayerLogo) {
            VlcPlayerDblClick();
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (watched == BroadcastStateLbl &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            BroadcastStateLbl->rect().contains(static_cast<QMouseEvent*>(event)->pos()))
            BroadcastStateLblClick();
        break;
    case QEvent::Enter:
        if (watched == BroadcastStateLbl)
            BroadcastStateLblMouseEnter();
        break;
    case QEvent::Leave:
        if (watched == BroadcastStateLbl)
            BroadcastStateLblMouseLeave();
        break;
    case QEvent::KeyPress:
        // Decided where the window system delivers the key, before any control sees it:
        // it counts when it goes to the window itself (no control holds the focus) or to
        // ChannelList. The keys of the other controls, also those they leave to their
        // parents, are theirs; and a key that moves the focus (hiding the list) is not seen
        // a second time on its way.
        if (watched == windowHandle()) {
            QWidget* target = QWidget::keyboardGrabber();
            if (target == nullptr)
                target = focusWidget() != nullptr ? focusWidget() : this;
            if (target == this || target == ClientArea || target == ChannelList) {
                auto* key = static_cast<QKeyEvent*>(event);
                FormKeyDown(key->key(), key->modifiers());
            }
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FormClose()) {
        event->accept();
        // The program ends with its main window; other windows (a message box, the
        // about box) do not keep it alive.
        QCoreApplication::quit();
    } else {
        event->ignore();
    }
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}
