#include "audio/bass.h"

#include <SDL.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <span>

#include "audio/silenced_stderr.h"
#include "audio/sound_mixer.h"
#include "audio/sound_stream.h"
#include "audio/spectrum.h"

namespace vantoro {
namespace {

using audio::ChannelState;
using audio::SoundMixer;
using audio::SoundStream;
using audio::SpectrumAnalyzer;

// Output frames per buffer: about 23 ms at 44.1 kHz, below the display's
// 26 ms tick, so a started sound is heard within one tick.
constexpr Uint16 kOutputFrames = 1024;

struct Library {
    bool initialized = false;
    SDL_AudioDeviceID device = 0;  // 0: no output
    std::unique_ptr<SoundMixer> mixer;
    std::unique_ptr<SpectrumAnalyzer> analyzer;
    std::string error;
    bool backendMessagesShown = false;

    // A program that ends without BASS_Free must not leave the output
    // thread mixing channels that are being destroyed.
    ~Library() {
        if (device != 0) SDL_CloseAudioDevice(device);
    }
};

Library& library() {
    static Library instance;
    return instance;
}

BOOL failed(std::string message) {
    library().error = std::move(message);
    return 0;
}

QWORD failedQword(std::string message) {
    failed(std::move(message));
    return kBassFailed;
}

// The channel's sound, or none (and the reason kept) for a handle that is
// not a live stream.
std::shared_ptr<SoundStream> soundOf(DWORD handle) {
    Library& lib = library();
    std::shared_ptr<SoundStream> sound = lib.mixer ? lib.mixer->sound(handle) : nullptr;
    if (!sound) failed(lib.initialized ? "invalid handle" : "the audio library is not initialised");
    return sound;
}

void fillOutput(void* user, Uint8* stream, int length) {
    auto* mixer = static_cast<SoundMixer*>(user);
    mixer->mix(std::span(reinterpret_cast<std::int16_t*>(stream),
                         static_cast<std::size_t>(length) / sizeof(std::int16_t)));
}

// The SDL device name of output `device` (1-based), or none for the default.
std::optional<std::string> deviceName(int device) {
    if (device < 1) return std::string();
    const char* name = SDL_GetAudioDeviceName(device - 1, 0);
    if (!name) return std::nullopt;
    return std::string(name);
}

bool openOutput(Library& lib, int device, DWORD freq) {
    // SDL would otherwise take over Ctrl+C and SIGTERM to post quit events
    // that nobody here reads, and the program could no longer be stopped.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    std::optional<audio::SilencedStandardError> silenced;
    if (!lib.backendMessagesShown) silenced.emplace();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        failed(std::string("no audio output: ") + SDL_GetError());
        return false;
    }
    const auto name = deviceName(device);
    if (!name) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        failed("no audio device " + std::to_string(device));
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(freq);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = kOutputFrames;
    wanted.callback = fillOutput;
    wanted.userdata = lib.mixer.get();
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to whatever the hardware takes.
    lib.device =
        SDL_OpenAudioDevice(name->empty() ? nullptr : name->c_str(), 0, &wanted, &obtained, 0);
    if (lib.device == 0) {
        failed(std::string("cannot open the audio device: ") + SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(lib.device, 0);
    return true;
}

}  // namespace

BOOL BASS_Init(int device, DWORD freq, DWORD /*flags*/, void* /*win*/, const void* /*clsid*/) {
    Library& lib = library();
    if (lib.initialized) return failed("the audio library is already initialised");
    if (device < -1) return failed("no audio device " + std::to_string(device));
    if (freq == 0 || freq > audio::kMaxRate) return failed("bad output rate");
    lib.mixer = std::make_unique<SoundMixer>(freq);
    if (device != 0 && !openOutput(lib, device, freq)) {
        lib.mixer.reset();
        return 0;
    }
    lib.initialized = true;
    return 1;
}

BOOL BASS_Free() {
    Library& lib = library();
    if (!lib.initialized) return failed("the audio library is not initialised");
    if (lib.device != 0) {
        SDL_CloseAudioDevice(lib.device);  // waits for the output thread
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        lib.device = 0;
    }
    lib.mixer.reset();
    lib.analyzer.reset();
    lib.initialized = false;
    return 1;
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                              DWORD /*flags*/) {
    Library& lib = library();
    if (!lib.initialized) return failed("the audio library is not initialised");
    if (!mem) return failed("only streams from memory are supported");
    if (!file || length == 0) return failed("no sound data");
    const auto* bytes = static_cast<const std::uint8_t*>(file);
    Result<std::shared_ptr<SoundStream>> stream =
        SoundStream::open(std::span(bytes + offset, length));
    if (!stream) return failed(stream.error());
    return lib.mixer->create(std::move(*stream));
}

BOOL BASS_StreamFree(HSTREAM handle) {
    if (!soundOf(handle)) return 0;
    return library().mixer->free(handle) ? 1 : 0;
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
    if (!soundOf(handle)) return 0;
    if (library().device == 0) return failed("no audio output to play on");
    return library().mixer->play(handle, restart != 0) ? 1 : 0;
}

BOOL BASS_ChannelPause(DWORD handle) {
    if (!soundOf(handle)) return 0;
    return library().mixer->pause(handle) ? 1 : failed("the channel is not playing");
}

BOOL BASS_ChannelStop(DWORD handle) {
    if (!soundOf(handle)) return 0;
    return library().mixer->stop(handle) ? 1 : 0;
}

DWORD BASS_ChannelIsActive(DWORD handle) {
    const Library& lib = library();
    const auto state = lib.mixer ? lib.mixer->state(handle) : std::nullopt;
    if (state == ChannelState::Playing) return BASS_ACTIVE_PLAYING;
    if (state == ChannelState::Paused) return BASS_ACTIVE_PAUSED;
    return BASS_ACTIVE_STOPPED;
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode) {
    const auto sound = soundOf(handle);
    if (!sound) return kBassFailed;
    if (mode != BASS_POS_BYTE) return failedQword("only byte positions are supported");
    return sound->frames() * sound->bytesPerFrame();
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
    const auto sound = soundOf(handle);
    if (!sound) return kBassFailed;
    if (mode != BASS_POS_BYTE) return failedQword("only byte positions are supported");
    const auto frame = library().mixer->frame(handle);
    return frame ? *frame * sound->bytesPerFrame() : kBassFailed;
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD position, DWORD mode) {
    const auto sound = soundOf(handle);
    if (!sound) return 0;
    if (mode != BASS_POS_BYTE) return failed("only byte positions are supported");
    if (!library().mixer->seek(handle, position / sound->bytesPerFrame())) {
        return failed("position past the end");
    }
    return 1;
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD position) {
    const auto sound = soundOf(handle);
    if (!sound) return -1;
    return static_cast<double>(position) /
           (static_cast<double>(sound->rate()) * static_cast<double>(sound->bytesPerFrame()));
}

QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double seconds) {
    const auto sound = soundOf(handle);
    if (!sound) return kBassFailed;
    // Below 2^52 frames the product keeps every whole frame exact.
    const double frames = std::floor(seconds * sound->rate());
    if (!(frames >= 0 && frames < 0x1p52)) return failedQword("bad position in seconds");
    return static_cast<QWORD>(frames) * sound->bytesPerFrame();
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
    const auto sound = soundOf(handle);
    if (!sound) return static_cast<DWORD>(-1);
    if (length != BASS_DATA_FFT4096 || !buffer) {
        failed("only the 4096-sample spectrum is supported");
        return static_cast<DWORD>(-1);
    }
    Library& lib = library();
    const std::uint64_t first = lib.mixer->frame(handle).value_or(0);
    if (!lib.analyzer) lib.analyzer = std::make_unique<SpectrumAnalyzer>();
    const auto analysis = lib.analyzer->analyze(*sound, first);
    std::memcpy(buffer, analysis.values.data(), sizeof(analysis.values));
    return static_cast<DWORD>(analysis.read * sound->bytesPerFrame());
}

std::string audioLastError() {
    return library().error;
}

void showAudioBackendMessages(bool shown) {
    library().backendMessagesShown = shown;
}

std::optional<SoundFormat> channelFormat(DWORD handle) {
    const auto sound = soundOf(handle);
    if (!sound) return std::nullopt;
    return SoundFormat{sound->rate(), sound->channels()};
}

}  // namespace vantoro
