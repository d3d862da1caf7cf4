// The media library binding against the fake library: every refusal path, the version gates,
// the placeholders, and the current directory around a load.

#include "player/VlcBinding.h"
#include "player/TVlcLibrary.h"
#include "player/TVlcMedia.h"
#include "player/TVlcPlayer.h"

#include "tests/player/FakeLibVlcProbe.h"
#include "tests/support/MessageBoxRecorder.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The scenario's failures, written to standard error, where the death test shows them.
[[noreturn]] void RunAndReport(const std::function<void()>& scenario) {
    testing::TestPartResultArray results;
    {
        testing::ScopedFakeTestPartResultReporter reporter(
            testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &results);
        scenario();
    }
    for (int i = 0; i < results.size(); ++i) {
        const testing::TestPartResult& result = results.GetTestPartResult(i);
        std::fprintf(stderr, "%s:%d: %s\n", result.file_name() ? result.file_name() : "?",
                     result.line_number(), result.message());
    }
    std::fflush(stderr);
    std::_Exit(results.size() == 0 ? 0 : 1);
}

// The binding's state is process-wide and a module loads once per process, so each scenario
// runs in a child process of its own; the scenario's expectations decide the exit code.
void InFreshProcess(const std::function<void()>& scenario) {
    EXPECT_EXIT(RunAndReport(scenario), testing::ExitedWithCode(0), "");
}

std::string CurrentDirectory() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

enum class TSlotState { Null, Placeholder, Bound, Other };

const char* Describe(TSlotState state) {
    switch (state) {
    case TSlotState::Null:
        return "null";
    case TSlotState::Placeholder:
        return "placeholder";
    case TSlotState::Bound:
        return "bound";
    case TSlotState::Other:
        break;
    }
    return "something else";
}

TSlotState StateOf(const TLibVlcSlot& slot) {
    void* current = slot.Current();
    if (current == nullptr)
        return TSlotState::Null;
    if (current == slot.Placeholder)
        return TSlotState::Placeholder;
    if (LibVlcHandle != nullptr && current == dlsym(LibVlcHandle, slot.Name))
        return TSlotState::Bound;
    return TSlotState::Other;
}

// Checks every slot of the table against what the scenario expects of it.
void ExpectTable(const std::function<TSlotState(const TLibVlcSlot&)>& expected) {
    int mismatches = 0;
    for (const TLibVlcSlot& slot : LibVlcSlots()) {
        const TSlotState want = expected(slot);
        const TSlotState have = StateOf(slot);
        if (want != have && ++mismatches <= 5)
            ADD_FAILURE() << slot.Name << " is " << Describe(have) << ", expected "
                          << Describe(want);
    }
    EXPECT_EQ(mismatches, 0);
}

// After a refusal at the version check or at libvlc_get_version: the required slots are null
// (libvlc_get_version as given), the gated ones hold their placeholders.
TSlotState AfterReset(const TLibVlcSlot& slot, TSlotState getVersion) {
    if (slot.Version > 0x10000)
        return TSlotState::Placeholder;
    return std::strcmp(slot.Name, "libvlc_get_version") == 0 ? getVersion : TSlotState::Null;
}

// A folder of its own as the current directory, to see that a load gives it back.
class TScratchDirectory {
public:
    TScratchDirectory() {
        EXPECT_TRUE(Folder.isValid());
        EXPECT_EQ(chdir(Path().c_str()), 0);
    }
    std::string Path() const { return Folder.path().toStdString(); }

private:
    QTemporaryDir Folder;
};

} // namespace

TEST(VlcBindingTest, VersionPartsAreReadDigitByDigit) {
    struct TCase {
        const char* Text;
        std::uint32_t Parts[3];
        std::ptrdiff_t CursorAfter;
    };
    const TCase cases[] = {
        {"2.2.1", {2, 2, 1}, 5},
        {"1.1.10 Vetinari", {1, 1, 10}, 6},
        {"3.0", {3, 0, 0}, 3},
        {"Vetinari 2.2.1", {0, 0, 0}, 0},  // no digits: the cursor stays
        {".5.6", {0, 5, 6}, 4},            // a leading dot is stepped over
        {"4294967297.1.1", {1, 1, 1}, 14}, // wraps like the packing's modulo
    };
    for (const TCase& c : cases) {
        const char* cursor = c.Text;
        for (std::uint32_t part : c.Parts)
            EXPECT_EQ(LibVlcReadVersionPart(cursor), part) << c.Text;
        EXPECT_EQ(cursor - c.Text, c.CursorAfter) << c.Text;
    }
    const char* none = nullptr;
    EXPECT_EQ(LibVlcReadVersionPart(none), 0u);
    EXPECT_EQ(none, nullptr);
}

TEST(VlcBindingTest, MissingModuleIsReportedAndTheNextLoadTriesAgain) {
    InFreshProcess([] {
        TScratchDirectory scratch;
        const std::string empty = scratch.Path() + "/nolibrary";
        ASSERT_EQ(mkdir(empty.c_str(), 0700), 0);

        LibVlcLoad(empty + "/");
        EXPECT_EQ(LibVlcHandle, nullptr);
        EXPECT_EQ(LibVlcFolder, empty);
        EXPECT_EQ(LibVlcFileName, "libvlc.so.5");
        EXPECT_EQ(LibVlcError.rfind("Library not found libvlc.so.5, dlerror() = ", 0), 0u)
            << LibVlcError;
        EXPECT_NE(LibVlcError.find(empty + "/libvlc.so.5: cannot open shared object file"),
                  std::string::npos)
            << LibVlcError;
        ExpectTable([](const TLibVlcSlot&) { return TSlotState::Null; });
        EXPECT_EQ(CurrentDirectory(), scratch.Path());

        LibVlcLoad(FakeLibVlcFolder("full"));
        EXPECT_NE(LibVlcHandle, nullptr);
        EXPECT_EQ(LibVlcError, "");
        EXPECT_EQ(LibVlcFolder, FakeLibVlcFolder("full"));
        EXPECT_EQ(LibVlcVersion, 0x20201u);
        ExpectTable([](const TLibVlcSlot&) { return TSlotState::Bound; });
        EXPECT_EQ(CurrentDirectory(), scratch.Path());

        // Loaded: another folder changes nothing.
        void* handle = LibVlcHandle;
        LibVlcLoad(FakeLibVlcFolder("no_libvlc_get_version"));
        LibVlcLoadDefault();
        EXPECT_EQ(LibVlcHandle, handle);
        EXPECT_EQ(LibVlcFolder, FakeLibVlcFolder("full"));
        EXPECT_EQ(LibVlcError, "");
    });
}

TEST(VlcBindingTest, LibraryWithoutGetVersionIsRefusedForGood) {
    InFreshProcess([] {
        TScratchDirectory scratch;
        LibVlcLoad(FakeLibVlcFolder("no_libvlc_get_version"));
        EXPECT_NE(LibVlcHandle, nullptr);
        EXPECT_EQ(LibVlcError, "Entry point \"libvlc_get_version\" not found!");
        EXPECT_EQ(LibVlcVersion, 0u);
        ExpectTable([](const TLibVlcSlot& slot) { return AfterReset(slot, TSlotState::Null); });
        EXPECT_EQ(CurrentDirectory(), scratch.Path());

        // Final for the process: later loads return at once, and no instance is made.
        void* handle = LibVlcHandle;
        LibVlcLoad(FakeLibVlcFolder("full"));
        LibVlcLoadDefault();
        EXPECT_EQ(LibVlcHandle, handle);
        EXPECT_EQ(LibVlcError, "Entry point \"libvlc_get_version\" not found!");
        TVlcLibrary library;
        EXPECT_EQ(library.GetHandle(), nullptr);
        EXPECT_EQ(library.GetVersion(), 0u);
    });
}

struct TVersionCase {
    const char* Reported;
    std::uint32_t Packed;
    const char* Error;     // empty: accepted
    std::uint32_t BoundTo; // the last group that is bound
};

void PrintTo(const TVersionCase& c, std::ostream* os) {
    *os << '"' << c.Reported << '"';
}

class VlcBindingVersionTest : public testing::TestWithParam<TVersionCase> {};

TEST_P(VlcBindingVersionTest, VersionDecidesTheGroupsThatAreBound) {
    const TVersionCase c = GetParam();
    InFreshProcess([c] {
        setenv("FAKE_LIBVLC_VERSION", c.Reported, 1);
        LibVlcLoad(FakeLibVlcFolder("full"));
        EXPECT_NE(LibVlcHandle, nullptr);
        EXPECT_EQ(LibVlcVersionText, c.Reported);
        EXPECT_EQ(LibVlcVersion, c.Packed);
        EXPECT_EQ(LibVlcError, c.Error);
        if (*c.Error != '\0') {
            ExpectTable(
                [](const TLibVlcSlot& slot) { return AfterReset(slot, TSlotState::Bound); });
        } else {
            ExpectTable([&c](const TLibVlcSlot& slot) {
                return slot.Version <= c.BoundTo ? TSlotState::Bound : TSlotState::Placeholder;
            });
        }
    });
}

INSTANTIATE_TEST_SUITE_P(
    Versions, VlcBindingVersionTest,
    testing::Values(
        TVersionCase{"2.2.1", 0x20201, "", 0x20200},
        TVersionCase{"3.0.24 Vetinari", 0x30018, "", 0x20200},
        TVersionCase{"1.1.10", 0x1010A, "", 0x10105}, TVersionCase{"2.0.3", 0x20003, "", 0x20000},
        TVersionCase{"1.0.0", 0x10000, "", 0x10000}, TVersionCase{"257.1.4", 0x10104, "", 0x10101},
        TVersionCase{"Vetinari 2.2.1", 0,
                     "Current libvlc version: 0.0.0, minimum supported version is 1.0.0", 0},
        TVersionCase{"0.9.10", 0x90A,
                     "Current libvlc version: 0.9.10, minimum supported version is 1.0.0", 0}));

TEST(VlcBindingTest, MissingRequiredExportIsNamedAndTheModuleStaysLoaded) {
    InFreshProcess([] {
        LibVlcLoad(FakeLibVlcFolder("no_libvlc_media_player_set_xwindow"));
        EXPECT_NE(LibVlcHandle, nullptr);
        EXPECT_EQ(LibVlcError, "Entry point \"libvlc_media_player_set_xwindow\" not found!");
        bool beforeTheMissingOne = true;
        ExpectTable([&beforeTheMissingOne](const TLibVlcSlot& slot) {
            if (std::strcmp(slot.Name, "libvlc_media_player_set_xwindow") == 0)
                beforeTheMissingOne = false;
            if (slot.Version > 0x10000)
                return TSlotState::Placeholder;
            return beforeTheMissingOne ? TSlotState::Bound : TSlotState::Null;
        });
        TVlcLibrary library;
        EXPECT_EQ(library.GetHandle(), nullptr);
    });
}

struct TGatedExportCase {
    const char* Reported;
    const char* Error;
    TSlotState NewFd;
};

void PrintTo(const TGatedExportCase& c, std::ostream* os) {
    *os << '"' << c.Reported << '"';
}

class VlcBindingGatedExportTest : public testing::TestWithParam<TGatedExportCase> {};

TEST_P(VlcBindingGatedExportTest, AGatedExportIsRequiredOnlyFromItsVersionOn) {
    const TGatedExportCase c = GetParam();
    InFreshProcess([c] {
        setenv("FAKE_LIBVLC_VERSION", c.Reported, 1);
        LibVlcLoad(FakeLibVlcFolder("no_libvlc_media_new_fd"));
        EXPECT_EQ(LibVlcError, c.Error);
        for (const TLibVlcSlot& slot : LibVlcSlots()) {
            if (std::strcmp(slot.Name, "libvlc_media_new_fd") == 0) {
                EXPECT_EQ(StateOf(slot), c.NewFd) << Describe(StateOf(slot));
            }
        }
    });
}

INSTANTIATE_TEST_SUITE_P(
    NewFd, VlcBindingGatedExportTest,
    testing::Values(TGatedExportCase{"1.1.10", "Entry point \"libvlc_media_new_fd\" not found!",
                                     TSlotState::Null},
                    TGatedExportCase{"1.1.4", "", TSlotState::Placeholder}));

TEST(VlcBindingTest, TrailingSlashesAreDroppedAndTheDirectoryComesBack) {
    InFreshProcess([] {
        TScratchDirectory scratch;
        LibVlcLoad(FakeLibVlcFolder("full") + "///");
        EXPECT_EQ(LibVlcError, "");
        EXPECT_EQ(LibVlcFolder, FakeLibVlcFolder("full"));
        EXPECT_EQ(CurrentDirectory(), scratch.Path());
    });
}

TEST(VlcBindingTest, RelativeFolderIsTakenFromTheCurrentDirectory) {
    InFreshProcess([] {
        const std::string full = FakeLibVlcFolder("full");
        const std::size_t slash = full.rfind('/');
        ASSERT_EQ(chdir(full.substr(0, slash).c_str()), 0);
        const std::string before = CurrentDirectory();
        LibVlcLoad(full.substr(slash + 1));
        EXPECT_EQ(LibVlcError, "");
        EXPECT_EQ(LibVlcFolder, "full");
        EXPECT_EQ(CurrentDirectory(), before);
    });
}

// As the main window does it: its own folder first, which fails here, then the instance's
// default load, which empties the error and takes the system's library.
TEST(VlcBindingTest, FailedLoadIsFollowedByTheDefaultLoadFromTheSystemSearchPath) {
    InFreshProcess([] {
        TScratchDirectory scratch;
        EXPECT_EQ(LibVlcDefaultFolder(),
                  QCoreApplication::applicationDirPath().toStdString() + "/lib/");
        LibVlcLoad(QCoreApplication::applicationDirPath().toStdString() + "/libkavrien");
        EXPECT_EQ(LibVlcHandle, nullptr);
        EXPECT_NE(LibVlcError, "");
        // The tests' folder has no lib/ of its own, so the system's library is loaded.
        TVlcLibrary library;
        EXPECT_NE(library.GetHandle(), nullptr);
        EXPECT_EQ(LibVlcError, "");
        EXPECT_EQ(LibVlcFolder, "");
        EXPECT_EQ(LibVlcVersionText.rfind("3.", 0), 0u) << LibVlcVersionText;
        EXPECT_EQ(CurrentDirectory(), scratch.Path());
    });
}

namespace {
const char* CallVprinterr(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const char* result = LibVlc.libvlc_vprinterr(format, arguments);
    va_end(arguments);
    return result;
}
} // namespace

TEST(VlcBindingTest, PlaceholdersShowTheirBoxAndReturnTheNeutralResult) {
    InFreshProcess([] {
        setenv("FAKE_LIBVLC_VERSION", "1.0.0", 1);
        LibVlcLoad(FakeLibVlcFolder("full"));
        ASSERT_EQ(LibVlcError, "");
        MessageBoxRecorder boxes;

        EXPECT_EQ(LibVlc.libvlc_video_get_size(nullptr, 0, nullptr, nullptr), -1);
        EXPECT_EQ(LibVlc.libvlc_printerr("%s", "text"), nullptr);
        EXPECT_EQ(CallVprinterr("%d", 1), nullptr);
        EXPECT_EQ(LibVlc.libvlc_errmsg(), nullptr);
        EXPECT_EQ(LibVlc.libvlc_audio_get_delay(nullptr), 0);
        EXPECT_EQ(LibVlc.libvlc_video_get_adjust_float(nullptr, 0), 0.0f);
        EXPECT_EQ(LibVlc.libvlc_media_new_fd(nullptr, 0), nullptr);
        EXPECT_EQ(LibVlc.libvlc_video_set_spu_delay(nullptr, 5), -1);
        LibVlc.libvlc_media_player_set_video_title_display(nullptr, libvlc_position_center, 0);
        EXPECT_EQ(LibVlc.libvlc_audio_equalizer_get_amp_at_index(nullptr, 0), 0.0f);

        const char* expected[] = {
            "libvlc_video_get_size require libvlc 1.1.0",
            "libvlc_printerr require libvlc 1.1.0",
            "libvlc_vprinterr require libvlc 1.1.0",
            "libvlc_errmsg require libvlc 1.1.0",
            "libvlc_audio_get_delay require libvlc 1.1.1",
            "libvlc_video_get_adjust_float require libvlc 1.1.1",
            "libvlc_media_new_fd require libvlc 1.1.5",
            "libvlc_video_set_spu_delay require libvlc 2.0.0",
            "libvlc_media_player_set_video_title_display require libvlc 2.1.0",
            "libvlc_audio_equalizer_get_amp_at_index require libvlc 2.2.0",
        };
        ASSERT_EQ(boxes.Calls().size(), std::size(expected));
        for (std::size_t i = 0; i < std::size(expected); ++i) {
            const TMessageBoxCall& call = boxes.Calls()[static_cast<qsizetype>(i)];
            EXPECT_EQ(call.Text.toStdString(), expected[i]);
            EXPECT_EQ(call.Title, QStringLiteral("libvlc"));
            EXPECT_EQ(call.Icon, TMessageIcon::Stop);
            EXPECT_EQ(call.Owner, nullptr);
        }

        // Too old for media items: making one shows the box and gives no item.
        boxes.Clear();
        TVlcLibrary library;
        TVlcMedia media(&library, QStringLiteral("http://127.0.0.1/stream.ts"));
        EXPECT_EQ(media.GetHandle(), nullptr);
        ASSERT_EQ(boxes.Calls().size(), 1);
        EXPECT_EQ(boxes.Calls()[0].Text,
                  QStringLiteral("libvlc_media_new_location require libvlc 1.1.0"));
    });
}

TEST(VlcBindingTest, InstanceVersionIsZeroAndNotKeptBeforeTheLoad) {
    InFreshProcess([] {
        setenv("FAKE_LIBVLC_VERSION", "2.0.3", 1);
        TVlcLibrary library;
        EXPECT_EQ(library.GetVersion(), 0u);
        LibVlcLoad(FakeLibVlcFolder("full"));
        EXPECT_EQ(library.GetVersion(), 0x20003u);
    });
}

TEST(VlcBindingTest, UnusableLibraryMakesEveryPlayerOperationDoNothing) {
    InFreshProcess([] {
        LibVlcLoad(FakeLibVlcFolder("no_libvlc_get_version"));
        MessageBoxRecorder boxes;
        QWidget window;
        auto* player = new TVlcPlayer(&window);
        EXPECT_EQ(player->GetPlayer(), nullptr);
        player->Play(QStringLiteral("http://127.0.0.1/stream.ts"));
        player->PlaySiteLink(QStringLiteral("http://www.tubevista.example/watch"), 1000);
        player->PlayFirstSubItem();
        player->SetAudioVolume(100);
        player->SetAudioTrack(1);
        player->SetDeinterlaceFilter(deON);
        player->SetTitleShow(true);
        player->SetViewTeletext(true);
        player->BindVideoWindow();
        player->Stop();
        EXPECT_EQ(player->GetState(), 0);
        EXPECT_FALSE(player->IsPlaying());
        EXPECT_EQ(player->LastError(), "");
        delete player;
        EXPECT_TRUE(boxes.Calls().isEmpty());
    });
}
