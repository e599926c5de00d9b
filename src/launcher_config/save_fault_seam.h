// Fault injection into Save (config_table.h), for tests.
//
// Save asks the hook before each of its system steps; when the hook returns
// true, that step fails exactly as if the system call had failed (the same
// cleanup runs and the same int is thrown). kWrite is asked before every chunk
// of at most kSaveChunkBytes bytes, so a failure in the middle of a large file
// can be made.
//
// The hook is a process-wide plain pointer: set and clear it only while no
// Save runs on another thread. nullptr (the default) injects nothing.
#pragma once

#include <cstddef>

namespace veskp8 {

enum class SaveStep {
  kCreateTemp,  // creating the temporary file (failure: int 1)
  kWrite,       // writing one chunk (failure: int 2)
  kSync,        // fsync of the temporary file (failure: int 2)
  kRename,      // renaming it over the target (failure: int 2)
};

inline constexpr std::size_t kSaveChunkBytes = 64 * 1024;

using SaveFaultHook = bool (*)(SaveStep step);

void SetSaveFaultHook(SaveFaultHook hook);

}  // namespace veskp8
