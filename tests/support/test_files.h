// Test helpers: a temporary folder per test, writing and reading whole
// files, and damaging bytes one fault at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vantoro::testing {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder removed again when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // Full path of `name` inside the folder, as a string.
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

void writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);

// Little-endian appenders for building fixtures.
void putU8(Bytes& out, std::uint8_t v);
void putU16(Bytes& out, std::uint16_t v);
void putU32(Bytes& out, std::uint32_t v);
void putBytes(Bytes& out, const Bytes& bytes);
void putZeros(Bytes& out, std::size_t count);

// Damage helpers.
void setU16At(Bytes& bytes, std::size_t at, std::uint16_t v);
void setU32At(Bytes& bytes, std::size_t at, std::uint32_t v);
void flipByte(Bytes& bytes, std::size_t at);
void truncateTo(Bytes& bytes, std::size_t size);

}  // namespace vantoro::testing
