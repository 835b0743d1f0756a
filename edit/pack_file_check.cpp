#include "edit/pack_file_check.h"

#include <string>

namespace vantoro {

Status checkPackFile(const TWMMyImageImages& pack) {
    const std::int64_t size = pack.FFileStream ? pack.FFileStream->size() : -1;
    const Status header = size < 0
                              ? Status(fail("its size cannot be read"))
                              : checkPackHeader(pack.FHeader, static_cast<std::uint64_t>(size));
    if (header) return header;
    return fail(pack.FFileName + ": not a pack (" + header.error() + "); it cannot be changed");
}

}  // namespace vantoro
