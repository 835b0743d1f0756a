#include "tests/support/m2_wis_writer.h"

#include <stdexcept>

namespace vantoro::testing {
namespace {

constexpr std::size_t kMaxCode = 255;

// Length of the run of equal indices starting at `i`, at most kMaxCode.
std::size_t runAt(std::span<const std::uint8_t> in, std::size_t i) {
    std::size_t run = 1;
    while (i + run < in.size() && run < kMaxCode && in[i + run] == in[i]) ++run;
    return run;
}

bool runOfThreeAt(std::span<const std::uint8_t> in, std::size_t i) {
    return i + 2 < in.size() && in[i] == in[i + 1] && in[i] == in[i + 2];
}

}  // namespace

Bytes encodeWisRunLength(std::span<const std::uint8_t> indices) {
    Bytes out;
    out.reserve(indices.size() + indices.size() / 64 + 2);
    std::size_t i = 0;
    while (i < indices.size()) {
        const std::size_t run = runAt(indices, i);
        if (run >= 3) {
            out.push_back(static_cast<std::uint8_t>(run));
            out.push_back(indices[i]);
            i += run;
            continue;
        }
        const std::size_t start = i;
        while (i < indices.size() && i - start < kMaxCode && !runOfThreeAt(indices, i)) ++i;
        out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(i - start));
        out.insert(out.end(), indices.begin() + static_cast<std::ptrdiff_t>(start),
                   indices.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return out;
}

WisRecord wisRecordOf(const WisImage& image) {
    const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
    WisRecord record{static_cast<std::int32_t>(image.encoding),
                     image.width,
                     image.height,
                     image.px,
                     image.py,
                     {}};
    switch (image.encoding) {
        case WisEncoding::Raw8:
        case WisEncoding::RunLength8:
            if (image.indices.size() != pixels) throw std::invalid_argument("wis: pixel count");
            record.payload = image.encoding == WisEncoding::Raw8
                                 ? image.indices
                                 : encodeWisRunLength(image.indices);
            break;
        case WisEncoding::Raw16:
            if (image.words.size() != pixels) throw std::invalid_argument("wis: pixel count");
            record.payload.reserve(2 * pixels);
            for (const std::uint16_t word : image.words) putU16(record.payload, word);
            break;
    }
    return record;
}

WisFile buildWisRecords(const std::vector<WisRecord>& records) {
    WisFile file;
    std::size_t total = kWisFirstRecord + kWisTableEntrySize * records.size();
    for (const WisRecord& record : records) total += kWisRecordHeaderSize + record.payload.size();
    file.bytes.reserve(total);
    putZeros(file.bytes, kWisFirstRecord);
    for (const WisRecord& record : records) {
        file.recordOffsets.push_back(file.bytes.size());
        putU32(file.bytes, static_cast<std::uint32_t>(record.encoding));
        putU16(file.bytes, record.width);
        putU16(file.bytes, record.height);
        putU16(file.bytes, static_cast<std::uint16_t>(record.px));
        putU16(file.bytes, static_cast<std::uint16_t>(record.py));
        putBytes(file.bytes, record.payload);
    }
    file.tableOffset = file.bytes.size();
    for (std::size_t i = 0; i < records.size(); ++i) {
        putU32(file.bytes, static_cast<std::uint32_t>(file.recordOffsets[i]));
        putU32(file.bytes, static_cast<std::uint32_t>(records[i].payload.size()));
        putU32(file.bytes, 0);
    }
    return file;
}

WisFile buildWis(const std::vector<WisImage>& images) {
    std::vector<WisRecord> records;
    records.reserve(images.size());
    for (const WisImage& image : images) records.push_back(wisRecordOf(image));
    return buildWisRecords(records);
}

WisFile writeWis(const std::string& path, const std::vector<WisImage>& images) {
    WisFile file = buildWis(images);
    writeFile(path, file.bytes);
    return file;
}

}  // namespace vantoro::testing
