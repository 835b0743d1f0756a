// vantoro-cli sound    [--kind N] ARCHIVE INDEX
// vantoro-cli spectrum [--kind N] ARCHIVE INDEX SECONDS
// vantoro-cli play     [--kind N] ARCHIVE INDEX
//
// A sound entry as the window's sound panel takes it: the entry's bytes
// from GetDataStream (index, 0), one stream made over them in memory.
#pragma once

#include <ostream>
#include <string_view>

#include "cli/cli_support.h"

namespace vantoro::cli {

inline constexpr std::string_view kSoundSummary =
    "Print one line TYPE RATE CHANNELS LENGTH SECONDS for a sound entry: its data\n"
    "type (63 WAV, 79 MP3), the decoded sample rate and channel count, the length\n"
    "in bytes of the decoded 16-bit stream (frames x channels x 2) and that length\n"
    "in seconds with 6 decimals. Exit 1 when the entry holds no sound or the\n"
    "sound does not decode.";

inline constexpr std::string_view kSpectrumSummary =
    "Print the 2048 spectrum values the sound panel draws, one a line with 6\n"
    "decimals, for the 4096 frames from SECONDS on (floor(SECONDS x RATE)): the\n"
    "mean of each frame's channels, Hann-windowed, |DFT| x 2 / 2048, so a\n"
    "full-scale sine centred on a bin reads 1.0 there. Frames past the end count\n"
    "as silence; a position past the end fails.";

inline constexpr std::string_view kPlaySummary =
    "Play a sound entry to its end through the default audio device, with its\n"
    "progress on standard error when that is a terminal. Exit 1 without an audio\n"
    "device.";

int runSound(const Invocation& call, std::ostream& out, std::ostream& err);
int runSpectrum(const Invocation& call, std::ostream& out, std::ostream& err);
int runPlay(const Invocation& call, std::ostream& out, std::ostream& err);

}  // namespace vantoro::cli
