#include "tests/support/m3_def_writer.h"

#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace vantoro::testing {
namespace {

constexpr std::size_t kDataHeaderSize = 32;
constexpr std::size_t kMaxRowWords = 0xFFFF;

// `title` padded with zeros to `size` bytes.
void putTitle(Bytes& out, std::string_view title, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        putU8(out, i < title.size() ? static_cast<std::uint8_t>(title[i]) : 0);
    }
}

// Length of the run starting at `x` whose pixels are all transparent or all opaque.
std::size_t runAt(std::span<const std::uint16_t> row, std::size_t x) {
    const bool opaque = row[x] != 0;
    std::size_t end = x + 1;
    while (end < row.size() && (row[end] != 0) == opaque) ++end;
    return end - x;
}

}  // namespace

std::vector<std::uint16_t> encodeM3Row(std::span<const std::uint16_t> row) {
    std::vector<std::uint16_t> codes;
    std::size_t x = 0;
    while (x < row.size()) {
        const std::size_t run = runAt(row, x);
        if (row[x] == 0) {
            if (x + run == row.size()) break;  // transparent tail
            codes.push_back(kM3TransparentRun);
            codes.push_back(static_cast<std::uint16_t>(run));
        } else {
            codes.push_back(kM3OpaqueRun);
            codes.push_back(static_cast<std::uint16_t>(run));
            codes.insert(codes.end(), row.begin() + static_cast<std::ptrdiff_t>(x),
                         row.begin() + static_cast<std::ptrdiff_t>(x + run));
        }
        x += run;
    }
    return codes;
}

std::vector<std::uint16_t> encodeM3Payload(const M3Image& image) {
    const std::size_t width = image.width;
    if (image.pixels.size() != width * image.height) throw std::invalid_argument("m3: pixel count");
    std::vector<std::uint16_t> payload;
    payload.reserve(image.pixels.size() + 2u * image.height);
    for (std::size_t y = 0; y < image.height; ++y) {
        const auto codes = encodeM3Row(std::span(image.pixels).subspan(y * width, width));
        if (codes.size() > kMaxRowWords) throw std::invalid_argument("m3: row too long");
        payload.push_back(static_cast<std::uint16_t>(codes.size()));
        payload.insert(payload.end(), codes.begin(), codes.end());
    }
    return payload;
}

M3DefFiles buildM3DefRecords(const std::vector<M3Record>& records, M3Layout layout) {
    M3DefFiles files;
    files.layout = layout;
    putTitle(files.data, "VANTORO M3 DATA", 24);
    putU32(files.data, static_cast<std::uint32_t>(records.size()));
    putZeros(files.data, kDataHeaderSize - files.data.size());
    for (const M3Record& record : records) {
        if (record.empty) {
            files.recordOffsets.push_back(0);
            continue;
        }
        files.recordOffsets.push_back(files.data.size());
        putU16(files.data, record.width);
        putU16(files.data, record.height);
        putU16(files.data, static_cast<std::uint16_t>(record.px));
        putU16(files.data, static_cast<std::uint16_t>(record.py));
        putZeros(files.data, 5);
        if (layout == M3Layout::New)
            putU32(files.data, static_cast<std::uint32_t>(record.payload.size()));
        for (const std::uint16_t word : record.payload) putU16(files.data, word);
    }
    putTitle(files.index, "VANTORO M3 INDEX", 20);
    putU32(files.index, static_cast<std::uint32_t>(records.size()));
    putU32(files.index, layout == M3Layout::New ? kM3NewVersionWord : kM3OldVersionWord);
    for (const std::size_t offset : files.recordOffsets)
        putU32(files.index, static_cast<std::uint32_t>(offset));
    return files;
}

M3DefFiles buildM3Def(const std::vector<M3Image>& images, M3Layout layout) {
    std::vector<M3Record> records;
    records.reserve(images.size());
    for (const M3Image& image : images) {
        M3Record record{image.width, image.height, image.px, image.py, {}, image.empty};
        if (!image.empty) record.payload = encodeM3Payload(image);
        records.push_back(std::move(record));
    }
    return buildM3DefRecords(records, layout);
}

std::string m3IndexPathFor(const std::string& dataPath, const std::string& extension) {
    std::filesystem::path path(dataPath);
    path.replace_extension(extension);
    return path.string();
}

void writeM3DefFiles(const std::string& dataPath, const M3DefFiles& files,
                     const std::string& indexExtension) {
    writeFile(dataPath, files.data);
    writeFile(m3IndexPathFor(dataPath, indexExtension), files.index);
}

M3DefFiles writeM3Def(const std::string& dataPath, const std::vector<M3Image>& images,
                      M3Layout layout) {
    M3DefFiles files = buildM3Def(images, layout);
    writeM3DefFiles(dataPath, files);
    return files;
}

}  // namespace vantoro::testing
