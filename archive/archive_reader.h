// The common base of every archive class, TWMBaseImages: opening the data
// file, the entry operations every format shares, and the buffers its
// decoders read into. Its texture cache is in archive/texture_cache.*, the
// entries' data type codes in archive/entry_types.h, the kinds and the
// factory in archive/archive_kind.h.
//
// An archive is a data file of many small images (and, in the pack, sounds
// and raw data) usually with an index of file offsets. Entry i lives at the
// offset stored at FIndexList[i]. Entry operations never raise for bad data:
// they answer none or false, say why in lastError(), and leave the archive
// usable. Only the failures the formats name (a Mir3 index that disagrees
// with its data file, an unknown Woool format code, an unknown WIS encoding)
// raise an ArchiveError.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The kinds and the factory, which most users of an archive class need too.
#include "archive/archive_kind.h"
#include "archive/decoded_image.h"
#include "archive/entry_types.h"
#include "archive/image_records.h"
#include "archive/texture_cache.h"
#include "io/file_stream.h"
#include "io/result.h"
#include "pixels/dib_bitmap.h"
#include "pixels/dx9_textures.h"

namespace vantoro {

// The named failures of opening or reading an archive; the message is shown
// to the user as it stands.
class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TWMBaseImages {
public:
    TWMBaseImages();
    virtual ~TWMBaseImages();

    TWMBaseImages(const TWMBaseImages&) = delete;
    TWMBaseImages& operator=(const TWMBaseImages&) = delete;

    // The class name, as the status bar and the command line report it.
    virtual std::string_view className() const { return "TWMBaseImages"; }
    // The index file read beside the data file, once opened; empty for a
    // format that keeps its index inside the data file.
    virtual std::string indexFileName() const { return {}; }

    // Overridable operations. A format overrides Initialize (its header and
    // index) and decodeEntry; the base draws, makes bitmaps and fills the
    // cache from what decodeEntry gives, the same way for every format.
    virtual void LoadCacheEntry(std::int32_t offset, TTextureCacheEntry& entry);
    virtual std::int32_t ReservedQuery() { return 0; }  // answers 0; nothing calls it
    virtual bool Initialize();
    virtual void Finalize();
    virtual std::optional<std::vector<std::uint8_t>> GetDataStream(std::int32_t index,
                                                                   std::uint8_t mode);
    virtual bool DrawToTexture(std::int32_t index, TDXTexture* texture);
    virtual std::uint8_t GetDataType(std::int32_t index);
    virtual void InsertIndex(std::int32_t position, std::int32_t offset);
    virtual std::int32_t SaveIndex() { return 0; }

    // A new bitmap owned by the caller (8-bit or 16-bit R5G6B5, top row
    // first), or none; updates FLastImageInfo on success.
    std::optional<DibBitmap> GetBitmap(std::int32_t index, std::uint8_t& dataType);
    std::optional<DibBitmap> GetBitmap(std::int32_t index);

    // Texture cache (a library facility; the program switches it off;
    // archive/texture_cache.cpp).
    void FreeTextureCache();
    bool InitTextureCache();
    static std::uint8_t BytesPerPixel(std::uint8_t format);
    std::unique_ptr<TDXImageTexture> CreateCacheTexture(std::uint16_t width, std::uint16_t height,
                                                        std::uint8_t format);

    // Why the last entry operation failed, for diagnostics; empty after a
    // success.
    const std::string& lastError() const { return m_lastError; }

    std::uint32_t FCacheCheckInterval = 10000;
    std::uint32_t FLastCacheCheck = 0;
    std::uint32_t FCacheLifetime = 60000;
    bool FUseTextureCache = true;
    std::int32_t FCachedCount = 0;
    TWMImageInfo FLastImageInfo;
    std::uint8_t FLastImageFormat = 0;
    std::string FFileName;
    std::string FPassword;
    bool FInitialized = false;
    std::int32_t FImageCount = 0;
    bool FReadOnly = true;
    bool FEncrypted = false;
    std::unique_ptr<FileStream> FFileStream;
    std::vector<TTextureCacheEntry> FTextureCache;
    std::vector<std::int32_t> FIndexList;
    std::array<std::uint8_t, 1024> FPalette{};

protected:
    // What a format can do with its decoded entries; most can do everything.
    struct Abilities {
        bool drawToTexture = true;  // false: DrawToTexture answers false
        bool textureCache = true;   // false: LoadCacheEntry leaves every entry failed
    };
    virtual Abilities abilities() const { return {}; }

    // The one question a format answers: entry `index`, already checked to
    // lie inside the index, decoded, or the reason it cannot be (shared texts
    // in archive/entry_errors.h). The image's bytes may live in this
    // archive's buffers (readRecordBytes, pixelBuffer) until the next decode.
    // The base answers that there is no image.
    virtual Result<DecodedImage> decodeEntry(std::int32_t index);

    // Slot 1. Decodes the entry and makes a bitmap of it; a named failure of
    // the decode is raised as an ArchiveError.
    virtual std::optional<DibBitmap> DoGetBitmap(std::int32_t index, std::uint8_t& dataType);

    // The stored offset of a valid entry (0 <= index < FImageCount and inside
    // FIndexList), or nothing.
    std::optional<std::int32_t> entryOffset(std::int32_t index) const;
    // Positions the data file exactly at `offset`; false when it cannot.
    bool seekExact(std::int64_t offset);
    // Positions the data file at a valid entry's offset; the offset, or the
    // reason it cannot.
    Result<std::int32_t> seekToEntry(std::int32_t index);

    // Exactly `count` bytes from the data file's position, in a buffer this
    // archive keeps between decodes (so reading entry after entry does not
    // allocate). The count is checked against the file before the buffer
    // grows. Valid until the next call; the reader may change the bytes in
    // place (the pack deciphers them there).
    Result<std::span<std::uint8_t>> readRecordBytes(std::uint64_t count);
    // The same bytes for a reader that only reads them: where the data file
    // is mapped they are not copied at all. Valid until the next decode.
    Result<std::span<const std::uint8_t>> readRecordView(std::uint64_t count);
    // A payload whose record declares `declared` bytes, of which no decode
    // can use more than `useful`: the declared bytes must lie inside the file,
    // but only min(declared, useful) are read, so a tiny image claiming
    // gigabytes in a large or sparse file costs what the image needs.
    Result<std::span<const std::uint8_t>> readPayload(std::uint64_t declared, std::uint64_t useful);
    // A second buffer of `size` bytes for pixels a decoder expands, kept like
    // the record buffer; its contents are undefined until the decoder writes.
    std::span<std::uint8_t> pixelBuffer(std::size_t size);

    void setLastError(std::string message) { m_lastError = std::move(message); }
    void clearLastError() { m_lastError.clear(); }

private:
    // decodeEntry behind the range check; records FLastImageInfo on success
    // and the reason ("entry N: ...") on failure.
    Result<DecodedImage> decodeChecked(std::int32_t index);
    std::optional<std::int32_t> firstEntryAt(std::int32_t offset) const;
    // After an entry's bytes were used: true (with the reason set) when the
    // data file shrank under its mapping meanwhile, so the bytes may have
    // been zeros instead of the entry's.
    bool fileShrankWhileRead(std::int32_t index);

    std::string m_lastError;
    FileBytes m_recordBuffer;
    FileBytes m_pixelBuffer;
};

}  // namespace vantoro
