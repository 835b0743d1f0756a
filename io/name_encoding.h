// File names are bytes. Folders unpacked from Windows archives keep their
// GBK names, which are not UTF-8; such a name must reach the file system as
// the same bytes, and a person reads it decoded as GBK. UTF-8 names are read
// as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantoro {

bool isValidUtf8(std::string_view bytes);
// The length of the UTF-8 character at the start of `bytes`; 0 when none
// starts there (no overlong forms, surrogates or code points past U+10FFFF).
std::size_t utf8SequenceLength(std::string_view bytes);

// The name as a person reads it, in UTF-8: the bytes themselves when they
// are UTF-8, else decoded as GBK, where a byte that begins no GBK character
// reads as U+FFFD. Each part of a path between "/" is decoded on its own,
// so a GBK folder may hold UTF-8 names and the other way round.
std::string nameDisplayText(std::string_view path);

// Whether two names of one folder are the same name without regard to the
// case of ASCII letters, as the file system of Windows compares them. In a
// name that is not UTF-8, a byte after a GBK lead byte is part of that
// character and compared exactly, even where it has the value of a letter.
bool sameNameIgnoringAsciiCase(std::string_view a, std::string_view b);

// The name with its ASCII letters in lower case, as that comparison sees
// them: two names of one folder are the same name exactly when their keys
// are equal, so a folder's names can be looked up by key.
std::string nameCaseKey(std::string_view name);

}  // namespace vantoro
