// KitArchive: an opened distribution kit. Opening inflates the kit file (one
// raw deflate stream) into a temporary image file, reads the description and
// entry tables from the image, and keeps the image open so that the
// extraction job can copy each entry's bytes out of it.
//
// Ownership. The object owns its tables, the image path, the image handle and
// the 1 MiB copy buffer (allocated by the constructor, std::bad_alloc when that
// fails). It is not copyable: the handle and the image file have one owner.
// The destructor closes the image handle and removes the image file (if any),
// so no inflated image outlives its kit object, whatever the outcome of the run;
// the owner must make sure no other thread still uses the kit at that point.
//
// Threads. OpenKit, CloseKit and ReadKitTables run on one thread (the user
// interface thread, before any worker exists). After a successful open the
// extraction job on the worker thread alone uses the image handle and the copy
// buffer; the user interface thread may still read the descriptions.
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

#include <cstdint>
#include <memory>
#include <vector>

#include "kit/kit_description.h"
#include "kit/kit_entry.h"
#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

class KitArchive {
 public:
  static constexpr std::uint32_t kCopyBufferSize = 1048576;

  // Closed: no tables, image handle -1, empty image path, buffer allocated.
  KitArchive();
  // Closes the image handle and removes the image file (see above).
  ~KitArchive();
  KitArchive(const KitArchive&) = delete;
  KitArchive& operator=(const KitArchive&) = delete;

  // Description records in file order (one "en" record for the
  // single-language layout).
  const std::vector<KitDescription>& descriptions() const noexcept { return m_descriptions; }
  // Entries in file order; data offsets are absolute positions in the image.
  const std::vector<KitEntry>& entries() const noexcept { return m_entries; }
  // Path of the temporary image file; empty until opening has made one.
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
  friend ResultCode OpenKit(KitArchive&, const WideString&);
  friend void CloseKit(KitArchive&);
  friend ResultCode LoadKitImage(KitArchive&, const WideString&);
  friend ResultCode ReadKitTables(KitArchive&, int);

  std::vector<KitDescription> m_descriptions;
  std::vector<KitEntry> m_entries;
  WideString m_imagePath;
  int m_imageHandle = -1;
  std::uint32_t m_imageSize = 0;
  std::uint32_t m_copyBufferSize = kCopyBufferSize;
  std::unique_ptr<unsigned char[]> m_copyBuffer;
};

// Opens the kit file at `kitPath` into `kit`. An image the kit held before is
// closed and removed first.
//  1. creates a new, empty image file (mode 0600) with the prefix "edf" in the
//     temporary directory (CreateTempFile) and stores its path in the kit; a
//     name that CreateTempFile reports without having created it is not stored
//     (that file is not ours to remove);
//  2. inflates the kit file into it (see kit_inflate.h);
//  3. opens the image and reads the tables (LoadKitImage).
// Result 0: tables loaded, image open. Any other result: the code of the
// failing step (the temporary-file code, 2 or 87 from the file layer, 13 for a
// kit that does not inflate or whose tables are damaged); entries are then
// discarded, the kit is closed and the image file removed. Descriptions read
// before the failure may remain and must not be used.
[[nodiscard]] ResultCode OpenKit(KitArchive& kit, const WideString& kitPath);

// Closes the image handle when it is not -1 (and sets it to -1); removes the
// image file when the image path is not empty (and clears the path). Entries
// and descriptions are left alone. Safe to call on a closed kit.
void CloseKit(KitArchive& kit);

// Steps after the inflate: stores `imagePath` as the kit's image path (the kit
// then owns the file and removes it when closed), opens it (read and write,
// existing file only: 2 when it is gone) and reads its tables with
// ReadKitTables. On failure the opened handle stays stored in the kit; the
// caller closes the kit. Exposed so that tests can reach the seam between
// inflating and opening.
[[nodiscard]] ResultCode LoadKitImage(KitArchive& kit, const WideString& imagePath);

// Reads the tables of the kit image open on `imageHandle` (read from the
// beginning; the handle's position afterwards is unspecified, at most the end)
// into `kit`, replacing its descriptions and entries and its image size; the
// handle itself is not stored. 0 when every table is complete and consistent:
// every length stays inside its record and the image, every entry's data range
// lies inside the image, every entry name passes IsSafeEntryName, and the
// image is below 4 GiB. Otherwise 13 (2, 6 or 87 when seeking or reading
// fails), with the entries discarded. Memory: a 64 KiB read buffer plus the
// tables themselves; no length is allocated before the image is known to hold
// that many bytes.
[[nodiscard]] ResultCode ReadKitTables(KitArchive& kit, int imageHandle);

}  // namespace veskp8
