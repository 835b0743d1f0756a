#include "archive/wil.h"

#include <chrono>

#include "io/file_names.h"
#include "pixels/pixel_format.h"

namespace vantoro {

std::uint32_t tickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::string imageSizeError(const TWMImageInfo& info) {
    return "image size " + std::to_string(info.Width) + "x" + std::to_string(info.Height) +
           " is outside 2..4095";
}

std::string entryError(std::int32_t index, const std::string& what) {
    return "entry " + std::to_string(index) + ": " + what;
}

TWMBaseImages::TWMBaseImages() : FLastCacheCheck(tickCount()) {}

// The subclass destructors have run by now, so this is the base Finalize;
// a subclass whose Finalize does more calls it from its own destructor.
TWMBaseImages::~TWMBaseImages() { TWMBaseImages::Finalize(); }

bool TWMBaseImages::Initialize() {
    if (FFileName.empty() || FInitialized || FFileStream || !fileExists(FFileName)) return false;
    FFileStream = FileStream::open(
        FFileName, FReadOnly ? FileStream::Mode::ReadOnly : FileStream::Mode::ReadWrite);
    if (!FFileStream) return false;
    FInitialized = true;
    FreeTextureCache();
    return true;
}

void TWMBaseImages::Finalize() {
    FInitialized = false;
    FreeTextureCache();
    FFileStream.reset();
}

void TWMBaseImages::LoadCacheEntry(std::int32_t /*offset*/, TTextureCacheEntry& entry) {
    entry.Texture.reset();
    entry.Failed = 1;
}

std::optional<std::vector<std::uint8_t>> TWMBaseImages::GetDataStream(std::int32_t /*index*/,
                                                                      std::uint8_t /*mode*/) {
    return std::nullopt;
}

bool TWMBaseImages::DrawToTexture(std::int32_t /*index*/, TDXTexture* /*texture*/) {
    setLastError("this archive kind cannot draw into a texture");
    return false;
}

std::uint8_t TWMBaseImages::GetDataType(std::int32_t /*index*/) { return kDataTypeImage; }

void TWMBaseImages::InsertIndex(std::int32_t position, std::int32_t offset) {
    if (FReadOnly || !FInitialized) return;
    if (position > static_cast<std::int64_t>(FIndexList.size())) return;
    if (position < -1) return;  // only -1 means "append"
    if (position == -1) {
        FIndexList.push_back(offset);
    } else {
        FIndexList.insert(FIndexList.begin() + position, offset);
    }
    ++FImageCount;
}

std::optional<DibBitmap> TWMBaseImages::DoGetBitmap(std::int32_t /*index*/,
                                                    std::uint8_t& dataType) {
    dataType = kDataTypeImage;
    return std::nullopt;
}

std::optional<DibBitmap> TWMBaseImages::GetBitmap(std::int32_t index, std::uint8_t& dataType) {
    return DoGetBitmap(index, dataType);
}

std::optional<DibBitmap> TWMBaseImages::GetBitmap(std::int32_t index) {
    std::uint8_t dataType = 0;
    return DoGetBitmap(index, dataType);
}

void TWMBaseImages::FreeTextureCache() {
    for (TTextureCacheEntry& entry : FTextureCache) entry.Texture.reset();
    FTextureCache.clear();
    FCachedCount = 0;
}

bool TWMBaseImages::InitTextureCache() {
    FreeTextureCache();
    if (!FInitialized || FImageCount <= 0 || !FUseTextureCache) return false;
    FTextureCache.resize(static_cast<std::size_t>(FImageCount));
    return true;
}

std::uint8_t TWMBaseImages::BytesPerPixel(std::uint8_t format) {
    return vantoro::BytesPerPixel(format);
}

std::unique_ptr<TDXImageTexture> TWMBaseImages::CreateCacheTexture(std::uint16_t width,
                                                                   std::uint16_t height,
                                                                   std::uint8_t format) {
    if (format >= kPixelFormatToD3D.size()) return nullptr;
    auto texture = std::make_unique<TDXImageTexture>();
    texture->SetSize(width, height);
    texture->SetImageSize(width, height);
    texture->SetFormat(kPixelFormatToD3D[format]);
    if (!texture->SetActive(true)) return nullptr;
    return texture;
}

bool TWMBaseImages::fillCacheEntry(TTextureCacheEntry& entry, const TWMImageInfo& info,
                                   const std::function<bool(TDXTexture&)>& fill) {
    auto texture = CreateCacheTexture(info.Width, info.Height, 1);
    if (!texture || !fill(*texture)) return false;
    entry.Texture = std::move(texture);
    entry.PX = info.PX;
    entry.PY = info.PY;
    entry.Failed = 0;
    return true;
}

std::optional<std::int32_t> TWMBaseImages::entryOffset(std::int32_t index) const {
    if (index < 0 || index >= FImageCount) return std::nullopt;
    if (static_cast<std::size_t>(index) >= FIndexList.size()) return std::nullopt;
    return FIndexList[static_cast<std::size_t>(index)];
}

bool TWMBaseImages::seekExact(std::int64_t offset) {
    return FFileStream && offset >= 0 && FFileStream->seek(offset) == offset;
}

std::optional<std::int32_t> TWMBaseImages::seekToEntry(std::int32_t index) {
    const auto offset = entryOffset(index);
    if (!offset) {
        setLastError("entry " + std::to_string(index) + " is outside the index");
        return std::nullopt;
    }
    if (!seekExact(*offset)) {
        setLastError("entry " + std::to_string(index) + ": cannot seek to offset " +
                     std::to_string(*offset));
        return std::nullopt;
    }
    return offset;
}

}  // namespace vantoro
