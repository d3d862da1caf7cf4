// The window's frame: the docked panels, the logo, full screen, the cursor in full screen,
// the volume bar and the pictures.

#include "app/TMainForm.h"

#include "player/TVlcPlayer.h"
#include "settings/Settings.h"
#include "widgets/ResourcePictures.h"
#include "widgets/TUnfocusedTrackBar.h"

#include <QAction>
#include <QBitmap>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

namespace {

// A panel that hides while the keyboard focus is inside it hands the focus to the window
// itself, so the window's own keys keep working (a hidden control would take them all).
void DefocusPanel(QWidget* panel) {
    QWidget* window = panel->window();
    if (QWidget* focus = window->focusWidget(); focus != nullptr && panel->isAncestorOf(focus))
        window->setFocus(Qt::OtherFocusReason);
}

// The glyph's lower left pixel is its transparent colour, as with every bitmap button.
QPixmap TransparentGlyph(const QImage& glyph) {
    QPixmap pixmap = QPixmap::fromImage(glyph);
    pixmap.setMask(
        pixmap.createMaskFromColor(glyph.pixelColor(0, glyph.height() - 1), Qt::MaskInColor));
    return pixmap;
}

} // namespace

void TMainForm::FrameCreationStep() {
    FullScreen = false;
    CursorShown = true;
    SetChannelListVisible(ReadStatusPanelState());
    SetPlayerControlsVisible(ReadPlayerControlsState());
    const QImage logo = LoadJpegResource(103);
    if (!logo.isNull()) {
        PlayerLogo->setPixmap(QPixmap::fromImage(logo));
        FormResize();
    }
    PlayerLogoPanel->raise();
    LoadButtonGlyph(PlayBtn, 104);
    LoadButtonGlyph(PrevBtn, 107);
    LoadButtonGlyph(StopChanBtn, 105);
    LoadButtonGlyph(NextBtn, 106);
    AddMenuImage(108);
    AddMenuImage(109);
    AddMenuImage(111);
    AddMenuImage(110);
    const QList<QAction*> imaged = {Play1, Stop1, Previous1, Next1};
    for (int i = 0; i < imaged.size() && i < MenuImgList.size(); ++i)
        imaged[i]->setIcon(MenuImgList[i]);
    LedFailedImage = QPixmap::fromImage(LoadBitmapResource(114));
    LedBusyImage = QPixmap::fromImage(LoadBitmapResource(113));
    LedIdleImage = QPixmap::fromImage(LoadBitmapResource(112));
    SetConnState(0);
}

void TMainForm::AlignPanels() {
    const int width = ClientArea->width();
    const int height = ClientArea->height();
    const int bottom = PlayerPanel->isHidden() ? 0 : 42;
    if (!PlayerPanel->isHidden())
        PlayerPanel->setGeometry(0, height - bottom, width, bottom);
    const int left = StatusPanel->isHidden() ? 0 : 281;
    if (!StatusPanel->isHidden())
        StatusPanel->setGeometry(0, 0, 281, height - bottom);
    const QRect rest(left, 0, std::max(0, width - left), std::max(0, height - bottom));
    BlackBox->setGeometry(rest);
    if (VlcPlayer != nullptr)
        VlcPlayer->setGeometry(rest);
}

void TMainForm::FormResize() {
    if (ClientArea == nullptr)
        return;
    AlignPanels();
    ChannelList->resize(ChannelList->width(), std::max(0, StatusPanel->height() - 113));
    GroupBox1->move(GroupBox1->x(), ChannelList->y() + ChannelList->height() + 7);
    PlayerLogoPanel->move(BlackBox->x() + BlackBox->width() / 2 - PlayerLogoPanel->width() / 2,
                          BlackBox->height() / 2 - PlayerLogoPanel->height() / 2);
    const int w = PlayerPanel->width();
    auto placeRight = [w](QWidget* control, int gap) {
        control->move(w - control->width() - gap, control->y());
    };
    placeRight(Button2, 2);
    placeRight(ConnStateLed, 33);
    placeRight(Label2, 73);
    placeRight(VolPercentLabel, 173);
    if (VolumeBar != nullptr)
        placeRight(VolumeBar, 216);
    placeRight(Label3, 373);
    repaint();
    PlayerLogoPanel->repaint();
}

bool TMainForm::ChannelListShown() const {
    return ShowStatusPanel1->isChecked();
}

bool TMainForm::PlayerControlsShown() const {
    return ShowPlayerControls2->isChecked();
}

void TMainForm::SetChannelListVisible(bool shown) {
    ShowStatusPanel1->setChecked(shown);
    ShowStatusPanel2->setChecked(shown);
    if (!shown)
        DefocusPanel(StatusPanel);
    StatusPanel->setVisible(shown);
    if (FullScreen) {
        UpdateCursorForPanels();
    } else {
        ChannelListWanted = shown;
        if (!Exiting)
            WriteStatusPanelState(shown);
    }
    FormResize();
}

void TMainForm::SetPlayerControlsVisible(bool shown) {
    ShowPlayerControls1->setChecked(shown);
    ShowPlayerControls2->setChecked(shown);
    if (!shown)
        DefocusPanel(PlayerPanel);
    PlayerPanel->setVisible(shown);
    if (FullScreen) {
        UpdateCursorForPanels();
    } else {
        PlayerControlsWanted = shown;
        if (!Exiting)
            WritePlayerControlsState(shown);
    }
    FormResize();
}

void TMainForm::ShowStatusPanel1Click() {
    SetChannelListVisible(!ChannelListShown());
}

void TMainForm::ShowPlayerControls2Click() {
    SetPlayerControlsVisible(!PlayerControlsShown());
}

void TMainForm::SetCursorVisible(bool shown) {
    // Kept balanced: the override stack holds at most the one blank cursor set here.
    if (shown == CursorShown)
        return;
    CursorShown = shown;
    if (shown)
        QGuiApplication::restoreOverrideCursor();
    else
        QGuiApplication::setOverrideCursor(Qt::BlankCursor);
}

void TMainForm::UpdateCursorForPanels() {
    SetCursorVisible(ChannelListShown() || PlayerControlsShown());
}

void TMainForm::VlcPlayerDblClick() {
    QWindow* window = windowHandle();
    if (!FullScreen) {
        SavedStyle = window != nullptr ? window->flags() : windowFlags();
        SavedState = windowState() & ~Qt::WindowActive;
        // A maximized window keeps the bounds it had before; it is maximized again on leaving.
        const QRect bounds =
            isMaximized() && normalGeometry().isValid() ? normalGeometry() : geometry();
        SavedTop = bounds.top();
        SavedLeft = bounds.left();
        SavedHeight = bounds.height();
        SavedWidth = bounds.width();
        SetCursorVisible(false);
        // The platform window is kept (only its frame goes): the media library draws into
        // a child window that must survive the change.
        if (window != nullptr)
            window->setFlags(SavedStyle | Qt::FramelessWindowHint);
        if (SavedState & Qt::WindowMaximized)
            setWindowState(SavedState & ~Qt::WindowMaximized);
        // The minimum size is for the framed window; a smaller screen is still covered.
        setMinimumSize(0, 0);
        setGeometry(QGuiApplication::primaryScreen()->geometry());
        menuBar()->hide();
        // The client area takes the menu bar's place now, not on the next layout pass.
        layout()->activate();
        FullScreen = true;
        Fullscreen1->setChecked(true);
        SetChannelListVisible(false);
        SetPlayerControlsVisible(false);
        FormResize();
        return;
    }
    SetCursorVisible(true);
    if (window != nullptr)
        window->setFlags(SavedStyle);
    setMinimumSize(MinOuterWidth - FrameExtraWidth, MinOuterHeight - FrameExtraHeight);
    setGeometry(SavedLeft, SavedTop, SavedWidth, SavedHeight);
    if (SavedState & Qt::WindowMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    menuBar()->show();
    layout()->activate();
    FullScreen = false;
    Fullscreen1->setChecked(false);
    SetChannelListVisible(ChannelListWanted);
    SetPlayerControlsVisible(PlayerControlsWanted);
    FormResize();
}

void TMainForm::PlayerMenuPopup() {
    if (FullScreen)
        SetCursorVisible(true);
}

void TMainForm::WMPopupMenuEnter() {
    if (FullScreen)
        SetCursorVisible(true);
}

void TMainForm::WMPopupMenuExit() {
    if (FullScreen)
        UpdateCursorForPanels();
}

void TMainForm::CreateVolumeBar() {
    VolumeBar = new TUnfocusedTrackBar(PlayerPanel);
    VolumeBar->setOrientation(Qt::Horizontal);
    VolumeBar->setMinimum(0);
    VolumeBar->setMaximum(200);
    VolumeBar->setValue(100);
    VolumeBar->setSingleStep(1);
    VolumeBar->setPageStep(2);
    VolumeBar->setGeometry(PlayerPanel->width() - 142 - 216, 8, 142, 25);
    VolumeBar->SetThumbLength(23);
    VolumeBar->setTickPosition(QSlider::NoTicks);
    // Tab order 6: after the language box, before the panel's "X".
    setTabOrder(LangCombo, VolumeBar);
    // A stored value outside 0..200 shows clamped and stays stored until the bar moves.
    VolumeBar->setValue(ReadLastVol());
    connect(VolumeBar, &QSlider::valueChanged, this, [this] { VolumeControlChange(); });
    VolumeBar->show();
    ShowVolumePercent();
}

void TMainForm::VolumeControlChange() {
    WriteLastVol(VolumeBar->value());
    ShowVolumePercent();
    if (VlcPlayer != nullptr)
        VlcPlayer->SetAudioVolume(VolumeBar->value());
}

void TMainForm::ShowVolumePercent() {
    // The label sizes itself to its text but is placed again only by the next layout.
    VolPercentLabel->setText(QStringLiteral("%1 %").arg(VolumeBar->value()));
    VolPercentLabel->adjustSize();
}

void TMainForm::LoadButtonGlyph(QPushButton* button, int id) {
    const QImage glyph = LoadBitmapResource(id);
    if (glyph.isNull())
        return;
    button->setIcon(TransparentGlyph(glyph));
    button->setIconSize(glyph.size());
}

void TMainForm::AddMenuImage(int id) {
    const QImage image = LoadBitmapResource(id);
    if (image.isNull())
        return;
    // The light grey background of the bitmap is the transparent colour.
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(pixmap.createMaskFromColor(QColor(240, 240, 240), Qt::MaskInColor));
    MenuImgList.append(QIcon(pixmap));
}
