// PlanInstallation: what an installation of the opened kit into a template
// directory would do, found without changing anything: no directory, no
// backup directory, no journal, no lock taken, no file opened for writing.
//
// It walks the entries in table order as InstallEngine does and takes the
// same up-to-date decision for each (DestinationJudge, up_to_date.h), so the
// files it names as new or replaced are the ones the installation then writes.
// Besides, it checks what the installation would fail on before or while
// copying, where that can be seen without writing:
//  - the temporary directory can take the backup directory (it, or its
//    nearest existing ancestor, is a directory this process may write to);
//  - the template directory is a directory (or can be created below its
//    nearest existing ancestor), and no other process holds its lock
//    (read from /proc/locks; where that cannot be read, by taking the lock and
//    releasing it at once);
//  - per entry to be written: its destination is not a directory or a
//    special file (nor one that an earlier entry would create), every missing
//    directory level can be created (no file stands there, nor one that an
//    earlier entry would write), and the directory it goes into may be
//    written to (access(2): permissions, ACLs, a read-only mount).
// The first failure ends the plan with the code and destination the
// installation would report.
//
// Limits: what only writing can show (no space left, a quota, a change made by
// another process meanwhile) is not predicted, nor an entry that reaches a file
// an earlier entry of the same kit writes by another name (through a symbolic
// link in the template directory, or a case variant on a file system that
// ignores case); the kit reader refuses entries whose names are the same.
//
// Threads: the calling thread only; reads the kit's image with pread.
#pragma once

#include <cstddef>
#include <vector>

#include "install/install_engine.h"
#include "install/up_to_date.h"
#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

class KitArchive;

enum class PlannedAction { kNew, kReplace };

struct PlannedChange {
  std::size_t index = 0;   // the entry
  WideString destination;  // the template directory + its name, "\" turned into "/"
  PlannedAction action = PlannedAction::kNew;
};

struct InstallPlan {
  // 0 when the installation would succeed; otherwise the code it would end
  // with: 2 or 3 (a directory that cannot be made, the backup directory that
  // cannot be made), 87 (a destination in the way or not writable), kErrBusy
  // (another installation holds the template directory).
  ResultCode result = 0;
  // The entry the installation would fail on (empty: it would fail before the
  // first entry, or not at all), as InstallEngine::failedDestination.
  WideString failedDestination;
  // The system's reason it would fail with (an errno value, as
  // InstallEngine::failedError; 0: none known).
  int failedError = 0;
  // The files it would write, in table order (up to the failing entry).
  std::vector<PlannedChange> changes;
  // As InstallEngine::counts after the same run.
  InstallCounts counts;
};

// The plan for installing `kit` into `target` (ending in "/") with `test`.
[[nodiscard]] InstallPlan PlanInstallation(const KitArchive& kit, const WideString& target,
                                           UpToDateTest test);

// True when `directory` is a directory this process may write into, or is
// missing and its nearest existing ancestor is one (its levels can be made):
// access(2) only, nothing is created. The read-only counterpart of
// IsDirectoryWritable's probe.
[[nodiscard]] bool CanCreateOrWriteDirectory(const WideString& directory);

// True when another open file description holds a flock(2) lock on the
// directory `directory` (see above). False when it does not exist.
[[nodiscard]] bool IsDirectoryLockedElsewhere(const WideString& directory);

}  // namespace veskp8
