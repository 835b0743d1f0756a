#include "io/mapped_file.h"

#include <signal.h>
#include <sys/mman.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace vantoro {
namespace {

// The mappings the fault handler may repair. A signal handler can take no
// lock, so each place is claimed with an atomic flag and published by
// storing its length last; the handler skips places whose length is 0.
struct Place {
    std::atomic<bool> claimed{false};
    std::atomic<std::uintptr_t> start{0};
    std::atomic<std::size_t> length{0};
    std::atomic<bool> damaged{false};
    std::atomic<bool> writable{false};
};

// More archives than this are never open at once; a further one simply reads
// without a mapping.
constexpr int kPlaces = 64;
std::array<Place, kPlaces> g_places;

struct sigaction g_previousHandler {};

// Zero pages over the whole mapping: the faulting read and every later one
// see zeros instead of faulting again.
bool repairFault(std::uintptr_t address) {
    for (Place& place : g_places) {
        const std::size_t length = place.length.load(std::memory_order_acquire);
        if (length == 0) continue;
        const std::uintptr_t start = place.start.load(std::memory_order_relaxed);
        if (address < start || address - start >= length) continue;
        const int protection =
            place.writable.load(std::memory_order_relaxed) ? PROT_READ | PROT_WRITE : PROT_READ;
        void* const zeros = ::mmap(reinterpret_cast<void*>(start), length, protection,
                                   MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (zeros == MAP_FAILED) return false;
        place.damaged.store(true, std::memory_order_release);
        return true;
    }
    return false;
}

void onBusError(int signal, siginfo_t* info, void* context) {
    if (repairFault(reinterpret_cast<std::uintptr_t>(info->si_addr))) return;
    // Not one of ours: whoever handled it before decides. A default (or
    // ignored) action is put back, and the faulting access, run again on
    // return, meets it.
    if (g_previousHandler.sa_flags & SA_SIGINFO) {
        g_previousHandler.sa_sigaction(signal, info, context);
    } else if (g_previousHandler.sa_handler == SIG_DFL || g_previousHandler.sa_handler == SIG_IGN) {
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        ::sigaction(SIGBUS, &fallback, nullptr);
    } else {
        g_previousHandler.sa_handler(signal);
    }
}

bool installHandler() {
    static std::once_flag once;
    static bool installed = false;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        installed = ::sigaction(SIGBUS, &action, &g_previousHandler) == 0;
    });
    return installed;
}

int claimPlace() {
    for (int i = 0; i < kPlaces; ++i) {
        bool expected = false;
        if (g_places[i].claimed.compare_exchange_strong(expected, true)) return i;
    }
    return -1;
}

void releasePlace(int slot) {
    g_places[slot].damaged.store(false);
    g_places[slot].claimed.store(false, std::memory_order_release);
}

}  // namespace

std::unique_ptr<MappedFile> MappedFile::map(int fd, std::uint64_t size) {
    return mapRange(fd, 0, size, false);
}

std::unique_ptr<MappedFile> MappedFile::mapForWriting(int fd, std::uint64_t offset,
                                                      std::uint64_t size) {
    return mapRange(fd, offset, size, true);
}

std::unique_ptr<MappedFile> MappedFile::mapRange(int fd, std::uint64_t offset, std::uint64_t size,
                                                 bool writable) {
    if (size == 0 || size > SIZE_MAX || offset > INT64_MAX || !installHandler()) return nullptr;
    const int slot = claimPlace();
    if (slot < 0) return nullptr;
    const auto length = static_cast<std::size_t>(size);
    void* const start = ::mmap(nullptr, length, writable ? PROT_READ | PROT_WRITE : PROT_READ,
                               MAP_SHARED, fd, static_cast<off_t>(offset));
    if (start == MAP_FAILED) {
        releasePlace(slot);
        return nullptr;
    }
    Place& place = g_places[slot];
    place.writable.store(writable, std::memory_order_relaxed);
    place.start.store(reinterpret_cast<std::uintptr_t>(start), std::memory_order_relaxed);
    place.length.store(length, std::memory_order_release);
    return std::unique_ptr<MappedFile>(
        new MappedFile(static_cast<std::uint8_t*>(start), length, slot, writable));
}

MappedFile::~MappedFile() {
    // Withdrawn from the handler before the pages go away.
    g_places[m_slot].length.store(0, std::memory_order_release);
    ::munmap(m_start, m_size);
    releasePlace(m_slot);
}

std::span<std::uint8_t> MappedFile::writableBytes() const {
    if (!m_writable) return {};
    return {m_start, m_size};
}

bool MappedFile::damaged() const {
    return g_places[m_slot].damaged.load(std::memory_order_acquire);
}

}  // namespace vantoro
