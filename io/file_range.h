// Cutting and opening byte ranges of a file in place.
//
// The pack is edited without being rewritten: deleting entries moves the
// file's tail down over them, inserting moves it up to open a gap. Both work
// through their own handle on the file (the pack's stream may stay open; it
// holds no cached bytes) with pread/pwrite in chunks, walking in the
// direction that never overwrites bytes not yet moved, so any overlap of
// source and destination is safe. Offsets and sizes are 64-bit throughout.
//
// Arguments are checked, and the file is opened and measured, before any byte
// changes: a refused call leaves the file as it was. An I/O error during the
// move itself is reported, but the file may then be partly moved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "io/result.h"

namespace vantoro {

// Bytes moved per read/write pair: small enough that the buffer stays in the
// processor's cache between the read and the write, so the move costs little
// more than one pass over the bytes (larger chunks, and copying inside the
// kernel in chunks no longer than the distance moved, measured slower).
inline constexpr std::size_t kFileMoveChunk = std::size_t{256} << 10;

// Cuts `length` bytes at `position`: the bytes after position + length move
// down to position and the file becomes that much shorter. position is
// limited to the file size and length to the bytes after position; answers
// how many bytes were cut (0 is a success that changes nothing). Negative
// arguments, a chunk of 0 or a file that cannot be opened for reading and
// writing are refused.
Result<std::int64_t> DeleteFileRange(const std::string& fileName, std::int64_t length,
                                     std::int64_t position,
                                     std::size_t chunkBytes = kFileMoveChunk);

// Opens a gap of `length` bytes at `position`: the file grows by length and
// the bytes from position to the old end move up by length. position is
// limited to the file size. The gap keeps whatever bytes it held (the caller
// fills it); answers length. The space is reserved before anything moves, so
// a full disk refuses the call and leaves the file as it was. Negative
// arguments, a chunk of 0, a size past the 64-bit range or a file that cannot
// be opened for reading and writing are refused.
Result<std::int64_t> InsertFileRange(const std::string& fileName, std::int64_t length,
                                     std::int64_t position,
                                     std::size_t chunkBytes = kFileMoveChunk);

}  // namespace vantoro
