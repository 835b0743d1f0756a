// Standard error sent to /dev/null for the lifetime of an object. The sound
// system's client libraries (ALSA, PulseAudio) print what their probing
// finds there while an output is opened, lines that mean nothing to a person
// using the program; the audio library keeps them away unless asked to show
// them.
#pragma once

namespace vantoro::audio {

class SilencedStandardError {
public:
    SilencedStandardError();
    ~SilencedStandardError();
    SilencedStandardError(const SilencedStandardError&) = delete;
    SilencedStandardError& operator=(const SilencedStandardError&) = delete;

private:
    int m_saved = -1;  // the original standard error while silenced
};

}  // namespace vantoro::audio
