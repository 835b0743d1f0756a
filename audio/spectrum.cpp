#include "audio/spectrum.h"

#include <fftw3.h>

#include <cmath>
#include <new>
#include <numbers>
#include <vector>

namespace vantoro::audio {

struct SpectrumAnalyzer::Plan {
    double* input = nullptr;
    fftw_complex* output = nullptr;
    fftw_plan plan = nullptr;
    std::array<double, kSpectrumFrames> window{};
    std::vector<std::int16_t> samples;  // the frames read, interleaved

    Plan() {
        input = fftw_alloc_real(kSpectrumFrames);
        output = fftw_alloc_complex(kSpectrumFrames / 2 + 1);
        if (input && output) {
            plan = fftw_plan_dft_r2c_1d(static_cast<int>(kSpectrumFrames), input, output,
                                        FFTW_ESTIMATE);
        }
        if (!plan) {
            release();
            throw std::bad_alloc();
        }
        for (std::size_t n = 0; n < kSpectrumFrames; ++n) {
            window[n] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(n) /
                                             static_cast<double>(kSpectrumFrames));
        }
    }
    ~Plan() { release(); }

    void release() {
        if (plan) fftw_destroy_plan(plan);
        fftw_free(input);
        fftw_free(output);
        plan = nullptr;
        input = nullptr;
        output = nullptr;
    }
};

SpectrumAnalyzer::SpectrumAnalyzer() : m_plan(std::make_unique<Plan>()) {}

SpectrumAnalyzer::~SpectrumAnalyzer() = default;

SpectrumAnalyzer::Analysis SpectrumAnalyzer::analyze(SoundStream& sound, std::uint64_t first) {
    Plan& p = *m_plan;
    const std::uint32_t channels = sound.channels();
    p.samples.resize(kSpectrumFrames * channels);
    const std::uint64_t read = sound.read(first, p.samples);
    const double scale = 1.0 / (32768.0 * channels);
    for (std::size_t n = 0; n < kSpectrumFrames; ++n) {
        double sum = 0;
        if (n < read) {
            const std::int16_t* frame = p.samples.data() + n * channels;
            for (std::uint32_t c = 0; c < channels; ++c) sum += frame[c];
        }
        p.input[n] = sum * scale * p.window[n];
    }
    fftw_execute(p.plan);
    Analysis analysis;
    analysis.read = read;
    constexpr double kNormal = 2.0 / static_cast<double>(kSpectrumValues);
    for (std::size_t k = 0; k < kSpectrumValues; ++k) {
        analysis.values[k] =
            static_cast<float>(std::hypot(p.output[k][0], p.output[k][1]) * kNormal);
    }
    return analysis;
}

}  // namespace vantoro::audio
