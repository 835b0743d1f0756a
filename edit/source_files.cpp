#include "edit/source_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "archive/archive_reader.h"
#include "io/byte_reader.h"
#include "io/file_stream.h"
#include "io/zlib_buffers.h"

namespace vantoro {
namespace {

// Zero bytes before a frame start that the sound check looks through.
constexpr std::size_t kZeroScanLength = 10001;

// First byte FF and high nibble of the second F: an MPEG audio frame start.
bool isFrameStart(const std::uint8_t* p) {
    return (decodeU16(p) & 0xF0FF) == 0xF0FF;
}

// Past a run of zero bytes from offset 4, the first non-zero byte must begin
// a frame.
bool frameAfterZeros(FileStream& file) {
    std::array<std::uint8_t, kZeroScanLength + 3> window{};
    file.seek(4);
    const std::size_t got = file.read(window);
    const auto scanEnd =
        window.begin() + static_cast<std::ptrdiff_t>(std::min(got, kZeroScanLength));
    const auto first = std::find_if(window.begin(), scanEnd, [](std::uint8_t b) { return b != 0; });
    const std::size_t at = static_cast<std::size_t>(first - window.begin());
    return first != scanEnd && got - at >= 4 && isFrameStart(&window[at]);
}

}  // namespace

Result<std::uint8_t> DetectSoundType(const std::string& fileName) {
    const std::unique_ptr<FileStream> file = FileStream::open(fileName, FileStream::Mode::ReadOnly);
    if (!file) return fail(fileName + ": cannot open");
    std::array<std::uint8_t, 4> head{};  // bytes past a short file read as 0
    file->read(head);
    if (std::memcmp(head.data(), "RIFF", 4) == 0) return kDataTypeWav;
    if (isFrameStart(head.data()) || std::memcmp(head.data(), "ID3", 3) == 0) return kDataTypeMp3;
    if ((decodeU16(head.data()) & 0xF0FF) == 0 && frameAfterZeros(*file)) return kDataTypeMp3;
    return std::uint8_t{0};
}

SourceFileData ReadSourceFile(const std::string& fileName, bool compress, std::int64_t size,
                              int level) {
    const std::unique_ptr<FileStream> file = FileStream::open(fileName, FileStream::Mode::ReadOnly);
    if (!file) return {0, std::nullopt, fileName + ": cannot open"};
    if (size < 0) return {0, std::nullopt, fileName + ": bad size " + std::to_string(size)};
    const std::optional<FileBytes> bytes = file->readBytes(static_cast<std::uint64_t>(size));
    if (!bytes) return {size, std::nullopt, fileName + ": shorter than " + std::to_string(size)};
    if (compress && level > 0) {
        std::vector<std::uint8_t> packed;
        ZCompressBuf(std::span<const std::uint8_t>(bytes->data(), bytes->size()),
                     static_cast<std::uint8_t>(std::min(level, 255)), packed);
        if (packed.empty()) return {0, std::nullopt, fileName + ": cannot compress"};
        const auto packedSize = static_cast<std::int64_t>(packed.size());
        return {packedSize, std::move(packed), {}};
    }
    return {size, std::vector<std::uint8_t>(bytes->begin(), bytes->end()), {}};
}

std::int64_t FileSizeOf(const std::string& fileName) {
    struct stat info {};
    if (fileName.empty() || ::stat(fileName.c_str(), &info) != 0) return -1;
    return S_ISREG(info.st_mode) ? static_cast<std::int64_t>(info.st_size) : 0;
}

}  // namespace vantoro
