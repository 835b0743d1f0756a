#include "io/name_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <memory>

namespace vantoro {

std::size_t utf8SequenceLength(std::string_view bytes) {
    if (bytes.empty()) return 0;
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    const auto continues = [&](std::size_t i) {
        return i < bytes.size() && (byte(i) & 0xC0) == 0x80;
    };
    const std::uint8_t first = byte(0);
    if (first < 0x80) return 1;
    if (first >= 0xC2 && first <= 0xDF) return continues(1) ? 2 : 0;
    if (first >= 0xE0 && first <= 0xEF) {
        if (!continues(1) || !continues(2)) return 0;
        if (first == 0xE0 && byte(1) < 0xA0) return 0;   // overlong
        if (first == 0xED && byte(1) >= 0xA0) return 0;  // a surrogate
        return 3;
    }
    if (first >= 0xF0 && first <= 0xF4) {
        if (!continues(1) || !continues(2) || !continues(3)) return 0;
        if (first == 0xF0 && byte(1) < 0x90) return 0;   // overlong
        if (first == 0xF4 && byte(1) >= 0x90) return 0;  // past U+10FFFF
        return 4;
    }
    return 0;
}

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool isGbkLeadByte(char c) {
    const auto byte = static_cast<std::uint8_t>(c);
    return byte >= 0x81 && byte <= 0xFE;
}

struct IconvCloser {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
using Converter = std::unique_ptr<void, IconvCloser>;

Converter openConverter(const char* to, const char* from) {
    const iconv_t handle = iconv_open(to, from);
    if (handle == reinterpret_cast<iconv_t>(-1)) return nullptr;
    return Converter(handle);
}

// A part of a name that is not UTF-8, decoded as GBK; a byte that begins
// no GBK character (or one cut by the end) reads as U+FFFD.
std::string gbkPartText(std::string_view part) {
    if (isValidUtf8(part)) return std::string(part);
    const Converter converter = openConverter("UTF-8", "GBK");
    if (!converter) return std::string(kReplacement);
    std::string text;
    char buffer[256];
    char* next = const_cast<char*>(part.data());  // iconv does not write its input
    std::size_t left = part.size();
    while (left > 0) {
        char* write = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t done =
            iconv(static_cast<iconv_t>(converter.get()), &next, &left, &write, &room);
        text.append(buffer, static_cast<std::size_t>(write - buffer));
        if (done != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        text += kReplacement;  // EILSEQ or EINVAL: one byte read as U+FFFD
        ++next;
        --left;
    }
    return text;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t length = utf8SequenceLength(bytes);
        if (length == 0) return false;
        bytes.remove_prefix(length);
    }
    return true;
}

std::string nameDisplayText(std::string_view path) {
    if (isValidUtf8(path)) return std::string(path);
    std::string text;
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        text += gbkPartText(path.substr(start, slash - start));
        if (slash == std::string_view::npos) break;
        text += '/';
        start = slash + 1;
    }
    return text;
}

std::string nameCaseKey(std::string_view name) {
    const bool gbk = !isValidUtf8(name);
    std::string key(name);
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (gbk && isGbkLeadByte(key[i])) {
            ++i;
        } else if (key[i] >= 'A' && key[i] <= 'Z') {
            key[i] = static_cast<char>(key[i] - 'A' + 'a');
        }
    }
    return key;
}

bool sameNameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && nameCaseKey(a) == nameCaseKey(b);
}

}  // namespace vantoro
