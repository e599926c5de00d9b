// KitImageInflation: a kit inflating into its image on a thread of its own,
// so that the image's head (the tables) can be read, and entries copied out
// of it, while the rest is still being inflated.
//
// The inflation says how far the image is ready ("bytes up to offset X are
// written") and how it ended (not yet, complete, or failed with a code), and
// lets readers wait until a given offset is ready or the inflation has ended.
// Its bytes come in image order: the tables first, then the data area.
//
// Ownership. The object owns its thread and a duplicate of the kit file's
// descriptor (closed when the thread ends); the image descriptor is borrowed
// from its owner (the KitArchive) and must stay open until the thread has
// ended (Cancel, or the destructor). Not copyable or movable.
//
// Threads. Start, Cancel and the destructor are called by the owner's thread.
// WaitFor, WaitUntilEnded and progress() may be called from any thread, also
// at the same time. The thread only inflates (kit_inflate.h) and publishes
// its progress; it touches nothing else.
//
// Stop. The stop flag given to Start is read once per 128 KiB of kit; a set
// flag ends the inflation with kErrCancelled. Cancel ends it the same way and
// joins the thread. Waiters also look at their own stop flag every few
// milliseconds, so a waiter never waits past a stop.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "install/fs/file_handle.h"
#include "kit/raw_inflater.h"
#include "text/result_code.h"

namespace veskp8 {

// A snapshot of the inflation.
struct KitInflationProgress {
  std::uint64_t kitBytes = 0;    // bytes of the kit file read so far
  std::uint64_t kitSize = 0;     // size of the kit file
  std::uint64_t imageBytes = 0;  // bytes of the image ready
  bool ended = false;            // the thread has finished
  ResultCode result = kOk;       // when ended: InflateKit's result
};

class KitImageInflation {
 public:
  KitImageInflation() = default;
  // Cancels and joins a running inflation.
  ~KitImageInflation();
  KitImageInflation(const KitImageInflation&) = delete;
  KitImageInflation& operator=(const KitImageInflation&) = delete;

  // Starts inflating the kit open on `kitHandle` (duplicated here; the
  // caller may close its own descriptor at once) into the image open on
  // `imageHandle`, once per object. `stop` may be null; it must outlive the
  // inflation. Result 0, or the code of a failed dup / thread start
  // (kErrInvalidParameter), in which case nothing runs.
  [[nodiscard]] ResultCode Start(FileHandle kitHandle, FileHandle imageHandle,
                                 const std::atomic<bool>* stop,
                                 InflaterKind inflater = DefaultInflaterKind());

  // Waits until the image holds at least `end` bytes or the inflation has
  // ended. 0 when they are ready; kErrInvalidData when the inflation ended
  // complete but shorter; the inflation's code when it failed; kErrCancelled
  // when `stop` (may be null) was set while waiting.
  [[nodiscard]] ResultCode WaitFor(std::uint64_t end, const std::atomic<bool>* stop) const;

  // Waits until the inflation has ended (or `stop` was set: kErrCancelled)
  // and gives its result; 0 when the image is complete.
  [[nodiscard]] ResultCode WaitUntilEnded(const std::atomic<bool>* stop) const;

  // How far it is. Any thread, does not wait.
  [[nodiscard]] KitInflationProgress progress() const;

  // Asks the thread to stop and joins it. Afterwards the inflation has ended
  // (with kErrCancelled unless it had ended before). Safe to call twice.
  void Cancel();

 private:
  void Run(FileHandle kitHandle, FileHandle imageHandle, InflaterKind inflater);

  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  KitInflationProgress m_progress;  // guarded by m_mutex
  // Set by Cancel, or copied from the owner's flag: read by the thread.
  std::atomic<bool> m_cancel{false};
  const std::atomic<bool>* m_stop = nullptr;
  std::thread m_thread;
};

}  // namespace veskp8
