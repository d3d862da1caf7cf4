// The argument list of a library instance, as the fake library receives it from libvlc_new.

#include "player/TVlcLibrary.h"
#include "player/TVlcPlayer.h"
#include "player/VlcBinding.h"

#include "tests/player/FakeLibVlcProbe.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using TArguments = std::vector<std::string>;

class TVlcLibraryTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        unsetenv("FAKE_LIBVLC_VERSION");
        LibVlcLoad(FakeLibVlcFolder("full"));
        ASSERT_EQ(LibVlcError, "");
    }
    void TearDown() override { unsetenv("FAKE_LIBVLC_VERSION"); }

    // The list that the instance passes to the library.
    static TArguments ArgumentsOf(TVlcLibrary* library) {
        EXPECT_NE(library->GetHandle(), nullptr);
        return FakeLibVlcArguments();
    }
};

} // namespace

// As the main window builds its player for a source stream and for the broadcast.
TEST_F(TVlcLibraryTest, PlayerDefaultsGiveTheListOfTheMainWindow) {
    const TArguments common = {LibVlcFolder,
                               "--ignore-config",
                               "--no-one-instance",
                               "--intf=dummy",
                               "--quiet",
                               "--drop-late-frames",
                               "--spu",
                               "--osd",
                               "--no-video-on-top",
                               "--no-overlay",
                               "--no-snapshot-preview",
                               "--verbose=0"};
    QWidget owner;

    TVlcPlayer source(&owner);
    TVlcLibrary* library = source.GetLibrary();
    for (const char* option : {"--verbose=0", "--video-filter=deinterlace",
                               "--sout-deinterlace-mode=yadif", "--audio-track=2"})
        library->AddOption(option);
    TArguments expected = common;
    expected.insert(expected.end(),
                    {"--video-filter=deinterlace", "--sout-deinterlace-mode=yadif",
                     "--audio-track=2", "--sub-source=marq", "--sub-filter=logo:marq"});
    EXPECT_EQ(expected.size(), 17u);
    EXPECT_EQ(ArgumentsOf(library), expected);

    TVlcPlayer broadcast(&owner);
    broadcast.GetLibrary()->AddOption("--verbose=0");
    expected = common;
    expected.insert(expected.end(), {"--sub-source=marq", "--sub-filter=logo:marq"});
    EXPECT_EQ(ArgumentsOf(broadcast.GetLibrary()), expected);
}

TEST_F(TVlcLibraryTest, StartOptionsComeFirstAndPropertiesCountOnlyUntilTheLibraryObject) {
    QWidget owner;
    TVlcPlayer player(&owner);
    player.SetStartOptions({"--aout=adummy", "--no-xlib"});
    player.SetSpuShow(false);
    player.SetAudioOutput(aoDummy);
    player.SetVideoOutput(voOpenGl);
    const TArguments options = player.GetLibrary()->GetOptions();
    EXPECT_EQ(options,
              (TArguments{"--aout=adummy", "--no-xlib", "--ignore-config", "--no-one-instance",
                          "--intf=dummy", "--quiet", "--drop-late-frames", "--no-spu", "--osd",
                          "--no-video-on-top", "--no-overlay", "--no-snapshot-preview",
                          "--vout=opengl", "--aout=dummy"}));

    player.SetSpuShow(true);
    player.SetVideoOutput(voDummy);
    player.SetStartOptions({"--late"});
    EXPECT_EQ(player.GetLibrary()->GetOptions(), options);
}

TEST_F(TVlcLibraryTest, EmptyAndRepeatedOptionsAreNotAdded) {
    TVlcLibrary library;
    library.AddOption("--quiet");
    library.AddOption("--QUIET");
    library.AddOption("--Quiet");
    library.AddOption("");
    library.AddOption("--Verbose=0");
    library.AddOption("--verbose=0");
    EXPECT_EQ(library.GetOptions(), (TArguments{"--quiet", "--Verbose=0"}));
}

TEST_F(TVlcLibraryTest, BlankOptionsAreKeptButNotPassed) {
    TVlcLibrary library;
    library.AddOption("  ");
    library.AddOption("\t\r\n");
    library.AddOption(" --quiet ");
    EXPECT_EQ(library.GetOptions(), (TArguments{"  ", "\t\r\n", " --quiet "}));
    EXPECT_EQ(ArgumentsOf(&library), (TArguments{LibVlcFolder, " --quiet ", "--sub-source=marq",
                                                 "--sub-filter=logo:marq"}));
}

TEST_F(TVlcLibraryTest, MoreThan255OptionsFillTheListWithoutTheVersionOptions) {
    TVlcLibrary library;
    for (int i = 0; i < 300; ++i)
        library.AddOption("--option-" + std::to_string(i));
    const TArguments arguments = ArgumentsOf(&library);
    ASSERT_EQ(arguments.size(), 256u);
    EXPECT_EQ(arguments.front(), LibVlcFolder);
    EXPECT_EQ(arguments.back(), "--option-254");
}

// Near the limit the version options drop out one by one: the marquee source needs two free
// entries, the sub-picture filter one.
TEST_F(TVlcLibraryTest, VersionOptionsNeedRoomLeftInTheList) {
    struct TCase {
        int Options;
        std::size_t Size;
        bool Source;
        bool Filter;
    };
    for (const TCase c : {TCase{252, 255, true, true}, TCase{253, 255, false, true},
                          TCase{254, 255, false, false}}) {
        TVlcLibrary library;
        for (int i = 0; i < c.Options; ++i)
            library.AddOption("--option-" + std::to_string(i));
        const TArguments arguments = ArgumentsOf(&library);
        EXPECT_EQ(arguments.size(), c.Size) << c.Options;
        const auto has = [&arguments](const char* option) {
            return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
        };
        EXPECT_EQ(has("--sub-source=marq"), c.Source) << c.Options;
        EXPECT_EQ(has("--sub-filter=logo:marq"), c.Filter) << c.Options;
    }
}

TEST_F(TVlcLibraryTest, OlderLibrariesGetTheTitleAsAStartOption) {
    struct TCase {
        const char* Version;
        bool TitleShow;
        TArguments Tail;
    };
    const TCase cases[] = {
        {"2.1.0", true, {"--sub-source=marq", "--sub-filter=logo:marq"}},
        {"2.0.3", true, {"--video-title-show", "--sub-source=marq", "--sub-filter=logo:marq"}},
        {"2.0.3", false, {"--no-video-title-show", "--sub-source=marq", "--sub-filter=logo:marq"}},
        {"1.1.0", false, {"--no-video-title-show", "--sub-filter=logo:marq"}},
        {"1.0.0", true, {"--video-title-show"}},
    };
    for (const TCase& c : cases) {
        setenv("FAKE_LIBVLC_VERSION", c.Version, 1);
        TVlcLibrary library;
        library.TitleShow = c.TitleShow;
        TArguments expected = {LibVlcFolder};
        expected.insert(expected.end(), c.Tail.begin(), c.Tail.end());
        EXPECT_EQ(ArgumentsOf(&library), expected) << c.Version;
    }
}

TEST_F(TVlcLibraryTest, InstanceIsMadeOnceAndLaterOptionsChangeNothing) {
    TVlcLibrary library;
    library.AddOption("--quiet");
    const int callsBefore = FakeLibVlcNewCalls();
    libvlc_instance_t* handle = library.GetHandle();
    ASSERT_NE(handle, nullptr);
    library.AddOption("--late-option");
    EXPECT_EQ(library.GetHandle(), handle);
    EXPECT_EQ(FakeLibVlcNewCalls(), callsBefore + 1);
    EXPECT_EQ(library.GetOptions(), (TArguments{"--quiet", "--late-option"}));
}
