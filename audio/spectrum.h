// The 4096-sample spectrum of a sound, as the spectrum display and the
// command line read it:
//   x[n] = mean of frame n's channels / 32768, for the 4096 frames from the
//          position asked for (frames past the end count as 0);
//   w[n] = 0.5 - 0.5 cos(2 pi n / 4096), the periodic Hann window;
//   value k = |DFT(x w)[k]| * 2 / 2048, for k = 0..2047,
// so a full-scale sine centred on bin k reads 1.0 at k.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "audio/sound_stream.h"

namespace vantoro::audio {

inline constexpr std::size_t kSpectrumFrames = 4096;
inline constexpr std::size_t kSpectrumValues = 2048;

using SpectrumValues = std::array<float, kSpectrumValues>;

// Holds the transform's plan and buffers; make one and reuse it, as planning
// costs far more than a transform.
class SpectrumAnalyzer {
public:
    SpectrumAnalyzer();
    ~SpectrumAnalyzer();
    SpectrumAnalyzer(const SpectrumAnalyzer&) = delete;
    SpectrumAnalyzer& operator=(const SpectrumAnalyzer&) = delete;

    // The spectrum of `sound` from frame `first` on; `read` is the frames
    // of sound it had (fewer near the end).
    struct Analysis {
        SpectrumValues values;
        std::uint64_t read = 0;
    };
    Analysis analyze(SoundStream& sound, std::uint64_t first);

private:
    struct Plan;
    std::unique_ptr<Plan> m_plan;
};

}  // namespace vantoro::audio
