#include "archive/pack_header.h"

#include <algorithm>
#include <bit>
#include <ctime>

#include "archive/record_fields.h"
#include "io/byte_reader.h"

namespace vantoro {
namespace {

constexpr std::size_t kCheckBlockAt = 15;
constexpr std::size_t kProtectedFlagAt = 23;
constexpr std::size_t kProtectedCountAt = 24;
constexpr std::size_t kReservedAt = 28;
constexpr std::size_t kIndexWordAAt = 36;
constexpr std::size_t kIndexWordBAt = 40;
constexpr std::size_t kPackedIndexSizeAt = 44;
constexpr std::size_t kCountAt = 48;
constexpr std::size_t kCreationTimeAt = 52;
constexpr std::size_t kOffsetSlotAt = 60;
static_assert(kCheckBlockAt == kPackCheckBlockOffset &&
              kProtectedFlagAt == kPackProtectedFlagOffset);
static_assert(kOffsetSlotAt + 4 == kPackHeaderSize);

// Days from 1 January 1970 to the civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// 30 December 1899 lies this many days before 1 January 1970.
constexpr std::int64_t kDaysFrom1899To1970 = 25569;

}  // namespace

std::uint32_t TPackHeader::indexOffset() const {
    return (indexWordB & 0xFFFF0000u) | (indexWordA >> 16);
}

void TPackHeader::setIndexOffset(std::uint32_t offset, RandomSource& random) {
    indexWordA = (offset << 16) | random.below(0x10000);
    indexWordB = (offset & 0xFFFF0000u) | random.below(0x10000);
}

TPackHeader parsePackHeader(std::span<const std::uint8_t, kPackHeaderSize> bytes) {
    TPackHeader header;
    std::copy_n(bytes.begin(), header.signature.size(), header.signature.begin());
    std::copy_n(bytes.begin() + kCheckBlockAt, header.checkBlock.size(), header.checkBlock.begin());
    header.protectedFlag = bytes[kProtectedFlagAt];
    header.protectedCount = i32At<kProtectedCountAt>(bytes);
    std::copy_n(bytes.begin() + kReservedAt, header.reserved.size(), header.reserved.begin());
    header.indexWordA = u32At<kIndexWordAAt>(bytes);
    header.indexWordB = u32At<kIndexWordBAt>(bytes);
    header.packedIndexSize = i32At<kPackedIndexSizeAt>(bytes);
    header.count = i32At<kCountAt>(bytes);
    const std::uint64_t timeBits =
        u32At<kCreationTimeAt>(bytes) | (std::uint64_t{u32At<kCreationTimeAt + 4>(bytes)} << 32);
    header.creationTime = std::bit_cast<double>(timeBits);
    header.offsetSlot = i32At<kOffsetSlotAt>(bytes);
    return header;
}

PackHeaderBytes serializePackHeader(const TPackHeader& header) {
    PackHeaderBytes bytes{};
    std::copy(header.signature.begin(), header.signature.end(), bytes.begin());
    std::copy(header.checkBlock.begin(), header.checkBlock.end(), bytes.begin() + kCheckBlockAt);
    bytes[kProtectedFlagAt] = header.protectedFlag;
    encodeU32(&bytes[kProtectedCountAt], static_cast<std::uint32_t>(header.protectedCount));
    std::copy(header.reserved.begin(), header.reserved.end(), bytes.begin() + kReservedAt);
    encodeU32(&bytes[kIndexWordAAt], header.indexWordA);
    encodeU32(&bytes[kIndexWordBAt], header.indexWordB);
    encodeU32(&bytes[kPackedIndexSizeAt], static_cast<std::uint32_t>(header.packedIndexSize));
    encodeU32(&bytes[kCountAt], static_cast<std::uint32_t>(header.count));
    const auto timeBits = std::bit_cast<std::uint64_t>(header.creationTime);
    encodeU32(&bytes[kCreationTimeAt], static_cast<std::uint32_t>(timeBits));
    encodeU32(&bytes[kCreationTimeAt + 4], static_cast<std::uint32_t>(timeBits >> 32));
    encodeU32(&bytes[kOffsetSlotAt], static_cast<std::uint32_t>(header.offsetSlot));
    return bytes;
}

PackHeaderBytes newPackHeader(double creationTime) {
    TPackHeader header;
    std::copy(kPackSignature.begin(), kPackSignature.end(), header.signature.begin());
    header.creationTime = creationTime;
    return serializePackHeader(header);
}

Status checkPackHeader(const TPackHeader& header, std::uint64_t fileSize) {
    if (fileSize < kPackHeaderSize) return fail("shorter than a pack header");
    if (!std::equal(kPackSignature.begin(), kPackSignature.end(), header.signature.begin())) {
        return fail("no pack signature");
    }
    const std::int32_t count = header.isProtected() ? header.protectedCount : header.count;
    const std::uint64_t offset = header.indexOffset();
    if (count < 0 || header.packedIndexSize < 0) return fail("negative index count or size");
    if (offset == 0) {
        if (count != 0) return fail("index slots counted but no index");
        return {};
    }
    if (offset < kPackHeaderSize || offset > fileSize) return fail("index offset outside the file");
    const std::uint64_t indexBytes = header.packedIndexSize > 0
                                         ? static_cast<std::uint64_t>(header.packedIndexSize)
                                         : 4 * static_cast<std::uint64_t>(count);
    if (indexBytes > fileSize - offset) return fail("index passes the end of the file");
    return {};
}

double packTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::int64_t days = daysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    const int seconds = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    return static_cast<double>(days + kDaysFrom1899To1970) + seconds / 86400.0;
}

}  // namespace vantoro
