#include "install/progress_meter.h"

#include <algorithm>

namespace veskp8 {

ProgressMeter::ProgressMeter(const std::vector<std::uint32_t>& sizes) {
  m_before.reserve(sizes.size());
  for (const std::uint32_t size : sizes) {
    m_before.push_back(m_total);
    m_total += size + kEntryCost;
  }
}

void ProgressMeter::StartEntry(std::size_t index) {
  if (index >= m_before.size()) {
    m_done = m_entryEnd = m_total;
    return;
  }
  m_done = m_before[index];
  m_entryEnd = index + 1 < m_before.size() ? m_before[index + 1] : m_total;
}

void ProgressMeter::AddBytes(std::uint64_t bytes) {
  // Never into the next entry's share, whatever the caller counts.
  m_done = std::min(m_done + bytes, m_entryEnd);
}

int ProgressMeter::Percent() const {
  if (m_total == 0) return 0;
  // Sizes are below 2^32 per entry: done * 100 stays far below 2^64 for any
  // kit below 4 GiB's worth of entries.
  return static_cast<int>(std::min<std::uint64_t>(m_done * 100 / m_total, 99));
}

}  // namespace veskp8
