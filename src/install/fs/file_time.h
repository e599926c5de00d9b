// Conversion between file times in ticks and Unix seconds.
//
// A tick time is an unsigned 64-bit count of 100-nanosecond intervals since
// 1601-01-01 00:00:00 UTC, the time format of kit entries. The file system
// works in Unix seconds (since 1970-01-01 00:00:00 UTC).
//
// Pure functions, usable at compile time and from any thread.
#pragma once

#include <cstdint>

namespace veskp8 {

// Ticks per second, and the tick count of the Unix epoch (1970-01-01).
inline constexpr std::uint64_t kTicksPerSecond = 10'000'000ULL;
inline constexpr std::uint64_t kUnixEpochTicks = 116'444'736'000'000'000ULL;
// Seconds between 1601-01-01 and 1970-01-01.
inline constexpr std::int64_t kUnixEpochSeconds = 11'644'473'600LL;

// s = t / 10^7 - 11644473600 (integer division: the sub-second part is
// dropped). Times before 1970 give negative seconds; the result is exact for
// every tick value.
constexpr std::int64_t TicksToUnixSeconds(std::uint64_t ticks) {
  return static_cast<std::int64_t>(ticks / kTicksPerSecond) - kUnixEpochSeconds;
}

// t = s * 10^7 + 116444736000000000. Defined for seconds from 1601-01-01
// (-11644473600) up to the year 30828; values outside wrap modulo 2^64.
constexpr std::uint64_t UnixSecondsToTicks(std::int64_t seconds) {
  return static_cast<std::uint64_t>(seconds) * kTicksPerSecond + kUnixEpochTicks;
}

}  // namespace veskp8
