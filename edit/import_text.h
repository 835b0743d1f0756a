// The numbers import reads from text: typed into the dialog, or read from
// the offsets files beside the pictures.
//
// Integer text: leading spaces, an optional sign, then "$" and hexadecimal
// digits or decimal digits, and nothing else (a trailing space spoils it).
// Decimal values keep to the 32-bit signed range; hexadecimal ones to 32
// bits, read as the signed value with the same bits ("$FFFFFFFF" is -1).
//
// Offsets file: "Placements/" + the picture's name without its extension +
// ".txt" in the picture's folder. Line 1 holds X, line 2 Y, line 3 (if there
// is one) the pixel-format number, each integer text; a line that is not a
// number counts as 0. Lines end in CR LF, LF or CR. A file of fewer than two
// lines says nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "io/result.h"

namespace vantoro {

std::optional<std::int32_t> parseIntegerText(std::string_view text);

// The first run of characters that are neither space nor comma, after any
// leading spaces and commas, and the text after the character that ended it.
// A text of kSplitTokenLimit characters or more gives two empty parts.
struct SplitText {
    std::string_view token;
    std::string_view rest;
};
inline constexpr std::size_t kSplitTokenLimit = 32766;
SplitText SplitToken(std::string_view text);

// The fixed offsets of image imports, "X,Y" or "X Y": the first two tokens
// as integer text, 0 where one is missing or not a number.
struct FixedOffsets {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
FixedOffsets parseFixedOffsets(std::string_view text);

// The offsets-only change of existing entries, one token per axis: "+N" adds
// N, "_N" subtracts it, anything else sets the value ("+5,_3", "10,-2"). The
// sign character goes before the number is read; a token that is then not a
// number counts as 0. Results keep to the entries' 16 bits: they wrap.
enum class OffsetChange : std::uint8_t { Set, Add, Subtract };
struct OffsetEdit {
    OffsetChange change = OffsetChange::Set;
    std::int32_t value = 0;
    std::int16_t applyTo(std::int16_t current) const;
};
struct OffsetsEdit {
    OffsetEdit x;
    OffsetEdit y;
    bool setsBoth() const { return x.change == OffsetChange::Set && y.change == OffsetChange::Set; }
};
// Nothing unless the text holds two tokens.
std::optional<OffsetsEdit> parseOffsetsEdit(std::string_view text);

// Offsets files are a few bytes; anything larger is refused unread.
inline constexpr std::uint64_t kMaxOffsetsFileBytes = 65536;

struct OffsetsFile {
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint8_t format = 0;  // 0 without a third line
};
// Fails for a file that cannot be read, is too large, or has fewer than two
// lines.
Result<OffsetsFile> readOffsetsFile(const std::string& path);

// The offsets-only import with a file list: the first line of each listed
// file split into X and Y (0 where missing or not a number). Fails for a
// file that cannot be read or is too large.
Result<FixedOffsets> readFirstLineOffsets(const std::string& path);

}  // namespace vantoro
