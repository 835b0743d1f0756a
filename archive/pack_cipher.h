// The pack's password protection: single DES (FIPS 46-3) in ECB mode on
// 8-byte blocks, keyed by the password.
//
// A protected pack carries, in header bytes 15..22, the check block: the
// eight ASCII bytes "zeqoncom" enciphered under the pack's key; header byte
// 23 is 1. In every entry whose stored data (after compression) are at least
// 128 bytes long, the first 128 bytes are enciphered; entry headers, the rest
// of the data and the index are plain. So protection costs at most 16 blocks
// per entry, whatever its size.
//
// The key is the first eight bytes of the password (8-bit bytes, no
// terminator), padded with zero bytes; later bytes are ignored, so two
// passwords that agree in their first eight bytes are the same password. The
// key goes into the DES key schedule as it is: the lowest bit of each byte is
// ignored, parity is not checked and weak keys are accepted, since any
// password must work. An empty password means no password is set.
//
// Nothing is cached: each call derives the key schedule afresh.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vantoro {

using DesKey = std::array<std::uint8_t, 8>;
using DesBlock = std::array<std::uint8_t, 8>;

inline constexpr std::size_t kPackCheckBlockOffset = 15;
inline constexpr std::size_t kPackProtectedFlagOffset = 23;
inline constexpr std::string_view kPackCheckPlaintext = "zeqoncom";
// Leading data bytes of an entry that are enciphered, and the smallest data
// length that is enciphered at all.
inline constexpr std::size_t kPackCipheredBytes = 128;

// The first min(8, size) bytes of the password, then zero bytes up to 8.
DesKey DesKeyFromPassword(std::string_view password);

// Enciphers source into target. The source is taken with zero bytes appended
// up to the next multiple of 8, always at least one byte more (a source of 16
// bytes becomes 24: one whole zero block), and enciphered block by block.
// The first min(target.size(), that length) enciphered bytes are written;
// answers how many. Source and target may overlap, or be the same buffer.
// With target.size() == source.size() == a multiple of 8 this is plain ECB.
std::size_t DesEncryptBuffer(std::string_view password, std::span<const std::uint8_t> source,
                             std::span<std::uint8_t> target);

// Deciphers the source.size() / 8 whole blocks of source (a trailing partial
// block is ignored) and writes the first min(target.size(), 8 x blocks) plain
// bytes to target; answers how many. Target bytes past that are untouched.
// Source and target may overlap, or be the same buffer.
std::size_t DesDecryptBuffer(std::string_view password, std::span<const std::uint8_t> source,
                             std::span<std::uint8_t> target);

// The check block a protected pack stores for this password.
DesBlock packCheckBlock(std::string_view password);

// True when the pack header (at least its first 24 bytes) is marked
// protected, the password is not empty and the check block deciphers under
// it to exactly "zeqoncom". A header that is unprotected or too short, or an
// empty password, answers false without deciphering anything.
bool CheckPackPassword(std::span<const std::uint8_t> header, std::string_view password);

// The hook for an entry's stored data, run by writers just before writing
// (encipher) and by readers right after reading (decipher): when the cipher
// is active for the open pack (protected, and the password passed the check),
// the password is not empty and the data are at least 128 bytes, the first
// 128 bytes are enciphered or deciphered in place as 16 blocks. Otherwise the
// data are left alone. Answers whether anything was changed.
bool CipherEntryData(bool cipherActive, std::string_view password, std::span<std::uint8_t> data,
                     bool encipher);

}  // namespace vantoro
