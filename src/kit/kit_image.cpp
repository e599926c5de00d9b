#include "kit/kit_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <system_error>

#include "kit/kit_inflate.h"

namespace veskp8 {
namespace {

// How often a waiter looks at its stop flag.
constexpr auto kStopPoll = std::chrono::milliseconds(20);

bool IsSet(const std::atomic<bool>* flag) { return flag != nullptr && flag->load(); }

}  // namespace

KitImageInflation::~KitImageInflation() { Cancel(); }

ResultCode KitImageInflation::Start(FileHandle kitHandle, FileHandle imageHandle,
                                    const std::atomic<bool>* stop, InflaterKind inflater) {
  if (m_thread.joinable() || kitHandle == kNoFileHandle || imageHandle == kNoFileHandle) {
    return kErrInvalidParameter;
  }
  const int kitCopy = fcntl(kitHandle, F_DUPFD_CLOEXEC, 0);
  if (kitCopy < 0) return kErrInvalidParameter;
  struct stat st {};
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progress = KitInflationProgress{};
    if (fstat(kitCopy, &st) == 0 && st.st_size > 0) {
      m_progress.kitSize = static_cast<std::uint64_t>(st.st_size);
    }
  }
  m_stop = stop;
  try {
    m_thread = std::thread(&KitImageInflation::Run, this, kitCopy, imageHandle, inflater);
  } catch (const std::system_error&) {
    close(kitCopy);
    return kErrInvalidParameter;
  }
  return kOk;
}

void KitImageInflation::Run(FileHandle kitHandle, FileHandle imageHandle, InflaterKind inflater) {
  InflateKitOptions options;
  options.inflater = inflater;
  options.alsoStop = &m_cancel;
  options.progress = [this](std::uint64_t imageBytes, std::uint64_t kitBytes) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_progress.imageBytes = imageBytes;
      m_progress.kitBytes = kitBytes;
    }
    m_changed.notify_all();
  };
  ResultCode rc = kOk;
  try {
    rc = InflateKit(kitHandle, imageHandle, m_stop, options);
  } catch (const std::bad_alloc&) {
    rc = kErrOutOfMemory;
  }
  close(kitHandle);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progress.ended = true;
    m_progress.result = rc;
    if (rc == kOk) m_progress.kitBytes = m_progress.kitSize;
  }
  m_changed.notify_all();
}

ResultCode KitImageInflation::WaitFor(std::uint64_t end, const std::atomic<bool>* stop) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  while (m_progress.imageBytes < end && !m_progress.ended) {
    if (IsSet(stop)) return kErrCancelled;
    m_changed.wait_for(lock, kStopPoll);
  }
  if (m_progress.imageBytes >= end) return kOk;
  return m_progress.result != kOk ? m_progress.result : kErrInvalidData;
}

ResultCode KitImageInflation::WaitUntilEnded(const std::atomic<bool>* stop) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_progress.ended) {
    if (IsSet(stop)) return kErrCancelled;
    m_changed.wait_for(lock, kStopPoll);
  }
  return m_progress.result;
}

KitInflationProgress KitImageInflation::progress() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_progress;
}

void KitImageInflation::Cancel() {
  m_cancel.store(true);
  if (m_thread.joinable()) m_thread.join();
}

}  // namespace veskp8
