// The program's one pseudo-random generator.
//
// Its values only make stored bytes differ from one write to the next (the
// low nibbles mixed into pack entry sizes, the low halves of the pack's index
// words); nothing relies on them being unpredictable. Code that needs them
// takes a RandomSource& so that tests can pass a seeded one.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <random>

namespace vantoro {

class RandomSource {
public:
    explicit RandomSource(std::uint32_t seed) : m_engine(seed) {}

    // A value in 0 .. bound - 1; 0 when bound is 0.
    // Several threads may write packs at once (vantoro-cli convert), all
    // drawing from program(): the engine's state must not be stepped by two.
    std::uint32_t below(std::uint32_t bound) {
        if (bound == 0) return 0;
        const std::lock_guard<std::mutex> guard(m_lock);
        return static_cast<std::uint32_t>(m_engine() % bound);
    }

    // The generator the program uses, seeded once from the clock at first use.
    static RandomSource& program() {
        static RandomSource source(static_cast<std::uint32_t>(
            std::chrono::steady_clock::now().time_since_epoch().count()));
        return source;
    }

private:
    std::mutex m_lock;
    std::mt19937 m_engine;
};

}  // namespace vantoro
