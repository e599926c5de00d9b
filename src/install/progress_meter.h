// ProgressMeter: the percentage of an installation, by the bytes to write and
// the entries together. Every entry costs its size plus a fixed amount
// (kEntryCost), so that one large file moves the bar while it is copied and
// thousands of small files move it too. With entries of equal size the
// percentage before entry i of N is i * 100 / N.
//
// Value type, no locks: the installation job keeps one on the worker thread.
// Percent() stays below 100 until the job posts its final status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace veskp8 {

class ProgressMeter {
 public:
  // What an entry costs beyond its bytes: about what creating and closing a
  // small file takes compared with writing bytes.
  static constexpr std::uint64_t kEntryCost = 64 * 1024;

  ProgressMeter() = default;
  // `sizes`: the data size of every entry, in installation order.
  explicit ProgressMeter(const std::vector<std::uint32_t>& sizes);

  // Entry `index` begins: everything before it counts as done (written or
  // left alone as up to date).
  void StartEntry(std::size_t index);
  // `bytes` of the current entry were written.
  void AddBytes(std::uint64_t bytes);

  // 0 to 99: the work done, in whole percent (rounded down).
  [[nodiscard]] int Percent() const;

 private:
  std::vector<std::uint64_t> m_before;  // work before each entry
  std::uint64_t m_total = 0;
  std::uint64_t m_done = 0;
  std::uint64_t m_entryEnd = 0;  // work done when the current entry is complete
};

}  // namespace veskp8
