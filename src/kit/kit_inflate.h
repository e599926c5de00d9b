// Opening a kit file safely, and inflating it (one raw deflate stream) into
// its image file.
//
// The kit is read with pread into one 128 KiB input buffer and the output goes
// to the image through one 1 MiB buffer, so memory does not grow with the
// kit, any page size works, and a kit that another process shortens while it
// is read is a short read (a damaged kit), never a fault. Called by OpenKit on
// the user interface thread, or by the kit's background inflation on its own
// thread (kit_image.h); keeps no state.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "install/fs/file_handle.h"
#include "kit/raw_inflater.h"
#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

// Size of one input window read from the kit.
inline constexpr std::uint32_t kKitWindowSize = 131072;
// Size of the output buffer: every write to the image but the last has this
// size.
inline constexpr std::uint32_t kKitImageWriteSize = 1048576;

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

// How InflateKit works besides its two handles.
struct InflateKitOptions {
  // The inflater (raw_inflater.h); the default is the fastest built in.
  InflaterKind inflater = DefaultInflaterKind();
  // A second stop flag, read with `stop` (may be null).
  const std::atomic<bool>* alsoStop = nullptr;
  // Told after every write to the image: the image's length so far and the
  // kit bytes read so far. Called on the inflating thread; may be empty.
  std::function<void(std::uint64_t imageBytes, std::uint64_t kitBytes)> progress;
};

// Inflates the kit open on `kitHandle` (read from offset 0 with pread; its
// position is not used or changed) into the image open for writing on
// `imageHandle` (written with pwrite from offset 0, in pieces of
// kKitImageWriteSize except the last; its position is not used; cut to the
// inflated length at the end). Neither handle is closed. Raw deflate.
//
// `stop` (may be null) is read once per input window, before the window is
// read, and after every write to the image: when it is set, inflating ends
// with kErrCancelled.
// Result:
//  0     the deflate stream ended (bytes after its end are ignored), or the
//        kit file is empty (the image is then empty too);
//  13    the inflater reported a damaged stream, the stream ends without its
//        final block, the kit or the image would reach 4 GiB, or the kit
//        became shorter while it was read;
//  112   (kErrDiskFull) the image's file system is full (ENOSPC, EDQUOT);
//  1223  stopped through `stop`;
//  112   writing the image failed for lack of space (ENOSPC, EDQUOT);
//  6 / 2 / 87  the kit's status could not be queried (6), reading the kit
//        failed (2 / 87), or writing or cutting the image failed otherwise.
// On failure the image holds an unspecified prefix; the caller discards it.
[[nodiscard]] ResultCode InflateKit(FileHandle kitHandle, FileHandle imageHandle,
                                    const std::atomic<bool>* stop = nullptr,
                                    const InflateKitOptions& options = {});

}  // namespace veskp8
