// Room for an installation in the template directory's file system, measured
// before anything is written, so that a kit that cannot fit is refused at
// once instead of failing (and rolling back) part way.
//
// Every byte the job will write counts: the originals it replaces keep their
// space in the backup directory until the commit. An entry counts its size
// rounded up to the file system's block; an entry whose destination is a
// regular file at least as new as the entry (which the job leaves alone)
// counts nothing. The free space is what the user may write (statvfs
// f_bavail; f_bfree for root) on the file system of the directory, or of its
// nearest existing parent when it does not exist yet.
//
// No state; call on the main thread before the worker starts (it reads the
// destinations while nothing writes them).
#pragma once

#include <cstdint>

#include "kit/kit_archive.h"
#include "text/wide_string.h"

namespace veskp8 {

struct TargetSpace {
  bool known = false;           // statvfs answered; otherwise nothing is refused
  std::uint64_t needed = 0;     // bytes the job will write, block-rounded
  std::uint64_t available = 0;  // bytes free for this user
  [[nodiscard]] bool fits() const noexcept { return !known || needed <= available; }
};

// The space check for installing `kit` into `target` (absolute; with or
// without a trailing "/").
[[nodiscard]] TargetSpace MeasureTargetSpace(const KitArchive& kit, const WideString& target);

// A size for a message: whole KB below 10 MB, whole MB below 10 GB, else
// whole GB (1024-based), with the unit in the current language; rounded up
// when `roundUp` (a need), down otherwise (what is free).
[[nodiscard]] WideString SizeText(std::uint64_t bytes, bool roundUp);

// The refusal: IDS_ERROR_TARGETSPACE with the directory and both sizes.
[[nodiscard]] WideString TargetSpaceMessage(const TargetSpace& space, const WideString& target);

}  // namespace veskp8
