// The options dialog and the about box as the main window opens them.

#include "app/TMainForm.h"
#include "dialogs/TAboutBox.h"
#include "dialogs/TOptionsWnd.h"
#include "player/TVlcPlayer.h"
#include "player/VlcBinding.h"
#include "settings/Settings.h"
#include "tests/support/TMainFormHarness.h"
#include "tests/support/TStandInService.h"
#include "tests/support/WaitUntil.h"
#include "widgets/ExecFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

class OptionsAboutTest : public TStandInServiceSuite {
protected:
    void SetUp() override {
        TStandInServiceSuite::SetUp();
        harness = std::make_unique<TMainFormHarness>(*Service);
    }
    void TearDown() override { harness.reset(); }

    // Opens the options dialog as the menu does; inside its modal loop, act runs on the
    // dialog (and must close it). Returns whether the status timer was off meanwhile.
    bool RunOptions(TMainForm* form, const std::function<void(TOptionsWnd*)>& act) {
        bool timerOffWhileOpen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TOptionsWnd*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr) << "the options dialog is not open";
            timerOffWhileOpen = !form->StatusTimer->isActive();
            act(dialog);
        });
        form->Options2->trigger();
        return timerOffWhileOpen;
    }

    static QStringList StoredKeys() {
        QSettings store(SettingsFilePath(), QSettings::IniFormat);
        return store.allKeys();
    }

    std::unique_ptr<TMainFormHarness> harness;
};

TEST_F(OptionsAboutTest, AnOrdinaryUserSeesTheShrunkDialogAndWritesOnlyHisValues) {
    TMainForm* form = harness->SignIn(TStandInService::User, TStandInService::UserPassword);
    ASSERT_TRUE(form->StatusTimer->isActive());
    const bool timerOff = RunOptions(form, [](TOptionsWnd* dialog) {
        EXPECT_TRUE(dialog->PrefLang->isVisibleTo(dialog));
        EXPECT_TRUE(dialog->AspectCombo->isVisibleTo(dialog));
        EXPECT_TRUE(dialog->WatchFullScreen->isVisibleTo(dialog));
        EXPECT_FALSE(dialog->StopOnExit->isVisibleTo(dialog));
        EXPECT_FALSE(dialog->UseSourceStream->isVisibleTo(dialog));
        EXPECT_EQ(dialog->OptionsBox->height(), 192);
        EXPECT_EQ(dialog->OkBtn->y(), 216);
        EXPECT_EQ(dialog->CancelBtn->y(), 216);
        EXPECT_EQ(dialog->height(), 248);
        EXPECT_EQ(dialog->width(), 234);
        dialog->PrefLang->setText(" de ");
        dialog->AspectCombo->setCurrentText("16:10");
        dialog->WatchFullScreen->setChecked(true);
        dialog->OkBtn->click();
    });
    EXPECT_TRUE(timerOff);
    EXPECT_TRUE(form->StatusTimer->isActive());
    EXPECT_EQ(form->PreferredLanguage, " de ");
    EXPECT_EQ(form->AspectRatio, "16:10");
    EXPECT_TRUE(form->InitFullScreen);
    EXPECT_EQ(ReadSetting("DefLang"), " de ") << "as typed";
    EXPECT_EQ(ReadSetting("AspectRatio"), "16:10");
    EXPECT_EQ(ReadSetting("InitFullScreen"), "-1");
    const QStringList keys = StoredKeys();
    EXPECT_FALSE(keys.contains("CloseOnExit"));
    EXPECT_FALSE(keys.contains("UseMpeg2"));
}

TEST_F(OptionsAboutTest, AnAdministratorSeesAndWritesEverything) {
    TMainForm* form = harness->SignIn(TStandInService::AdminUser, TStandInService::AdminPassword);
    form->StopBroadcastOnExit = true;
    form->UseOriginalStream = false;
    RunOptions(form, [](TOptionsWnd* dialog) {
        EXPECT_TRUE(dialog->StopOnExit->isVisibleTo(dialog));
        EXPECT_TRUE(dialog->UseSourceStream->isVisibleTo(dialog));
        EXPECT_EQ(dialog->height(), 319);
        EXPECT_TRUE(dialog->StopOnExit->isChecked());
        EXPECT_FALSE(dialog->UseSourceStream->isChecked());
        dialog->StopOnExit->setChecked(false);
        dialog->UseSourceStream->setChecked(true);
        dialog->OkBtn->click();
    });
    EXPECT_FALSE(form->StopBroadcastOnExit);
    EXPECT_TRUE(form->UseOriginalStream);
    EXPECT_EQ(ReadSetting("CloseOnExit"), "0");
    EXPECT_EQ(ReadSetting("UseMpeg2"), "-1");
    EXPECT_EQ(ReadSetting("DefLang"), "") << "an empty language is stored as it is";
}

TEST_F(OptionsAboutTest, AnAspectNotInTheListShowsDefaultAndStaysUntilOk) {
    WriteAspectRatio("2.35:1");
    TMainForm* form = harness->SignIn(TStandInService::User, TStandInService::UserPassword,
                                      {/*ClearSettings*/ false, /*Show*/ true});
    ASSERT_EQ(form->AspectRatio, "2.35:1");
    RunOptions(form, [](TOptionsWnd* dialog) {
        EXPECT_EQ(dialog->AspectCombo->currentText(), "Default");
        dialog->CancelBtn->click();
    });
    EXPECT_EQ(form->AspectRatio, "2.35:1") << "Cancel changes nothing";
    EXPECT_EQ(ReadSetting("AspectRatio"), "2.35:1");
    EXPECT_TRUE(form->StatusTimer->isActive()) << "on again after Cancel";

    RunOptions(form, [](TOptionsWnd* dialog) { dialog->close(); });
    EXPECT_EQ(form->AspectRatio, "2.35:1") << "the close box cancels";

    RunOptions(form, [](TOptionsWnd* dialog) {
        dialog->AspectCombo->setCurrentText("16:9");
        dialog->OkBtn->click();
    });
    EXPECT_EQ(ReadSetting("AspectRatio"), "16:9");
    RunOptions(form, [](TOptionsWnd* dialog) {
        EXPECT_EQ(dialog->AspectCombo->currentText(), "16:9");
        dialog->AspectCombo->setCurrentText("Default");
        dialog->OkBtn->click();
    });
    EXPECT_EQ(form->AspectRatio, "");
    EXPECT_EQ(ReadSetting("AspectRatio"), "");
    EXPECT_TRUE(StoredKeys().contains("AspectRatio"));
}

TEST_F(OptionsAboutTest, EnterAndEscapeDoNotCloseTheDialog) {
    TMainForm* form = harness->SignIn(TStandInService::User, TStandInService::UserPassword);
    RunOptions(form, [](TOptionsWnd* dialog) {
        dialog->PrefLang->setFocus();
        QTest::keyClick(dialog->PrefLang, Qt::Key_Return);
        QTest::keyClick(dialog->PrefLang, Qt::Key_Enter);
        QTest::keyClick(dialog->PrefLang, Qt::Key_Escape);
        EXPECT_TRUE(dialog->isVisible());
        dialog->CancelBtn->click();
    });
}

TEST_F(OptionsAboutTest, TheStatusTimerIsOnAfterwardsAlsoWhenItWasOff) {
    TMainForm* form = harness->SignIn(TStandInService::User, TStandInService::UserPassword);
    form->StatusTimer->stop();
    RunOptions(form, [](TOptionsWnd* dialog) { dialog->CancelBtn->click(); });
    EXPECT_TRUE(form->StatusTimer->isActive());
}

TEST_F(OptionsAboutTest, OkWhileASourceStreamPlaysSelectsTheLanguageButLeavesTheAudio) {
    TMainForm* form = harness->SignIn(TStandInService::User, TStandInService::UserPassword);
    harness->Watch(1); // Meridian Sport: en, de, fr
    ASSERT_TRUE(harness->WaitForPlaying());
    ASSERT_EQ(form->LangCombo->currentText(), "en");
    libvlc_media_player_t* player = form->VlcPlayer->GetPlayer();
    ASSERT_TRUE(WaitUntil([&] { return LibVlc.libvlc_audio_get_track(player) > 0; }));
    const int trackBefore = LibVlc.libvlc_audio_get_track(player);
    harness->NewQueries();

    RunOptions(form, [](TOptionsWnd* dialog) {
        dialog->PrefLang->setText("FR");
        dialog->OkBtn->click();
    });
    EXPECT_EQ(form->LangCombo->currentText(), "fr") << "the box shows the new preference";
    ProcessEventsFor(500);
    EXPECT_EQ(LibVlc.libvlc_audio_get_track(player), trackBefore) << "the audio stays";
    EXPECT_TRUE(form->VlcPlayer->IsPlaying());
    for (const QByteArray& query : harness->NewQueries())
        EXPECT_EQ(query, "cmd=bdcstatus") << "no request but the status poll";

    RunOptions(form, [](TOptionsWnd* dialog) {
        dialog->PrefLang->setText("xx");
        dialog->OkBtn->click();
    });
    EXPECT_EQ(form->LangCombo->currentText(), "en") << "not listed: the first item";
}

TEST_F(OptionsAboutTest, TheAboutBoxStopsThePollWhileShownAndItsLinksOpenTheirText) {
    TMainForm* form = harness->SignIn(TStandInService::User, TStandInService::UserPassword);
    form->AboutBox = new TAboutBox(form);
    QStringList opened;
    const TDocumentOpener previous =
        SetDocumentOpener([&opened](const QString& target) { opened.append(target); });

    bool timerOff = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        timerOff = !form->StatusTimer->isActive();
        box->LinkLabelClick(box->LinkLabel);
        box->LinkLabelClick(box->LinkLabel2);
        box->MailLabelClick(box->MailLabel);
        EXPECT_TRUE(box->isVisible()) << "a link does not close the box";
        QTest::keyClick(box, Qt::Key_Return);
    });
    form->About1->trigger();
    SetDocumentOpener(previous);

    EXPECT_TRUE(timerOff);
    EXPECT_TRUE(form->StatusTimer->isActive());
    ASSERT_EQ(opened.size(), 3);
    EXPECT_EQ(opened[0], form->AboutBox->LinkLabel->text());
    EXPECT_EQ(opened[1], form->AboutBox->LinkLabel2->text());
    EXPECT_EQ(opened[2], "mailto:" + form->AboutBox->MailLabel->text());
    EXPECT_TRUE(opened[0].startsWith("https://"));
    EXPECT_TRUE(opened[2].contains('@'));
}

} // namespace
