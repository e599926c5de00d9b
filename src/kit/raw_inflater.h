// RawInflater: one raw deflate stream (RFC 1951: no zlib or gzip wrapper, no
// checksum, 32 KiB window) inflated piece by piece, by zlib or by ISA-L.
//
// zlib is the reference and is always built in. ISA-L (Intel's libisal,
// isal_inflate) inflates the same streams about 1.6 times as fast; it is
// built in with the CMake option VESKP8_WITH_ISAL (on by default; only its
// header is needed), is loaded at run time (dlopen of libisal.so.2, not
// linked) and is then the default on machines with cores to spare; where
// the library is missing, zlib inflates, as in a build without it.
//
// The two accept exactly the same streams. ISA-L alone is laxer than zlib on
// some damage (it builds incomplete Huffman codes, which zlib refuses), and
// zlib's checks are the kit's only integrity check; so an ISA-L inflater
// runs zlib's checks without the output (deflate_check.h) on a thread of its
// own over the bytes ISA-L consumed. A refusal there makes the next step
// report kError; the end counts only once those checks end the stream at
// the same length. Bytes produced before a refusal is reported may go past
// the point where zlib stops: a caller that gets kError discards them.
//
// Ownership and threads: an inflater owns its stream state (zlib's, or
// ISA-L's of about 90 KiB plus the check's thread, tables of 270 KiB and at
// most 1 MiB of input waiting for it); one thread at a time uses it; the
// destructor stops and joins the check's thread. Not copyable.
#pragma once

#include <cstddef>
#include <memory>

namespace veskp8 {

enum class InflaterKind {
  kZlib,  // zlib's inflate, window bits -15
  kIsal,  // ISA-L's isal_inflate, raw deflate
};

// True when ISA-L is built in and libisal.so.2 could be loaded (the first
// call loads it; any thread may call).
[[nodiscard]] bool IsalInflaterAvailable() noexcept;
// The CPUs the process must be allowed to run on for the kit reader to
// choose ISA-L: one inflates, one runs the check, one writes the files.
inline constexpr int kIsalMinimumCpus = 3;
// The inflater the kit reader uses: ISA-L when available and the process may
// use at least kIsalMinimumCpus CPUs (sched_getaffinity), else zlib. The
// environment variable VESKP8_INFLATER, "zlib" or "isal", chooses instead
// (ISA-L still only where it is available); other values are ignored.
[[nodiscard]] InflaterKind DefaultInflaterKind() noexcept;
// "zlib" or "isal".
[[nodiscard]] const char* InflaterName(InflaterKind kind) noexcept;

enum class InflateStatus {
  kMore,   // more input, or more room for output, is needed
  kEnd,    // the stream's final block has ended; later input is not used
  kError,  // the stream is damaged; the inflater stays in error
};

struct InflateStep {
  std::size_t consumed = 0;  // input bytes used
  std::size_t produced = 0;  // output bytes written
  InflateStatus status = InflateStatus::kMore;
};

class RawInflater {
 public:
  // A fresh stream. Asking for ISA-L where it is not available, or where the
  // check's thread cannot start, gives zlib.
  // std::bad_alloc when the state cannot be allocated.
  explicit RawInflater(InflaterKind kind = DefaultInflaterKind());
  ~RawInflater();
  RawInflater(const RawInflater&) = delete;
  RawInflater& operator=(const RawInflater&) = delete;

  [[nodiscard]] InflaterKind kind() const noexcept { return m_kind; }
  // False when the stream could not be initialised (Inflate then says kError).
  [[nodiscard]] bool ok() const noexcept;

  // Inflates from `in` (`inLength` bytes) into `out` (room for `outLength`).
  // With input and room given, the step uses input or produces output unless
  // it reports kEnd or kError. Once kEnd or kError was reported, every later
  // call reports the same and does nothing.
  [[nodiscard]] InflateStep Inflate(const unsigned char* in, std::size_t inLength,
                                    unsigned char* out, std::size_t outLength);

 private:
  struct State;
  InflaterKind m_kind;
  std::unique_ptr<State> m_state;
};

}  // namespace veskp8
