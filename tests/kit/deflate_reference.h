// What the inflater test and the inflaters fuzz target compare the check of
// deflate_check.h with: zlib's own raw inflate of a stream fed whole (its
// verdict, message and output length), and the check fed in pieces.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "kit/deflate_check.h"

namespace veskp8 {

struct ZlibVerdict {
  DeflateVerdict verdict = DeflateVerdict::kShort;
  std::string message;      // zlib's, when it refused
  std::uint64_t output = 0;  // bytes it produced
};

inline ZlibVerdict AskZlib(const unsigned char* data, std::size_t size) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) std::abort();
  std::vector<unsigned char> out(1 << 16);
  z.next_in = const_cast<unsigned char*>(data);
  z.avail_in = static_cast<uInt>(size);
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    rc = inflate(&z, Z_NO_FLUSH);
  }
  ZlibVerdict verdict;
  verdict.verdict = rc == Z_STREAM_END  ? DeflateVerdict::kEnded
                    : rc == Z_BUF_ERROR ? DeflateVerdict::kShort
                                        : DeflateVerdict::kRefused;
  verdict.message = z.msg != nullptr ? z.msg : "";
  verdict.output = z.total_out;
  inflateEnd(&z);
  return verdict;
}

inline DeflateCheck CheckInPieces(const unsigned char* data, std::size_t size, std::size_t piece) {
  std::size_t used = 0;
  return CheckDeflateStream([&](std::vector<unsigned char>& next) {
    if (used == size) return false;
    const std::size_t n = std::min(piece, size - used);
    next.assign(data + used, data + used + n);
    used += n;
    return true;
  });
}

}  // namespace veskp8
