#include "cli/sound_commands.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive_reader.h"
#include "audio/bass.h"
#include "audio/spectrum.h"
#include "cli/cli_support.h"

namespace vantoro::cli {
namespace {

constexpr DWORD kOutputRate = 44100;
constexpr auto kProgressTick = std::chrono::milliseconds(26);

// The audio library for one command; device 0 reads sounds without output.
class AudioSession {
public:
    explicit AudioSession(int device) {
        if (!BASS_Init(device, kOutputRate, 0, nullptr, nullptr)) {
            failure("no audio device: " + audioLastError());
        }
    }
    ~AudioSession() { BASS_Free(); }
    AudioSession(const AudioSession&) = delete;
    AudioSession& operator=(const AudioSession&) = delete;
};

// The entry's bytes, as the window takes them for its sound panel.
struct SoundEntry {
    std::uint8_t dataType = 0;
    std::vector<std::uint8_t> bytes;
};

SoundEntry readSoundEntry(const Invocation& call) {
    const std::int32_t index = parseIndex(call);
    std::unique_ptr<TWMBaseImages> archive = openArchive(call);
    checkIndexInRange(*archive, index);
    const std::string entry = "entry " + std::to_string(index);
    const std::uint8_t dataType = guarded([&] { return archive->GetDataType(index); });
    if (dataType != kDataTypeWav && dataType != kDataTypeMp3) {
        failure(entry + " holds no sound (data type " + std::to_string(dataType) + ")");
    }
    auto bytes = guarded([&] { return archive->GetDataStream(index, 0); });
    if (!bytes) failure(withReason(entry + " has no stored data", *archive));
    return {dataType, std::move(*bytes)};
}

HSTREAM createStream(const SoundEntry& entry, const Invocation& call) {
    const HSTREAM stream = BASS_StreamCreateFile(1, entry.bytes.data(), 0, entry.bytes.size(), 0);
    if (!stream) failure("entry " + call.operands[1] + ": " + audioLastError());
    return stream;
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

double parseSeconds(const Invocation& call) {
    const std::string& text = call.operands[2];
    double seconds = -1;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds) ||
        seconds < 0) {
        usageError("bad position in seconds '" + text + "'", call.command);
    }
    return seconds;
}

}  // namespace

int runSound(const Invocation& call, std::ostream& out, std::ostream&) {
    const SoundEntry entry = readSoundEntry(call);
    AudioSession session(0);
    const HSTREAM stream = createStream(entry, call);
    const SoundFormat format = channelFormat(stream).value_or(SoundFormat{});
    const QWORD length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    out << int{entry.dataType} << ' ' << format.rate << ' ' << format.channels << ' ' << length
        << ' ' << fixed(BASS_ChannelBytes2Seconds(stream, length), 6) << '\n';
    return kExitOk;
}

int runSpectrum(const Invocation& call, std::ostream& out, std::ostream&) {
    const double seconds = parseSeconds(call);
    const SoundEntry entry = readSoundEntry(call);
    AudioSession session(0);
    const HSTREAM stream = createStream(entry, call);
    if (!BASS_ChannelSetPosition(stream, BASS_ChannelSeconds2Bytes(stream, seconds),
                                 BASS_POS_BYTE)) {
        failure("position " + call.operands[2] + " s: " + audioLastError());
    }
    std::vector<float> values(audio::kSpectrumValues);
    if (BASS_ChannelGetData(stream, values.data(), BASS_DATA_FFT4096) == static_cast<DWORD>(-1)) {
        failure(audioLastError());
    }
    std::string text;
    for (const float value : values) text += fixed(value, 6) + '\n';
    out << text;
    return kExitOk;
}

int runPlay(const Invocation& call, std::ostream&, std::ostream& err) {
    const SoundEntry entry = readSoundEntry(call);
    AudioSession session(-1);
    const HSTREAM stream = createStream(entry, call);
    if (!BASS_ChannelPlay(stream, 0)) failure("cannot play: " + audioLastError());
    const double total = BASS_ChannelBytes2Seconds(stream, BASS_ChannelGetLength(stream, 0));
    while (BASS_ChannelIsActive(stream) == BASS_ACTIVE_PLAYING) {
        if (call.progressOnError) {
            const double now =
                BASS_ChannelBytes2Seconds(stream, BASS_ChannelGetPosition(stream, BASS_POS_BYTE));
            err << "\rplaying " << fixed(now, 2) << " / " << fixed(total, 2) << " s" << std::flush;
        }
        std::this_thread::sleep_for(kProgressTick);
    }
    if (call.progressOnError) err << '\n';
    return kExitOk;
}

}  // namespace vantoro::cli
