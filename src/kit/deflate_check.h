// CheckDeflateStream: what zlib's raw inflate (window bits -15) would make of
// a deflate stream, found without producing the stream's output.
//
// The kit has no checksum: zlib's checks of the stream are its integrity
// check. A faster inflater that is laxer than zlib somewhere (ISA-L builds
// incomplete Huffman codes, for one) is used only beside this check, which
// applies every test zlib applies, in zlib's order: block types, stored
// lengths, the counts and completeness of the three codes of a dynamic
// block, its code-length repeats and its end-of-block code, every
// literal/length and distance symbol, and every distance against the bytes
// produced so far. It decodes each symbol (to find where a block ends) but
// writes nothing, so it costs a fraction of an inflate.
//
// Input is pulled: `next(piece)` replaces `piece` with the stream's next
// bytes and answers true, or answers false when there are no more (the end
// of the input, or a stop). The check keeps one piece and 8 bytes of state.
// No shared state; any thread; it returns when the stream has ended, was
// refused, or the input ran out.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace veskp8 {

enum class DeflateVerdict {
  kEnded,    // the final block ended: zlib reports the stream's end
  kRefused,  // zlib reports a damaged stream
  kShort,    // the input ran out first: zlib would wait for more
};

struct DeflateCheck {
  DeflateVerdict verdict = DeflateVerdict::kShort;
  // Bytes zlib produces up to the stream's end, or up to the symbol it
  // refuses or cannot finish reading.
  std::uint64_t output = 0;
};

using DeflateInput = std::function<bool(std::vector<unsigned char>& piece)>;

// The check with its tables (about 270 KiB) allocated up front, so that a
// check on another thread allocates nothing (std::bad_alloc comes from the
// constructor). Not copyable.
class DeflateChecker {
 public:
  DeflateChecker();
  ~DeflateChecker();
  DeflateChecker(const DeflateChecker&) = delete;
  DeflateChecker& operator=(const DeflateChecker&) = delete;

  // Checks one stream; once per object.
  [[nodiscard]] DeflateCheck Run(const DeflateInput& next);

 private:
  struct Tables;
  std::unique_ptr<Tables> m_tables;
};

// A DeflateChecker made for one stream.
[[nodiscard]] DeflateCheck CheckDeflateStream(const DeflateInput& next);

}  // namespace veskp8
