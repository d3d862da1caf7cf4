#pragma once

// How the player control names outputs, deinterlace methods and title positions, with the
// names the media library understands.

enum TDeinterlaceFilter { deOFF, deON };

enum TDeinterlaceMode {
    dmDISCARD,
    dmBLEND,
    dmMEAN,
    dmBOB,
    dmLINEAR,
    dmX,
    dmYADIF,
    dmYADIF2x,
    dmPHOSPHOR,
    dmIVTC
};
inline constexpr const char* DeinterlaceModeNames[] = {
    "discard", "blend", "mean", "bob", "linear", "x", "yadif", "yadif2x", "phosphor", "ivtc"};

enum TVideoOutput { voDefault, voWinGdi, voDirectX, voDirect3d, voOpenGl, voDummy };
inline constexpr const char* VideoOutputNames[] = {"default",  "wingdi", "directx",
                                                   "direct3d", "opengl", "dummy"};

enum TAudioOutput { aoDefault, aoDirectX, aoWaveOut, aoDummy };
inline constexpr const char* AudioOutputNames[] = {"default", "directx", "waveout", "dummy"};

enum TVlcTitlePosition {
    vlcPosCenter,
    vlcPosLeft,
    vlcPosRight,
    vlcPosTop,
    vlcPosTopLeft,
    vlcPosTopRight,
    vlcPosBottom,
    vlcPosBottomLeft,
    vlcPosBottomRight
};

// Who gets the mouse over the picture: the control's own events, or the library's window.
enum TVlcMouseEventsHandler { mehComponent, mehLibrary };
