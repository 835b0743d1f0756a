// Reading the fields of a record header at their fixed positions, checked:
// a record whose size is known when compiling has every field checked then,
// and one whose size is known only when reading gives nothing for a field
// that passes its end.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <utility>

#include "io/byte_reader.h"

namespace vantoro {

// A reader standing at `position` inside a record: the field there and the
// ones after it read as nothing once they pass the record's end (or the
// position does).
inline ByteReader fieldsAt(std::span<const std::uint8_t> record, std::size_t position) {
    return ByteReader(record.subspan(std::min(position, record.size())));
}

// The bytes a record of fixed size holds (a std::array or a fixed-extent
// span); std::dynamic_extent for a record whose size is known only when read.
template <typename Record>
inline constexpr std::size_t kRecordSize =
    decltype(std::span(std::declval<const Record&>()))::extent;

// The field at `At` of a record of fixed size; a field that would pass the
// record's end does not compile.
template <std::size_t At, typename Record>
std::uint16_t u16At(const Record& record) {
    static_assert(kRecordSize<Record> != std::dynamic_extent && At + 2 <= kRecordSize<Record>,
                  "field passes the record");
    return decodeU16(std::data(record) + At);
}
template <std::size_t At, typename Record>
std::int16_t i16At(const Record& record) {
    return static_cast<std::int16_t>(u16At<At>(record));
}
template <std::size_t At, typename Record>
std::uint32_t u32At(const Record& record) {
    static_assert(kRecordSize<Record> != std::dynamic_extent && At + 4 <= kRecordSize<Record>,
                  "field passes the record");
    return decodeU32(std::data(record) + At);
}
template <std::size_t At, typename Record>
std::int32_t i32At(const Record& record) {
    return static_cast<std::int32_t>(u32At<At>(record));
}

}  // namespace vantoro
