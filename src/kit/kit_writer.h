// Making kits: the encoding of the kit tables and a streaming raw-deflate
// compressor. Used by the kit packer (veskp8-kit) and by tests, never by the
// installer. See kit_archive.h for the image layout.
//
// A kit file is RawDeflate(tables + data area). A writer stores contents one
// after another in entry order, the first at data offset 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "kit/kit_description.h"
#include "kit/kit_entry.h"

struct z_stream_s;

namespace veskp8 {

inline constexpr std::uint32_t kSingleLanguageFormat = 0;
inline constexpr std::uint32_t kMultiLanguageFormat = 1;

// Appends the image bytes from the format word to the end of the entry table
// to `out`. Entry data offsets are written as given (relative to the data
// area). Single-language layout (format word 0): exactly one description,
// whose language is not stored. Record lengths are computed from the strings.
// False, with `out` unchanged, when the tables cannot be represented (wrong
// description count for format 0, a count or length beyond 32 bits).
[[nodiscard]] bool EncodeKitTables(std::uint32_t formatWord,
                                   const std::vector<KitDescription>& descriptions,
                                   const std::vector<KitEntry>& entries,
                                   std::vector<unsigned char>& out);

// Receives compressed bytes; returns false to abort compression.
using ByteSink = std::function<bool(const unsigned char* data, std::size_t size)>;

// Streaming raw deflate (no zlib or gzip framing) into a sink. The output is
// deterministic for the same input and level. Memory: zlib's state plus a
// 256 KiB output buffer, whatever the input size. One thread at a time.
class RawDeflater {
 public:
  // std::bad_alloc when zlib cannot be initialised.
  explicit RawDeflater(ByteSink sink, int level = 6);
  ~RawDeflater();
  RawDeflater(const RawDeflater&) = delete;
  RawDeflater& operator=(const RawDeflater&) = delete;

  // False when the sink refused output or the stream is already finished.
  [[nodiscard]] bool Write(const void* data, std::size_t size);
  // Ends the stream (final block). False when the sink refused output.
  [[nodiscard]] bool Finish();
  // Uncompressed bytes accepted so far.
  std::uint64_t bytesIn() const noexcept { return m_bytesIn; }

 private:
  [[nodiscard]] bool Pump(int flush);

  ByteSink m_sink;
  std::unique_ptr<z_stream_s> m_stream;
  std::vector<unsigned char> m_out;
  std::uint64_t m_bytesIn = 0;
  bool m_finished = false;
};

// Whole-buffer convenience for tests: the raw deflate stream of `data`.
std::vector<unsigned char> DeflateRaw(const std::vector<unsigned char>& data, int level = 6);

}  // namespace veskp8
