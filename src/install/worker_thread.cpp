#include "install/worker_thread.h"

#include <utility>

#include "install/progress_channel.h"
#include "resources/resource_table.h"
#include "text/result_code.h"

namespace veskp8 {

WorkerThread::~WorkerThread() { (void)Join(); }

void WorkerThread::Clear() { m_stop.store(false); }

void WorkerThread::Launch(ProgressChannel* channel, InstallJobOptions options) {
  if (m_createResult == 0 && !m_joined) {
    return;  // a launched thread has not been joined yet
  }
  m_stop.store(false);
  m_channel = channel;
  m_options = std::move(options);
  m_createResult = -1;
  m_joined = false;
  m_report = InstallReport{};
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    return;
  }
  m_createResult = pthread_create(&m_thread, &attributes, &WorkerThread::ThreadMain, this);
  pthread_attr_destroy(&attributes);
}

void WorkerThread::RequestStop() { m_stop.store(true); }

int WorkerThread::Join() {
  if (m_createResult != 0) {
    return -1;
  }
  if (m_joined) {
    return 0;
  }
  const int result = pthread_join(m_thread, nullptr);
  if (result == 0) {
    m_joined = true;
  }
  return result;
}

void* WorkerThread::ThreadMain(void* record) {
  auto* self = static_cast<WorkerThread*>(record);
  if (self->m_channel == nullptr) {
    return nullptr;
  }
  try {
    if (self->m_stop.load()) {
      // Stopped before the job could start: nothing was changed, but the
      // reader is told so that it does not wait for a final status forever.
      self->m_channel->Post(kErrCancelled, LoadResourceString("IDS_INSTALL_ERROR"), 0);
      return nullptr;
    }
    // One run only: the dialog reports the outcome of this run, and no later
    // run may change the template directory after that.
    InstallEngine engine(self->m_options);
    InstallReport& report = self->m_report;
    report.ran = true;
    report.result = engine.RunJob(*self->m_channel);
    report.counts = engine.counts();
    report.failedDestination = engine.failedDestination();
    report.failedError = engine.failedError();
    report.restoredCompletely = engine.transaction().restoredCompletely();
    if (!report.restoredCompletely) report.keptBackup = engine.transaction().backupDirectory();
  } catch (...) {
    // The job reports its own failures; an allocation failure while posting
    // leaves nothing more to report with.
  }
  return nullptr;
}

}  // namespace veskp8
