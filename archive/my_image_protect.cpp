// Protecting, re-keying and unprotecting a pack in place. Protection covers
// the header's check block, its flag and where the slot count is kept, and
// the first 128 stored bytes of every entry of 128 bytes or more; all of it
// is written as one journaled edit, the index written again at the data end.
#include <algorithm>
#include <string>
#include <utility>

#include "archive/my_image_images.h"
#include "archive/pack_cipher.h"

namespace vantoro {

Status TWMMyImageImages::protectionRefusal(bool protectedNow) const {
    if (!FInitialized || !FFileStream) return refusal();
    if (FHeader.isProtected() != protectedNow) {
        return fail(protectedNow ? "the pack is not protected" : "the pack is already protected");
    }
    if (protectedNow && !FCipherActive) {
        return fail(FPassword.empty() ? "the pack is protected; its password is needed"
                                      : "wrong password for the pack");
    }
    if (m_appendsGuarded) return fail("entries appended to the pack are not saved yet");
    return Status::success();
}

Status TWMMyImageImages::protect(std::string_view password) {
    if (password.empty()) return fail("a protected pack needs a password that is not empty");
    if (Status refused = protectionRefusal(false); !refused) return refused;
    return rewriteProtection(password);
}

Status TWMMyImageImages::changePassword(std::string_view newPassword) {
    if (newPassword.empty()) return fail("the new password is empty");
    if (Status refused = protectionRefusal(true); !refused) return refused;
    return rewriteProtection(newPassword);
}

Status TWMMyImageImages::unprotect() {
    if (Status refused = protectionRefusal(true); !refused) return refused;
    return rewriteProtection({});
}

Result<std::vector<FileWrite>> TWMMyImageImages::recipheredHeads(std::string_view newPassword,
                                                                 std::int32_t end) {
    // Each head is changed once, so entries must not share bytes (a crafted
    // index can point twice at one entry) nor reach into the header.
    std::vector<std::pair<std::int64_t, std::int64_t>> spans;
    std::vector<FileWrite> writes;
    for (const std::int32_t slot : FIndexList) {
        if (slot == 0) continue;
        const std::string at = "the entry at offset " + std::to_string(slot);
        if (slot < kPackDataStart) return fail(at + " lies inside the pack header");
        const auto header = readHeaderAt(slot);
        if (!header) return fail(at + ": " + header.error());
        const std::int64_t dataStart = std::int64_t{slot} + kPackEntryHeaderSize;
        const std::int64_t entryEnd = dataStart + header->dataLength;
        if (header->dataLength < 0 || entryEnd > end) {
            return fail(at + " does not end inside the pack's data");
        }
        spans.emplace_back(slot, entryEnd);
        if (static_cast<std::size_t>(header->dataLength) < kPackCipheredBytes) continue;
        auto head = FFileStream->readBytes(kPackCipheredBytes);
        if (!head) return fail(at + ": its data are cut short");
        std::vector<std::uint8_t> bytes(head->begin(), head->end());
        CipherEntryData(FCipherActive, FPassword, bytes, false);
        CipherEntryData(!newPassword.empty(), newPassword, bytes, true);
        writes.push_back({dataStart, std::move(bytes)});
    }
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].first < spans[i - 1].second) {
            return fail("the entries at offsets " + std::to_string(spans[i - 1].first) + " and " +
                        std::to_string(spans[i].first) + " overlap");
        }
    }
    return writes;
}

Status TWMMyImageImages::rewriteProtection(std::string_view newPassword) {
    if (Status refused = beginEdit(); !refused) return refused;
    const EditScope scope{*this};
    MemoryState before = memoryState();
    const auto end = computeDataEnd();
    if (!end) return fail("cannot read the pack's entries: " + end.error());
    auto heads = recipheredHeads(newPassword, *end);
    if (!heads) return heads.failure();

    // The header as protection leaves it; indexWrites keeps the count at 24
    // while the cipher is active.
    const bool wasActive = FCipherActive;
    FCipherActive = !newPassword.empty();
    FHeader.protectedFlag = FCipherActive ? 1 : 0;
    FHeader.checkBlock = FCipherActive ? packCheckBlock(newPassword) : DesBlock{};
    FHeader.protectedCount = 0;
    auto commit = indexWrites(*end);
    if (!commit) {
        FCipherActive = wasActive;
        restore(std::move(before));
        return commit.failure();
    }
    if (commit->empty()) {
        // No entries and no index: only the header changes.
        TPackHeader onDisk = FHeader;
        onDisk.offsetSlot = 0;
        const PackHeaderBytes bytes = serializePackHeader(onDisk);
        commit->push_back({0, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
    }
    PackHeaderBytes written{};
    std::copy_n(commit->back().bytes.begin(), written.size(), written.begin());
    EditPlan plan;
    plan.writes = std::move(*heads);
    plan.writes.insert(plan.writes.end(), commit->begin(), commit->end());
    for (const FileWrite& w : plan.writes) {
        plan.reserveTo =
            std::max(plan.reserveTo, w.position + static_cast<std::int64_t>(w.bytes.size()));
    }
    if (!FFileStream->closeToReaders()) {
        FCipherActive = wasActive;
        restore(std::move(before));
        return fail("other programs kept reading the pack for 10 seconds; it was not changed");
    }
    const JournaledEdit edit = runJournaled(FFileStream->descriptor(), FFileName, std::move(plan));
    FFileStream->openToReaders();
    if (edit.status) {
        m_diskHeader = written;
        FPassword = std::string(newPassword);
        FEncrypted = FCipherActive;
        return Status::success();
    }
    if (edit.pending) {
        // The journal completes the change at the opening: the pack is then
        // protected as asked.
        FPassword = std::string(newPassword);
        reopen();
    } else {
        FCipherActive = wasActive;
        restore(std::move(before));
    }
    return edit.status;
}

}  // namespace vantoro
