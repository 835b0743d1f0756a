#include "archive/pack_cipher.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::Bytes;

Bytes hex(std::string_view text) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(
            static_cast<std::uint8_t>(std::stoul(std::string(text.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}

// A password whose bytes are the key given in hex.
std::string key(std::string_view text) {
    const Bytes bytes = hex(text);
    return std::string(bytes.begin(), bytes.end());
}

TEST(PackCipher, KnownAnswerVectors) {
    const char* vectors[][3] = {
        {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
        {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
        {"0E329232EA6D0D73", "8787878787878787", "0000000000000000"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
        {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
        // A weak key, and the same key with every parity bit wrong.
        {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
        {"0000000000000000", "8000000000000000", "95F8A5E5DD31D900"},
    };
    for (const auto& [k, plain, cipher] : vectors) {
        SCOPED_TRACE(k);
        Bytes out(8);
        EXPECT_EQ(DesEncryptBuffer(key(k), hex(plain), out), 8u);
        EXPECT_EQ(out, hex(cipher));
        EXPECT_EQ(DesDecryptBuffer(key(k), out, out), 8u);  // in place
        EXPECT_EQ(out, hex(plain));
    }
}

TEST(PackCipher, KeyAndBufferLengths) {
    EXPECT_EQ(DesKeyFromPassword("abc"), (DesKey{'a', 'b', 'c', 0, 0, 0, 0, 0}));
    EXPECT_EQ(DesKeyFromPassword("abcdefghXYZ"), DesKeyFromPassword("abcdefghQ"));

    const std::string k = key("133457799BBCDFF1");
    // Two equal blocks, no chaining; the extra zero block reaches only a long target.
    Bytes out(24, 0xEE), zeroBlock(8);
    EXPECT_EQ(DesEncryptBuffer(k, hex("0123456789ABCDEF0123456789ABCDEF"), out), 24u);
    DesEncryptBuffer(k, Bytes(8, 0), zeroBlock);
    EXPECT_EQ(Bytes(out.begin() + 16, out.end()), zeroBlock);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 16), hex("85E813540F0AB40585E813540F0AB405"));
    Bytes padded(8);  // five bytes go in as if three zero bytes followed them
    DesEncryptBuffer(k, hex("0123456789000000"), padded);
    EXPECT_EQ(DesEncryptBuffer(k, hex("0123456789"), out), 8u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), padded);

    // Of twelve bytes one block is deciphered; the target past it is untouched.
    Bytes back(12, 0xEE);
    EXPECT_EQ(DesDecryptBuffer(k, hex("85E813540F0AB40555555555"), back), 8u);
    EXPECT_EQ(back, hex("0123456789ABCDEFEEEEEEEE"));
}

TEST(PackCipher, EntryDataCipheredOnlyInItsFirst128BytesWhenActive) {
    // size, cipher active, password, changed
    const std::tuple<std::size_t, bool, const char*, bool> cases[] = {{127, true, "pw", false},
                                                                      {128, true, "pw", true},
                                                                      {200, true, "pw", true},
                                                                      {200, false, "pw", false},
                                                                      {200, true, "", false}};
    for (const auto& [size, active, password, changes] : cases) {
        SCOPED_TRACE(size);
        Bytes data(size);
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 7);
        const Bytes original = data;
        EXPECT_EQ(CipherEntryData(active, password, data, true), changes);
        EXPECT_EQ(data == original, !changes);
        const std::size_t plainFrom = std::min<std::size_t>(128, size);
        EXPECT_TRUE(std::equal(data.begin() + plainFrom, data.end(), original.begin() + plainFrom));
        CipherEntryData(active, password, data, false);
        EXPECT_EQ(data, original);
    }
}

TEST(PackCipher, PasswordCheckNeedsAProtectedHeaderAndTheRightKey) {
    // protected flag, password stored, password tried, right
    const std::tuple<std::uint8_t, const char*, const char*, bool> cases[] = {
        {1, "secret", "secret", true},       {1, "secret", "Secret", false},
        {1, "password", "password99", true}, {0, "secret", "secret", false},
        {2, "secret", "secret", false},      {1, "", "", false}};  // empty: no password
    for (const auto& [flag, stored, tried, right] : cases) {
        SCOPED_TRACE(std::string(stored) + " / " + tried);
        Bytes header(64, 0);
        const DesBlock block = packCheckBlock(stored);
        std::copy(block.begin(), block.end(), header.begin() + kPackCheckBlockOffset);
        header[kPackProtectedFlagOffset] = flag;
        EXPECT_EQ(CheckPackPassword(header, tried), right);
        EXPECT_FALSE(CheckPackPassword(std::span(header).first(23), tried));
    }
}

}  // namespace
}  // namespace vantoro
