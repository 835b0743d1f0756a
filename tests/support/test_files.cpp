#include "tests/support/test_files.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vantoro::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    m_path = fs::temp_directory_path() /
             ("vantoro-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(m_path);
    fs::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + path);
}

Bytes readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) throw std::runtime_error("cannot read " + path);
    // In one read: byte by byte, files of megabytes take seconds under the
    // sanitizers.
    Bytes bytes(static_cast<std::size_t>(file.tellg()));
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()))) {
        throw std::runtime_error("cannot read " + path);
    }
    return bytes;
}

void putU8(Bytes& out, std::uint8_t v) {
    out.push_back(v);
}
void putU16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void putU32(Bytes& out, std::uint32_t v) {
    putU16(out, static_cast<std::uint16_t>(v));
    putU16(out, static_cast<std::uint16_t>(v >> 16));
}
void putBytes(Bytes& out, const Bytes& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}
void putZeros(Bytes& out, std::size_t count) {
    out.insert(out.end(), count, 0);
}

void setU16At(Bytes& bytes, std::size_t at, std::uint16_t v) {
    bytes.at(at) = static_cast<std::uint8_t>(v);
    bytes.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
void setU32At(Bytes& bytes, std::size_t at, std::uint32_t v) {
    setU16At(bytes, at, static_cast<std::uint16_t>(v));
    setU16At(bytes, at + 2, static_cast<std::uint16_t>(v >> 16));
}
void flipByte(Bytes& bytes, std::size_t at) {
    bytes.at(at) ^= 0xFF;
}
void truncateTo(Bytes& bytes, std::size_t size) {
    if (size < bytes.size()) bytes.resize(size);
}

}  // namespace vantoro::testing
