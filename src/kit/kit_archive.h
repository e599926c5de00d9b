// KitArchive: an opened distribution kit. Opening inflates the kit file (one
// raw deflate stream) into a temporary image file, reads the description and
// entry tables from the image, and keeps the image open so that the
// extraction job can copy each entry's bytes out of it.
//
// The image has no name while it is in use: it is created unnamed with
// O_TMPFILE in the temporary directory, or, where the file system cannot do
// that, created with the "edf" prefix and unlinked at once. Everything works
// on the open descriptor, so the image disappears with its last descriptor,
// however the process ends (SIGKILL included).
//
// Ownership. The object owns its tables, the image handle and the 1 MiB copy
// buffer (allocated by the constructor, std::bad_alloc when that fails). It is
// not copyable: the handle has one owner. The destructor closes the image
// handle; the owner must make sure no other thread still uses the kit then.
//
// Threads. OpenKit, OpenKitInBackground, CloseKit and ReadKitTables run on one
// thread (the user interface thread, before any worker exists). After a
// successful open the extraction job on the worker thread alone uses the image
// handle and the copy buffer; the user interface thread may still read the
// descriptions. A kit opened by OpenKitInBackground keeps inflating on a
// thread of its own (owned by the kit) until CompleteKit says it is whole; the
// job copies an entry once WaitForKitBytes says its bytes are there. The stop
// flag given to OpenKit may be set from any thread or a signal handler.
//
// Memory. The tables are weighed before anything is allocated for them: a
// first pass over the image reads only counts and lengths and adds up what the
// tables will take (KitStringCost per string, kKitEntryCost per entry,
// kKitDescriptionCost per description). A kit whose tables would take more
// than kKitTableBudget, or that has more than kMaxKitDescriptions
// descriptions, is refused as damaged (13). An allocation that fails anyway
// (a memory limit below the budget) ends the open with kErrOutOfMemory and
// every table freed; std::bad_alloc never leaves OpenKit.
//
// Image layout (all integers little-endian, no alignment):
//   u32 format word: 0 = single-language layout, anything else = multi-language
//   descriptions:
//     multi-language: u32 count D, then D records
//       [u32 record length L (these 4 bytes included)]
//       [language][product][vendor][document]  (counted strings)
//     single-language: [product][vendor][document], language "en"
//   u32 entry count N, then N records
//     [u32 record length L = 24 + 2n][u32 n][n UTF-16LE units name]
//     [u64 modification time][u32 data offset][u32 data size]
//   data area: the rest of the image; entry offsets count from its first byte.
// A counted string is a u32 unit count n followed by n UTF-16LE units. A
// record may be longer than the fields read from it; the surplus is skipped.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "install/fs/file_handle.h"
#include "kit/kit_description.h"
#include "kit/kit_entry.h"
#include "kit/kit_image.h"
#include "text/narrow_string.h"
#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

// The most memory the tables of one kit may take: 256 MiB. A kit of 200 000
// files whose names are 260 units long (the longest common path) needs about
// 128 MiB by the costs below, one with names of 100 units about 63 MiB.
inline constexpr std::uint64_t kKitTableBudget = std::uint64_t{256} << 20;
// A kit has one description per language; no kit needs more than this.
inline constexpr std::uint32_t kMaxKitDescriptions = 256;
// What the tables take per entry and per description besides the heap blocks
// of their strings: the record itself, plus (per entry) the key of the check
// for clashing destinations, which lives while the tables are read.
inline constexpr std::uint64_t kKitEntryCost = sizeof(KitEntry) + 16;
inline constexpr std::uint64_t kKitDescriptionCost = sizeof(KitDescription);

// Upper bound of the heap memory a string of `units` UTF-16 units takes
// (block, rounding and allocator overhead); 0 for a string short enough to be
// stored inline.
constexpr std::uint64_t KitStringCost(std::uint64_t units) {
  return units <= static_cast<std::uint64_t>(WideString::kInlineLimit)
             ? 0
             : 2 * units + units / 8 + 64;
}

// What `descriptions` and `entries` take as the tables of an opened kit, by
// the costs above (the packer weighs a tree with it before writing a kit).
std::uint64_t KitTablesCost(const std::vector<KitDescription>& descriptions,
                            const std::vector<KitEntry>& entries);

// Destination of an entry as the system sees it: the name with "\" turned
// into "/", converted to the locale's encoding. False when the name cannot be
// represented (the installation of such an entry fails by itself).
[[nodiscard]] bool EntryDestinationBytes(const WideString& name, NarrowString& out);

// Index pairs (first, second) of entries whose destinations are the same
// bytes (EntryDestinationBytes), second > first, in order of `second`; empty
// when every destination is distinct. Memory: 16 bytes per entry.
std::vector<std::pair<std::size_t, std::size_t>> FindClashingEntries(
    const std::vector<KitEntry>& entries);

class KitArchive {
 public:
  static constexpr std::uint32_t kCopyBufferSize = 1048576;

  // Closed: no tables, image handle -1, empty image path, buffer allocated.
  KitArchive();
  // Closes the image handle.
  ~KitArchive();
  KitArchive(const KitArchive&) = delete;
  KitArchive& operator=(const KitArchive&) = delete;

  // Description records in file order (one "en" record for the
  // single-language layout).
  const std::vector<KitDescription>& descriptions() const noexcept { return m_descriptions; }
  // Entries in file order; data offsets are absolute positions in the image.
  const std::vector<KitEntry>& entries() const noexcept { return m_entries; }
  // Where the image was made, for the record: the name it had before it was
  // unlinked, or the temporary directory (ending in "/") for an image created
  // without a name. No file of that name belongs to the kit; empty while no
  // image is open.
  const WideString& imagePath() const noexcept { return m_imagePath; }
  // Open descriptor of the image (read and write); -1 when closed. The
  // extraction job seeks and reads through it; the kit keeps ownership.
  int imageHandle() const noexcept { return m_imageHandle; }
  // Size of the image in bytes (valid after a successful open).
  std::uint32_t imageSize() const noexcept { return m_imageSize; }
  std::uint32_t copyBufferSize() const noexcept { return m_copyBufferSize; }
  // The copy buffer (copyBufferSize() bytes) used to copy entry data.
  unsigned char* copyBuffer() noexcept { return m_copyBuffer.get(); }

 private:
  friend ResultCode OpenKit(KitArchive&, const WideString&, const std::atomic<bool>*);
  friend ResultCode OpenKitHandle(KitArchive&, FileHandle, const std::atomic<bool>*);
  friend void CloseKit(KitArchive&);
  friend void DiscardKit(KitArchive&) noexcept;
  friend ResultCode ReadKitTables(KitArchive&, int);
  friend ResultCode OpenKitInBackground(KitArchive&, FileHandle, const std::atomic<bool>*);
  friend ResultCode CompleteKit(KitArchive&, const std::atomic<bool>*);
  friend ResultCode WaitForKitBytes(const KitArchive&, std::uint64_t, const std::atomic<bool>*);
  friend KitInflationProgress InflationProgress(const KitArchive&);

  std::vector<KitDescription> m_descriptions;
  std::vector<KitEntry> m_entries;
  WideString m_imagePath;
  int m_imageHandle = -1;
  std::uint32_t m_imageSize = 0;
  std::uint32_t m_copyBufferSize = kCopyBufferSize;
  std::unique_ptr<unsigned char[]> m_copyBuffer;
  // The background inflation of OpenKitInBackground; null otherwise, and
  // once the kit is closed.
  std::unique_ptr<KitImageInflation> m_inflation;
  // CompleteKit's result once known (-1: not yet), under its mutex.
  std::unique_ptr<std::mutex> m_completeMutex;
  ResultCode m_completeResult = -1;
};

// Opens the kit file at `kitPath` (OpenKitFile, kit_inflate.h: a regular file
// only, never blocking) and then OpenKitHandle on it; the kit file is closed
// before returning. Result: OpenKitFile's code (2 for a missing kit or one
// that is not a regular file) or OpenKitHandle's.
[[nodiscard]] ResultCode OpenKit(KitArchive& kit, const WideString& kitPath,
                                 const std::atomic<bool>* stop = nullptr);

// Opens the kit file open for reading on `kitHandle` into `kit` (the handle
// is only read with pread, not closed). An image the kit held before is
// closed first.
//  1. creates the image in the temporary directory (GetTempDirectory):
//     unnamed (O_TMPFILE, mode 0600), or else with the prefix "edf" (mode
//     0600, O_EXCL) and unlinked at once; the kit stores its descriptor;
//  2. inflates the kit into it (InflateKit, kit_inflate.h), reading `stop`
//     (may be null) once per 128 KiB of kit and per 1 MiB of image;
//  3. reads the tables (ReadKitTables).
// Result 0: tables loaded, image open. Otherwise, with the entries and the
// descriptions discarded and the image closed (and so gone):
//   1013 the image could not be created;
//   1223 (kErrCancelled) `stop` was set while inflating;
//   13   the kit does not inflate, its tables are damaged, over the budget, or
//        name clashing destinations;
//   8    (kErrOutOfMemory) an allocation failed;
//   2 / 6 / 87 a read or write of the kit or the image failed.
[[nodiscard]] ResultCode OpenKitHandle(KitArchive& kit, FileHandle kitHandle,
                                       const std::atomic<bool>* stop = nullptr);

// Opens the kit file open on `kitHandle` (only read through a duplicate, not
// closed) into `kit` the way the installer does, so that its first page shows
// at once and files are copied while the kit still inflates: creates the
// image as OpenKitHandle does, starts inflating the kit into it on a thread
// of its own (kit_image.h; `stop` may be null and is read once per 128 KiB of
// kit), and returns as soon as the tables, at the image's head, are read and
// checked (everything ReadKitTables checks except the data ranges, which
// need the image's final size: CompleteKit checks them).
// Result 0: tables loaded, image open and growing; entries' data offsets are
// absolute. Otherwise OpenKitHandle's codes (13 also for a stream found
// damaged before the tables' end, 112 for a full temporary file system), with
// everything discarded, the thread joined and the image gone.
// Threads: the owner's thread; the inflation runs until it ends, CloseKit or
// the destructor.
[[nodiscard]] ResultCode OpenKitInBackground(KitArchive& kit, FileHandle kitHandle,
                                             const std::atomic<bool>* stop = nullptr);

// Waits until the kit's image is complete and checks what only the complete
// image tells (the stream's end, every entry's data inside the image); then
// imageSize() is set. 0 when the kit is whole and sound (at once for a kit
// opened by OpenKit / OpenKitHandle); otherwise the inflation's code (13
// damaged, 112 no space, 1223 stopped, 2 / 6 / 87 system errors), the same
// every later call; kErrCancelled without waiting further when `stop` (may be
// null) is set while the inflation still runs; kErrInvalidHandle for a closed
// kit. Any one thread at a time (the worker before its commit, or the owner).
[[nodiscard]] ResultCode CompleteKit(KitArchive& kit, const std::atomic<bool>* stop = nullptr);

// Waits until the image holds its first `end` bytes: 0 then (at once when the
// kit is not inflating in the background); otherwise the code of
// KitImageInflation::WaitFor (13 when the image ended shorter, the
// inflation's failure, 1223 when `stop` was set). Any thread.
[[nodiscard]] ResultCode WaitForKitBytes(const KitArchive& kit, std::uint64_t end,
                                         const std::atomic<bool>* stop = nullptr);

// How far the background inflation is (a kit opened otherwise: ended, its
// image size as sizes). Any thread.
[[nodiscard]] KitInflationProgress InflationProgress(const KitArchive& kit);

// Ends and joins a background inflation, closes the image handle when it is
// not -1 (and sets it to -1) and clears the image path. Entries and descriptions are left alone. Safe to call on a
// closed kit.
void CloseKit(KitArchive& kit);

// CloseKit, and the entries and descriptions freed (their memory given back,
// not only emptied). Safe to call on a closed kit.
void DiscardKit(KitArchive& kit) noexcept;

// Reads the tables of the kit image open on `imageHandle` (read from the
// beginning; the handle's position afterwards is unspecified, at most the end)
// into `kit`, replacing its descriptions and entries and its image size; the
// handle itself is not stored. 0 when every table is complete and consistent:
// every length stays inside its record and the image, every entry's data range
// lies inside the image, every entry name passes IsSafeEntryName, no two
// entries have the same destination (FindClashingEntries), the tables fit
// the budget (see Memory above), and the image is below 4 GiB. Otherwise 13
// (2, 6 or 87 when seeking or reading fails), with the entries discarded.
// Memory: a 64 KiB read buffer plus the tables; nothing is allocated for the
// tables before they have been weighed. std::bad_alloc when an allocation
// fails anyway (entries may then be partly filled; OpenKitHandle clears them).
[[nodiscard]] ResultCode ReadKitTables(KitArchive& kit, int imageHandle);

}  // namespace veskp8
