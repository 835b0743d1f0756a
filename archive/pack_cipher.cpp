#include "archive/pack_cipher.h"

#include <nettle/des.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace vantoro {
namespace {

des_ctx keySchedule(std::string_view password) {
    const DesKey key = DesKeyFromPassword(password);
    des_ctx context{};
    // The answer only says whether the key is a weak one; the schedule is
    // built either way, and weak keys are as valid as any other password.
    (void)des_set_key(&context, key.data());
    return context;
}

// Copies the first min(target.size(), work.size()) bytes; memmove, because the
// caller's source and target may be one buffer.
std::size_t writeOut(const std::vector<std::uint8_t>& work, std::span<std::uint8_t> target) {
    const std::size_t count = std::min(target.size(), work.size());
    if (count > 0) std::memmove(target.data(), work.data(), count);
    return count;
}

}  // namespace

DesKey DesKeyFromPassword(std::string_view password) {
    DesKey key{};
    const std::size_t count = std::min(password.size(), key.size());
    std::memcpy(key.data(), password.data(), count);
    return key;
}

std::size_t DesEncryptBuffer(std::string_view password, std::span<const std::uint8_t> source,
                             std::span<std::uint8_t> target) {
    const des_ctx context = keySchedule(password);
    std::vector<std::uint8_t> work(source.size() - source.size() % DES_BLOCK_SIZE + DES_BLOCK_SIZE);
    if (!source.empty()) std::memcpy(work.data(), source.data(), source.size());
    des_encrypt(&context, work.size(), work.data(), work.data());
    return writeOut(work, target);
}

std::size_t DesDecryptBuffer(std::string_view password, std::span<const std::uint8_t> source,
                             std::span<std::uint8_t> target) {
    const des_ctx context = keySchedule(password);
    std::vector<std::uint8_t> work(source.size() - source.size() % DES_BLOCK_SIZE);
    if (work.empty()) return 0;
    std::memcpy(work.data(), source.data(), work.size());
    des_decrypt(&context, work.size(), work.data(), work.data());
    return writeOut(work, target);
}

DesBlock packCheckBlock(std::string_view password) {
    DesBlock block{};
    const auto* plain = reinterpret_cast<const std::uint8_t*>(kPackCheckPlaintext.data());
    DesEncryptBuffer(password, {plain, kPackCheckPlaintext.size()}, block);
    return block;
}

bool CheckPackPassword(std::span<const std::uint8_t> header, std::string_view password) {
    if (header.size() <= kPackProtectedFlagOffset || header[kPackProtectedFlagOffset] != 1) {
        return false;
    }
    if (password.empty()) return false;
    DesBlock plain{};
    DesDecryptBuffer(password, header.subspan(kPackCheckBlockOffset, plain.size()), plain);
    return std::equal(plain.begin(), plain.end(), kPackCheckPlaintext.begin(),
                      kPackCheckPlaintext.end());
}

bool CipherEntryData(bool cipherActive, std::string_view password, std::span<std::uint8_t> data,
                     bool encipher) {
    if (!cipherActive || password.empty() || data.size() < kPackCipheredBytes) return false;
    const std::span<std::uint8_t> head = data.first(kPackCipheredBytes);
    if (encipher) {
        DesEncryptBuffer(password, head, head);
    } else {
        DesDecryptBuffer(password, head, head);
    }
    return true;
}

}  // namespace vantoro
