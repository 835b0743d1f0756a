// The archive's texture cache: one texture per entry, made when the entry is
// first drawn and dropped after a time unused. A library facility the
// program itself switches off (FUseTextureCache); the cache's members are
// TWMBaseImages' (archive/archive_reader.h) and are defined in
// archive/texture_cache.cpp.
#pragma once

#include <cstdint>
#include <memory>

#include "pixels/dx9_textures.h"

namespace vantoro {

struct TTextureCacheEntry {
    std::int16_t PX = 0;
    std::int16_t PY = 0;
    std::unique_ptr<TDXImageTexture> Texture;
    std::uint8_t Failed = 0;  // 1: attempted and failed, or pending
};

// Milliseconds since an arbitrary fixed point, as the cache sweep counts.
std::uint32_t tickCount();

}  // namespace vantoro
