// Whether the file behind an open pack is a pack at all, before an edit
// writes to it: a file that merely opens as a pack (a tar archive, a file of
// zeros named .pak) would otherwise get a pack header and entries written
// over what it holds.
#pragma once

#include "archive/my_image_images.h"
#include "io/result.h"

namespace vantoro {

// Fails with "FILE: not a pack (why); it cannot be changed" unless the
// header and the file's size are what a pack written by this program has
// (archive/pack_header.h, checkPackHeader).
Status checkPackFile(const TWMMyImageImages& pack);

}  // namespace vantoro
