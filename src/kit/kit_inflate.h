// Inflating a kit file (one raw deflate stream) into its image file.
//
// The kit is read through read-only private mappings of 32 KiB windows and the
// output goes through one 32 KiB buffer, so memory does not grow with the kit.
// Called by OpenKit on the user interface thread; keeps no state.
#pragma once

#include <cstdint>

#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

// Size of a mapped kit window and of the output buffer (a multiple of the
// page size, so every window offset is page-aligned).
inline constexpr std::uint32_t kKitWindowSize = 32768;

// Inflates the kit file at `kitPath` (zlib, window bits -15) into the file at
// `imagePath` (opened for writing, created if missing, cut to the inflated
// length at the end).
// Result:
//  0   the deflate stream ended (Z_STREAM_END; bytes after its end are
//      ignored), or the kit file is empty (the image is then empty too);
//  13  zlib reported an error, the stream ends without its final block, or
//      the kit or the image would reach 4 GiB;
//  2 / 87  a file could not be opened (the image code wins only after the kit
//      opened), a window could not be mapped (87), or writing, cutting or
//      closing the image failed or wrote short (a full file system is an
//      error, not a short image).
// On failure the image file holds an unspecified prefix; the caller removes it.
[[nodiscard]] ResultCode InflateKit(const WideString& kitPath, const WideString& imagePath);

}  // namespace veskp8
