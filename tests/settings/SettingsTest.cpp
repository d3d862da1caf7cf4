#include "settings/Settings.h"

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

class SettingsTest : public testing::Test {
protected:
    void SetUp() override {
        TestEnvironment::ClearSettingsStore();
        QLocale::setDefault(QLocale::c());
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    static void WriteStoreFile(const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(SettingsFilePath()).path());
        QFile file(SettingsFilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QByteArray StoreFileBytes() {
        QFile file(SettingsFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(SettingsTest, TheStoreIsTheApplicationsFileUnderTheConfigHome) {
    EXPECT_EQ(SettingsFilePath(), TestEnvironment::ConfigHome() + "/Tessaliq/Kavrien.conf");
}

TEST_F(SettingsTest, WithoutAStoreEveryValueReadsItsDefault) {
    ASSERT_FALSE(QFile::exists(SettingsFilePath()));
    EXPECT_EQ(ReadDefLang(), "");
    EXPECT_FALSE(ReadCloseOnExit());
    EXPECT_TRUE(ReadUseMpeg2());
    EXPECT_EQ(ReadLastUser(), "");
    EXPECT_FALSE(ReadInitFullScreen());
    EXPECT_EQ(ReadAspectRatio(), "");
    EXPECT_TRUE(ReadStatusPanelState());
    EXPECT_TRUE(ReadPlayerControlsState());
    EXPECT_EQ(ReadLastCid(), "");
    EXPECT_EQ(ReadLastVol(), 100);
    EXPECT_FALSE(QFile::exists(SettingsFilePath())) << "reading must not create the store";
}

TEST_F(SettingsTest, TheFirstWriteCreatesTheStoreAndWritesAtOnce) {
    EXPECT_TRUE(WriteLastUser(QStringLiteral("anna")));
    ASSERT_TRUE(QFile::exists(SettingsFilePath()));
    EXPECT_TRUE(StoreFileBytes().contains("LastUser=anna"));
    EXPECT_EQ(ReadLastUser(), "anna");
}

struct TBoolCase {
    const char* Stored;
    bool DefaultValue;
    bool Expected;
};

class BoolReadingTest : public SettingsTest, public testing::WithParamInterface<TBoolCase> {};

TEST_P(BoolReadingTest, ReadsAsTheTableSays) {
    const TBoolCase& c = GetParam();
    ASSERT_TRUE(WriteSetting(QStringLiteral("InitFullScreen"), QString::fromUtf8(c.Stored)));
    EXPECT_EQ(ReadBoolSetting(QStringLiteral("InitFullScreen"), c.DefaultValue), c.Expected)
        << "stored \"" << c.Stored << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Values, BoolReadingTest,
    testing::Values(TBoolCase{"1", false, true}, TBoolCase{"-1", false, true},
                    TBoolCase{"2", false, true}, TBoolCase{"true", false, true},
                    TBoolCase{"TRUE", false, true}, TBoolCase{"0.5", false, true},
                    TBoolCase{"0", true, false}, TBoolCase{"false", true, false},
                    TBoolCase{"False", true, false}, TBoolCase{"0.0", true, false},
                    TBoolCase{"yes", true, true}, TBoolCase{"yes", false, false},
                    TBoolCase{"", true, true}, TBoolCase{"", false, false}));

TEST_F(SettingsTest, BooleanNumbersFollowTheUsersLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    WriteSetting(QStringLiteral("CloseOnExit"), QStringLiteral("0,5"));
    EXPECT_TRUE(ReadBoolSetting(QStringLiteral("CloseOnExit"), false));
    WriteSetting(QStringLiteral("CloseOnExit"), QStringLiteral("0,0"));
    EXPECT_FALSE(ReadBoolSetting(QStringLiteral("CloseOnExit"), true));
}

TEST_F(SettingsTest, BooleansAreWrittenAsMinusOneAndZero) {
    WriteInitFullScreen(true);
    EXPECT_EQ(ReadSetting(QStringLiteral("InitFullScreen")), "-1");
    WriteInitFullScreen(false);
    EXPECT_EQ(ReadSetting(QStringLiteral("InitFullScreen")), "0");
}

TEST_F(SettingsTest, IntegersReadTheirValueOrTheDefault) {
    const struct {
        const char* Stored;
        int Expected;
    } cases[] = {{"250", 250},   {"-12", -12},        {"0", 0}, {"abc", 100}, {"", 100},
                 {"12abc", 100}, {"99999999999", 100}};
    for (const auto& c : cases) {
        WriteSetting(QStringLiteral("LastVol"), QString::fromUtf8(c.Stored));
        EXPECT_EQ(ReadLastVol(), c.Expected) << "stored \"" << c.Stored << "\"";
    }
    WriteLastVol(-5);
    EXPECT_EQ(ReadSetting(QStringLiteral("LastVol")), "-5");
}

TEST_F(SettingsTest, AnEmptyTextIsStoredAsAValue) {
    WriteAspectRatio(QStringLiteral("16:9"));
    WriteAspectRatio(QString());
    EXPECT_EQ(ReadAspectRatio(), "");
    QSettings store(SettingsFilePath(), QSettings::IniFormat);
    EXPECT_TRUE(store.contains(QStringLiteral("AspectRatio")));
}

TEST_F(SettingsTest, TextsKeepBlanksCommasAndQuotes) {
    const QString texts[] = {QStringLiteral(" en "), QStringLiteral("a, b"),
                             QStringLiteral("\"x\""), QStringLiteral("ünïcode"),
                             QStringLiteral("semi;colon=equals")};
    for (const QString& text : texts) {
        WriteDefLang(text);
        EXPECT_EQ(ReadDefLang(), text);
    }
}

TEST_F(SettingsTest, ADamagedStoreReadsAsDefaultsAndIsNotLostByReading) {
    QByteArray garbage;
    for (int i = 0; i < 512; ++i)
        garbage.append(static_cast<char>((i * 37 + 11) % 256));
    WriteStoreFile(garbage);

    EXPECT_EQ(ReadLastVol(), 100);
    EXPECT_TRUE(ReadUseMpeg2());
    EXPECT_EQ(ReadLastCid(), "");
    EXPECT_EQ(StoreFileBytes(), garbage);
}

TEST_F(SettingsTest, AWriteToADamagedStoreWorksAndKeepsTheDamagedFileAside) {
    QByteArray garbage;
    for (int i = 0; i < 512; ++i)
        garbage.append(static_cast<char>((i * 37 + 11) % 256));
    WriteStoreFile(garbage);

    EXPECT_TRUE(WriteLastVol(40));
    EXPECT_EQ(ReadLastVol(), 40);
    QFile kept(SettingsFilePath() + ".damaged");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), garbage);
}

TEST_F(SettingsTest, ValuesOfAnotherTypeReadAsText) {
    WriteStoreFile("[General]\n"
                   "DefLang=en, de\n"
                   "LastVol=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n"
                   "LastCid=@ByteArray(12)\n");
    EXPECT_EQ(ReadDefLang(), "en, de");
    EXPECT_EQ(ReadLastCid(), "12");
    EXPECT_EQ(ReadLastVol(), 5);
}

} // namespace
