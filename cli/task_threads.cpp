#include "cli/task_threads.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace vantoro::cli {

void runTasks(const TaskThreads& setup, std::size_t count,
              const std::function<void(std::size_t index, unsigned worker)>& task) {
    std::atomic<std::size_t> next{0};
    std::mutex lock;
    std::condition_variable ended;
    unsigned running = 0;
    const auto work = [&](unsigned worker) {
        for (;;) {
            if (setup.stop && setup.stop()) break;
            const std::size_t index = next.fetch_add(1);
            if (index >= count) break;
            task(index, worker);
        }
        const std::lock_guard<std::mutex> guard(lock);
        --running;
        ended.notify_one();
    };
    const unsigned threads = static_cast<unsigned>(
        std::clamp<std::size_t>(setup.threads, 1, std::max<std::size_t>(count, 1)));
    std::vector<std::jthread> pool;
    running = threads;
    for (unsigned worker = 0; worker < threads; ++worker) pool.emplace_back(work, worker);
    {
        std::unique_lock<std::mutex> guard(lock);
        while (!ended.wait_for(guard, setup.beat, [&] { return running == 0; })) {
            guard.unlock();
            if (setup.onBeat) setup.onBeat();
            guard.lock();
        }
    }
    pool.clear();  // joins
    if (setup.onBeat) setup.onBeat();
}

unsigned hardwareThreads() {
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace vantoro::cli
