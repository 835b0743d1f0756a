// A fixed number of threads working through a numbered list of tasks, each
// taking the next task not yet taken, while the calling thread keeps a
// steady beat (to draw progress). The order tasks finish in varies with the
// threads; whatever must not vary is for the tasks to keep to themselves.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

namespace vantoro::cli {

struct TaskThreads {
    unsigned threads = 1;
    // Asked before each task is taken: true leaves the rest untaken.
    std::function<bool()> stop;
    // Called on the calling thread every `beat` while tasks run, and once
    // more after the last has finished.
    std::function<void()> onBeat;
    std::chrono::milliseconds beat{100};
};

// Runs task(index, worker) for every index below `count`; `worker` is the
// thread's number below `threads`, for state a thread keeps between its
// tasks. Returns when every thread has ended. A task must not throw.
void runTasks(const TaskThreads& setup, std::size_t count,
              const std::function<void(std::size_t index, unsigned worker)>& task);

// std::thread::hardware_concurrency, at least 1.
unsigned hardwareThreads();

}  // namespace vantoro::cli
