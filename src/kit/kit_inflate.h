// Opening a kit file safely, and inflating it (one raw deflate stream) into
// its image file.
//
// The kit is read with pread into one 32 KiB input buffer and the output goes
// through one 32 KiB buffer, so memory does not grow with the kit, any page
// size works, and a kit that another process shortens while it is read is a
// short read (a damaged kit), never a fault. Called by OpenKit on the user
// interface thread; keeps no state.
#pragma once

#include <atomic>
#include <cstdint>

#include "install/fs/file_handle.h"
#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

// Size of one input window read from the kit, and of the output buffer.
inline constexpr std::uint32_t kKitWindowSize = 32768;

// Opens the kit file at `kitPath` for reading without ever opening something
// that is not a regular file: stat(2) first (following links) must find a
// regular file; then open(2) with O_RDONLY | O_NONBLOCK | O_NOCTTY |
// O_CLOEXEC (so that a FIFO or a terminal swapped in meanwhile neither blocks
// nor becomes the controlling terminal); then fstat(2) must show the same
// regular file (device and inode) that stat found.
// Result: 0 and `out_handle` set (the caller closes it); otherwise
// `out_handle` is kNoFileHandle and the code is 2 (kErrNotFound: missing, not
// a regular file, or replaced between the two looks) or 87 (the path cannot
// be represented, or another system error). Nothing is left open on failure.
[[nodiscard]] ResultCode OpenKitFile(const WideString& kitPath, FileHandle& out_handle);

// Inflates the kit open on `kitHandle` (read from offset 0 with pread; its
// position is not used or changed) into the image open for writing on
// `imageHandle` (written from offset 0 and cut to the inflated length at the
// end). Neither handle is closed. zlib window bits -15.
//
// `stop` (may be null) is read once per input window, before the window is
// read: when it is set, inflating ends with kErrCancelled.
// Result:
//  0     the deflate stream ended (Z_STREAM_END; bytes after its end are
//        ignored), or the kit file is empty (the image is then empty too);
//  13    zlib reported an error, the stream ends without its final block, the
//        kit or the image would reach 4 GiB, or the kit became shorter while
//        it was read;
//  1223  stopped through `stop`;
//  112   writing the image failed for lack of space (ENOSPC, EDQUOT);
//  6 / 2 / 87  the kit's status could not be queried (6), reading the kit
//        failed (2 / 87), or writing, seeking or cutting the image failed or
//        wrote short (a full file system is an error, not a short image).
// On failure the image holds an unspecified prefix; the caller discards it.
[[nodiscard]] ResultCode InflateKit(FileHandle kitHandle, FileHandle imageHandle,
                                    const std::atomic<bool>* stop = nullptr);

}  // namespace veskp8
