// A file as it will read once an edit is complete, assembled without
// writing: ranges of the file as it is now, some shifted to where an edit
// puts them, with bytes held in memory laid over them. A pack whose
// interrupted edit cannot be completed (the file cannot be written) is read
// through one, so it shows its entries as the edit leaves them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace vantoro {

class FileView {
public:
    // The file as it is now, `size` bytes long.
    explicit FileView(std::int64_t size);

    // From now on the view's bytes [at, at + length) are the file's bytes
    // from `fileOffset` on (as the file is now, not as the view shows it).
    void showFile(std::int64_t at, std::int64_t length, std::int64_t fileOffset);
    // From now on the view's bytes from `at` on are `bytes`; the view grows
    // when they pass its end.
    void showBytes(std::int64_t at, std::vector<std::uint8_t> bytes);
    // The view ends at `size`.
    void cut(std::int64_t size);

    std::int64_t size() const { return m_size; }

    // Up to buffer.size() bytes of the view from `at`, read from `fd` where
    // the view shows the file; how many were read (fewer at the view's end
    // or when the file reads short).
    std::size_t read(int fd, std::int64_t at, std::span<std::uint8_t> buffer) const;

private:
    // A run of the view's bytes: from the file at `fileOffset` on, from
    // `bytes` (starting at `bytesOffset` into them), or zeros (kZeros).
    static constexpr std::int64_t kZeros = -1;
    struct Extent {
        std::int64_t at = 0;
        std::int64_t length = 0;
        std::int64_t fileOffset = 0;
        std::shared_ptr<const std::vector<std::uint8_t>> bytes;
        std::int64_t bytesOffset = 0;
    };

    // Replaces whatever covers [at, at + length) with `extent`.
    void place(Extent extent);

    std::vector<Extent> m_extents;  // in order, back to back, covering [0, m_size)
    std::int64_t m_size = 0;
};

}  // namespace vantoro
