// RawInflater: one raw deflate stream (RFC 1951: no zlib or gzip wrapper, no
// checksum, 32 KiB window) inflated piece by piece, by zlib or by ISA-L.
//
// zlib is the reference and is always built in. ISA-L (Intel's libisal,
// isal_inflate) inflates the same streams about 1.6 times as fast; it is
// built in only with the CMake option VESKP8_WITH_ISAL (off by default) and
// its header, is loaded at run time (dlopen of libisal.so.2, not linked) and
// is then the default; where the library is missing, zlib inflates, as in a
// build without it. For intact streams both give the same bytes. They differ
// on one kind of damage: ISA-L accepts a dynamic block whose Huffman codes
// are incomplete (code-length, literal/length or distance code), which zlib
// refuses; that is why the option is off (tests/kit/inflater_test.cpp and
// the inflaters fuzz target compare them input by input).
//
// Ownership and threads: an inflater owns its stream state (zlib's, or
// ISA-L's of about 90 KiB); one thread at a time uses it. Not copyable.
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
// The inflater the kit reader uses: ISA-L when available, else zlib.
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
  // A fresh stream. Asking for ISA-L where it is not available gives zlib.
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
