#include "edit/import_text.h"

#include <memory>
#include <vector>

#include "io/file_stream.h"

namespace vantoro {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

int digitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (!hex) return -1;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isSeparator(char c) {
    return c == ' ' || c == ',';
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

OffsetEdit offsetEdit(std::string_view token) {
    OffsetEdit edit;
    if (token.front() == '+' || token.front() == '_') {
        edit.change = token.front() == '+' ? OffsetChange::Add : OffsetChange::Subtract;
        token.remove_prefix(1);
    }
    edit.value = parseIntegerText(token).value_or(0);
    return edit;
}

// The file's text, refused above the size limit before anything is read.
Result<std::string> readSmallText(const std::string& path) {
    const std::unique_ptr<FileStream> file = FileStream::open(path, FileStream::Mode::ReadOnly);
    if (!file) return fail(path + ": cannot open");
    const std::int64_t size = file->size();
    if (size < 0) return fail(path + ": cannot read");
    if (static_cast<std::uint64_t>(size) > kMaxOffsetsFileBytes) {
        return fail(path + ": larger than " + std::to_string(kMaxOffsetsFileBytes) + " bytes");
    }
    const std::optional<FileBytes> bytes = file->readBytes(static_cast<std::uint64_t>(size));
    if (!bytes) return fail(path + ": cannot read");
    std::string text(bytes->begin(), bytes->end());
    if (text.starts_with(kUtf8Mark)) text.erase(0, kUtf8Mark.size());
    return text;
}

// Lines ended by CR LF, LF or CR; text after the last end is a line too.
std::vector<std::string_view> textLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

}  // namespace

std::optional<std::int32_t> parseIntegerText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const bool hex = i < text.size() && text[i] == '$';
    if (hex) ++i;
    if (i == text.size()) return std::nullopt;
    const std::uint64_t limit = hex ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i], hex);
        if (digit < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (value > limit) return std::nullopt;
    }
    const auto bits = static_cast<std::uint32_t>(negative ? 0 - value : value);
    return static_cast<std::int32_t>(bits);
}

SplitText SplitToken(std::string_view text) {
    if (text.size() >= kSplitTokenLimit) return {};
    std::size_t start = 0;
    while (start < text.size() && isSeparator(text[start])) ++start;
    std::size_t end = start;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    const std::string_view rest = end < text.size() ? text.substr(end + 1) : std::string_view{};
    return {text.substr(start, end - start), rest};
}

FixedOffsets parseFixedOffsets(std::string_view text) {
    const SplitText first = SplitToken(text);
    const SplitText second = SplitToken(first.rest);
    return {parseIntegerText(first.token).value_or(0), parseIntegerText(second.token).value_or(0)};
}

std::int16_t OffsetEdit::applyTo(std::int16_t current) const {
    std::int64_t result = value;
    if (change == OffsetChange::Add) result = std::int64_t{current} + value;
    if (change == OffsetChange::Subtract) result = std::int64_t{current} - value;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(result & 0xFFFF));
}

std::optional<OffsetsEdit> parseOffsetsEdit(std::string_view text) {
    const SplitText first = SplitToken(text);
    const std::string_view x = trimmed(first.token);
    const std::string_view y = trimmed(SplitToken(first.rest).token);
    if (x.empty() || y.empty()) return std::nullopt;
    return OffsetsEdit{offsetEdit(x), offsetEdit(y)};
}

Result<OffsetsFile> readOffsetsFile(const std::string& path) {
    const Result<std::string> text = readSmallText(path);
    if (!text) return text.failure();
    const std::vector<std::string_view> lines = textLines(*text);
    if (lines.size() < 2) return fail(path + ": fewer than two lines");
    const auto number = [&](std::size_t line) { return parseIntegerText(lines[line]).value_or(0); };
    OffsetsFile offsets;
    offsets.x = static_cast<std::int16_t>(number(0));
    offsets.y = static_cast<std::int16_t>(number(1));
    if (lines.size() >= 3) offsets.format = static_cast<std::uint8_t>(number(2));
    return offsets;
}

Result<FixedOffsets> readFirstLineOffsets(const std::string& path) {
    const Result<std::string> text = readSmallText(path);
    if (!text) return text.failure();
    const std::vector<std::string_view> lines = textLines(*text);
    if (lines.empty()) return FixedOffsets{};
    return parseFixedOffsets(lines.front());
}

}  // namespace vantoro
