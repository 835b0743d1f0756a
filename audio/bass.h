// The audio library the program plays its sound entries through, under the
// call names, argument lists and constants of the BASS 2.4 library it was
// first written against. Sounds are decoded from memory (WAV and MP3, by
// libsndfile) and played through SDL's audio output.
//
// Byte positions and lengths count the decoded 16-bit stream in the sound's
// own channel count: frames x channels x 2, at the sound's own rate.
//
// Failures are answered as BASS answers them (FALSE, 0, or -1 for QWORD and
// negative seconds); audioLastError() tells why.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vantoro {

using DWORD = std::uint32_t;
using QWORD = std::uint64_t;
using BOOL = int;
using HSTREAM = DWORD;

inline constexpr DWORD BASS_ACTIVE_STOPPED = 0;
inline constexpr DWORD BASS_ACTIVE_PLAYING = 1;
inline constexpr DWORD BASS_ACTIVE_PAUSED = 3;
inline constexpr DWORD BASS_POS_BYTE = 0;
// GetData: 2048 spectrum values of the 4096 frames from the position on.
inline constexpr DWORD BASS_DATA_FFT4096 = 0x80000004;
inline constexpr QWORD kBassFailed = ~QWORD{0};

// device -1: the default output; 0: no output (streams can be made, read
// and positioned, but not played); n >= 1: the n-th output device. `freq`
// is the output rate; `flags`, `win` and `clsid` are accepted and unused.
// Fails when already initialised.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, const void* clsid);
// Frees every stream and closes the output.
BOOL BASS_Free();

// Reads the sound's format and length; its samples are decoded as playing
// and the spectrum reach them. With `mem`, `file` points at the bytes and
// `offset` and `length` select them; the bytes may go once this returns.
// Only memory streams are made; `flags` is unused.
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
BOOL BASS_StreamFree(HSTREAM handle);

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASS_ChannelPause(DWORD handle);  // only a playing channel pauses
BOOL BASS_ChannelStop(DWORD handle);   // keeps the position
// BASS_ACTIVE_STOPPED also for an unknown handle and after the end.
DWORD BASS_ChannelIsActive(DWORD handle);

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode);    // mode BASS_POS_BYTE only
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);  // mode BASS_POS_BYTE only
// Rounds down to a whole frame; a position past the end fails.
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD position, DWORD mode);
double BASS_ChannelBytes2Seconds(DWORD handle, QWORD position);
// floor(seconds x rate) frames, in bytes; negative seconds fail.
QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double seconds);

// With BASS_DATA_FFT4096: 2048 floats into `buffer`, from the position on
// (see audio/spectrum.h); answers the bytes of sound read, which is fewer
// near the end. Other requests fail.
DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);

// ---- Beside the BASS calls ---------------------------------------------------

// Why the most recent failing call failed.
std::string audioLastError();

// Whether what the sound system's client libraries print while BASS_Init
// opens an output reaches standard error; by default it does not.
void showAudioBackendMessages(bool shown);

struct SoundFormat {
    std::uint32_t rate = 0;
    std::uint32_t channels = 0;
};
std::optional<SoundFormat> channelFormat(DWORD handle);

}  // namespace vantoro
