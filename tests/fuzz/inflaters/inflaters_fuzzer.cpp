// Fuzzes both inflaters at once: the input is a raw deflate stream, inflated
// by zlib and by ISA-L (when built in and libisal.so.2 loads) in uneven steps
// of input and output taken from the input's first byte. Both must agree
// whether the stream ended (a kit) or not (damaged, or cut before its final
// block: refused) and, when it ended, on the bytes. zlib's checks without the
// output (deflate_check.h), fed in the same uneven pieces, must reach zlib's
// verdict at zlib's output length.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "../../kit/deflate_reference.h"
#include "kit/raw_inflater.h"

namespace {

struct Result {
  veskp8::InflateStatus status = veskp8::InflateStatus::kMore;
  std::vector<unsigned char> out;
};

Result Run(veskp8::InflaterKind kind, const std::uint8_t* data, std::size_t size,
           std::size_t inStep, std::size_t outStep) {
  veskp8::RawInflater inflater(kind);
  Result r;
  unsigned char buffer[4096];
  std::size_t used = 0;
  while (r.status == veskp8::InflateStatus::kMore && r.out.size() < (std::size_t{8} << 20)) {
    const std::size_t give = size - used < inStep ? size - used : inStep;
    const veskp8::InflateStep step = inflater.Inflate(data + used, give, buffer, outStep);
    used += step.consumed;
    r.out.insert(r.out.end(), buffer, buffer + step.produced);
    r.status = step.status;
    if (step.consumed == 0 && step.produced == 0 && r.status == veskp8::InflateStatus::kMore) {
      if (used < size) std::abort();  // no progress with input and room
      break;
    }
  }
  return r;
}

// zlib's checks alone, fed in pieces of `step` bytes, against zlib's own run.
void CompareCheck(const std::uint8_t* data, std::size_t size, std::size_t step) {
  const veskp8::DeflateCheck check = veskp8::CheckInPieces(data, size, step);
  const veskp8::ZlibVerdict zlib = veskp8::AskZlib(data, size);
  if (check.verdict != zlib.verdict || check.output != zlib.output) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!veskp8::IsalInflaterAvailable()) {
    std::fprintf(stderr, "inflaters: ISA-L is not built in or libisal.so.2 cannot be loaded: "
                         "zlib alone is fuzzed, nothing is compared\n");
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t inStep = 1 + data[0] % 64 * 97;
  const std::size_t outStep = 1 + (data[0] >> 6) * 1365;
  ++data;
  --size;
  CompareCheck(data, size, inStep);
  const Result zlib = Run(veskp8::InflaterKind::kZlib, data, size, inStep, outStep);
  if (!veskp8::IsalInflaterAvailable()) return 0;
  const Result isal = Run(veskp8::InflaterKind::kIsal, data, size, inStep, outStep);
  // What the kit reader makes of it: a stream that ended is a kit, a damaged
  // one and one that stops before its final block are both refused (which of
  // the two an inflater sees first at a cut may differ).
  const bool zlibEnded = zlib.status == veskp8::InflateStatus::kEnd;
  const bool isalEnded = isal.status == veskp8::InflateStatus::kEnd;
  if (zlibEnded != isalEnded) std::abort();
  if (zlibEnded && zlib.out != isal.out) std::abort();
  return 0;
}
