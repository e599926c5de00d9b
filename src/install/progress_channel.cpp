#include "install/progress_channel.h"

#include <cerrno>
#include <system_error>

namespace veskp8 {

// Holds the channel's semaphore for one scope; released on every way out,
// exceptions included.
class ProgressChannel::Guard {
 public:
  explicit Guard(sem_t& lock) : m_lock(lock) {
    while (sem_wait(&m_lock) != 0 && errno == EINTR) {
    }
  }
  ~Guard() { sem_post(&m_lock); }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

 private:
  sem_t& m_lock;
};

ProgressChannel::ProgressChannel() {
  if (sem_init(&m_lock, 0, 1) != 0) {
    throw std::system_error(errno, std::generic_category(), "sem_init");
  }
}

ProgressChannel::~ProgressChannel() { sem_destroy(&m_lock); }

void ProgressChannel::Start(KitArchive* job, const WideString& target) {
  Guard guard(m_lock);
  m_cancel = false;
  m_code = 0;
  m_percent = 0;
  m_job = job;
  m_target = target;
  if (!m_target.empty() && m_target.back() != u'/' && m_target.back() != u'\\') {
    m_target.push_back(u'/');
  }
}

ProgressJob ProgressChannel::ReadJob() const {
  Guard guard(m_lock);
  return ProgressJob{m_job, m_target};
}

void ProgressChannel::SetCancel(bool cancel) {
  Guard guard(m_lock);
  m_cancel = cancel;
}

bool ProgressChannel::IsCancelRequested() const {
  Guard guard(m_lock);
  return m_cancel;
}

void ProgressChannel::Post(int code, const WideString& text, int percent,
                           const WideString& backupDirectory, int cause) {
  Guard guard(m_lock);
  m_code = code;
  m_text = text;
  m_percent = percent;
  m_backupDirectory = backupDirectory;
  m_cause = cause;
}

ProgressStatus ProgressChannel::ReadStatus() const {
  Guard guard(m_lock);
  return ProgressStatus{m_code, m_text, m_percent, m_backupDirectory, m_cause};
}

}  // namespace veskp8
