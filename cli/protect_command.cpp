#include "cli/protect_command.h"

#include <memory>
#include <string>

#include "archive/my_image_images.h"
#include "archive/pack_cipher.h"
#include "cli/cli_support.h"
#include "edit/pack_file_check.h"

namespace vantoro::cli {
namespace {

constexpr OptionEntry kProtectOptions[] = {
    {"--new-password", "NEW", "change a protected pack's password to NEW"},
};

const std::string* optionValueOf(const Invocation& call, std::string_view name) {
    for (const OptionValue& option : call.options) {
        if (option.name == name) return &option.value;
    }
    return nullptr;
}

// Opens PACK with --password, which both commands need.
std::unique_ptr<TWMBaseImages> openPackFor(const Invocation& call) {
    if (call.password.empty()) usageError("--password is needed", call.command);
    std::unique_ptr<TWMBaseImages> archive = openArchive(call);
    const auto* pack = dynamic_cast<const TWMMyImageImages*>(archive.get());
    if (pack == nullptr) failure(archive->FFileName + ": only a pack can be protected");
    if (const Status file = checkPackFile(*pack); !file) failure(file.error());
    return archive;
}

int endWith(const Status& changed, const TWMBaseImages& pack) {
    if (!changed) failure(pack.FFileName + ": " + changed.error());
    return kExitOk;
}

}  // namespace

std::span<const OptionEntry> protectOptions() {
    return kProtectOptions;
}

void warnLongPassword(std::string_view password, std::string_view option, std::ostream& err) {
    if (password.size() <= DesKey{}.size()) return;
    err << "vantoro-cli: warning: only the first " << DesKey{}.size() << " bytes of " << option
        << " count (a single DES key); the rest is ignored\n";
}

int runProtect(const Invocation& call, std::ostream&, std::ostream& err) {
    const std::string* newPassword = optionValueOf(call, "--new-password");
    if (newPassword != nullptr && newPassword->empty()) {
        usageError("--new-password is empty", call.command);
    }
    std::unique_ptr<TWMBaseImages> archive = openPackFor(call);
    auto& pack = static_cast<TWMMyImageImages&>(*archive);
    if (newPassword == nullptr) {
        if (pack.FHeader.isProtected()) {
            failure(pack.FFileName +
                    ": the pack is already protected (--new-password changes "
                    "its password)");
        }
        return endWith(pack.protect(call.password), pack);
    }
    warnLongPassword(*newPassword, "--new-password", err);
    failIfLocked(pack);
    return endWith(pack.changePassword(*newPassword), pack);
}

int runUnprotect(const Invocation& call, std::ostream&, std::ostream&) {
    std::unique_ptr<TWMBaseImages> archive = openPackFor(call);
    auto& pack = static_cast<TWMMyImageImages&>(*archive);
    failIfLocked(pack);
    return endWith(pack.unprotect(), pack);
}

}  // namespace vantoro::cli
