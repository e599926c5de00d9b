#include "kit/deflate_check.h"

#include <array>
#include <bit>
#include <cstring>
#include <memory>

namespace veskp8 {
namespace {

static_assert(std::endian::native == std::endian::little, "the bit reader loads 8 bytes at once");

enum class Step { kOk, kRefused, kShort };

// The stream's bits, least significant first, 56 to 63 of them at hand.
// Bits above `count` are either zero or the stream's next bits.
class BitReader {
 public:
  explicit BitReader(const DeflateInput& next) : m_next(next) {}

  // Tops the bits at hand up to at least 56, or all that is left.
  void Refill() {
    if (m_piece.size() - m_pos >= 8) {
      Raw raw = Take();
      raw.Refill();
      Put(raw);
      return;
    }
    while (m_count <= 56) {
      if (m_pos == m_piece.size() && !NextPiece()) return;
      m_bits |= std::uint64_t{m_piece[m_pos++]} << m_count;
      m_count += 8;
    }
  }

  [[nodiscard]] std::uint64_t bits() const { return m_bits; }
  [[nodiscard]] unsigned count() const { return m_count; }
  void Drop(unsigned n) {
    m_bits >>= n;
    m_count -= n;
  }

  // The next `n` (at most 32) bits, or kShort.
  [[nodiscard]] Step Read(unsigned n, std::uint32_t& value) {
    if (m_count < n) {
      Refill();
      if (m_count < n) return Step::kShort;
    }
    value = static_cast<std::uint32_t>(m_bits & ((std::uint64_t{1} << n) - 1));
    Drop(n);
    return Step::kOk;
  }

  // To the next byte boundary.
  void DropToByte() { Drop(m_count & 7); }

  // The fast loop of a block's symbols (Checker::Symbols) works on these
  // directly while at least 16 bytes of the piece are left.
  struct Raw {
    const unsigned char* next;
    const unsigned char* end;
    std::uint64_t bits;
    unsigned count;
    // To 56 bits or more; 8 bytes must be left at `next`.
    void Refill() {
      std::uint64_t word;
      std::memcpy(&word, next, 8);
      bits |= word << count;
      next += (63 - count) >> 3;
      count |= 56;
    }
  };
  [[nodiscard]] Raw Take() const {
    return {m_piece.data() + m_pos, m_piece.data() + m_piece.size(), m_bits, m_count};
  }
  void Put(const Raw& raw) {
    m_pos = static_cast<std::size_t>(raw.next - m_piece.data());
    m_bits = raw.bits;
    m_count = raw.count;
  }

  // Skips `n` whole bytes (at a byte boundary), adding each to `skipped`.
  [[nodiscard]] Step SkipBytes(std::uint64_t n, std::uint64_t& skipped) {
    while (n > 0 && m_count >= 8) {
      Drop(8);
      --n;
      ++skipped;
    }
    if (n == 0) return Step::kOk;
    m_bits = 0;  // what stands above is the bytes skipped below
    while (n > 0) {
      if (m_pos == m_piece.size() && !NextPiece()) return Step::kShort;
      const std::uint64_t take = std::min<std::uint64_t>(n, m_piece.size() - m_pos);
      m_pos += static_cast<std::size_t>(take);
      n -= take;
      skipped += take;
    }
    return Step::kOk;
  }

 private:
  bool NextPiece() {
    m_pos = 0;
    m_piece.clear();
    while (m_piece.empty()) {
      if (!m_next(m_piece)) {
        m_piece.clear();
        return false;
      }
    }
    return true;
  }

  const DeflateInput& m_next;
  std::vector<unsigned char> m_piece;
  std::size_t m_pos = 0;
  std::uint64_t m_bits = 0;
  unsigned m_count = 0;
};

enum class CodeKind { kCodeLengths, kLiteralLengths, kDistances };

// A Huffman code as a table indexed by the next `root` stream bits (small,
// so that it stays in the first-level cache), with second-level tables for
// longer codes. An entry is symbol << 8 | code length (a leaf), or offset
// << 8 | 0x80 | bits (the second-level table at `offset`, indexed by the
// next `bits` bits after the root's), or 0 where no code begins.
struct Code {
  std::uint32_t* table = nullptr;  // room for Entries(root, longest) entries
  unsigned root = 1;               // bits of the first level
  unsigned bits = 1;               // the longest code
};

// Room for a root of `root` bits and a second level for each of its entries,
// for codes of at most `longest` bits.
constexpr std::size_t Entries(unsigned root, unsigned longest) {
  return root >= longest ? std::size_t{1} << longest
                         : (std::size_t{1} << root) + (std::size_t{1} << longest);
}
constexpr unsigned kLengthRoot = 10;
constexpr unsigned kDistanceRoot = 8;

constexpr std::uint32_t kSubTable = 0x80;

inline std::uint32_t Lookup(const Code& code, std::uint64_t bits) {
  std::uint32_t entry = code.table[bits & ((1u << code.root) - 1)];
  if (entry & kSubTable) {
    entry = code.table[(entry >> 8) + ((bits >> code.root) & ((1u << (entry & 15u)) - 1))];
  }
  return entry;
}

// Builds `code` from `lengths` as zlib's inflate_table does, and refuses
// what it refuses: an over-subscribed code, and an incomplete one except a
// lone one-bit literal/length or distance code. A code without symbols is
// built to fail at its first use (zlib's marker), except the code-length
// code, which zlib then decodes as length 0 for every bit.
Step Build(const std::uint8_t* lengths, unsigned n, CodeKind kind, Code& code) {
  unsigned count[16] = {};
  for (unsigned s = 0; s < n; ++s) ++count[lengths[s]];
  unsigned max = 15;
  while (max >= 1 && count[max] == 0) --max;
  if (max == 0) {
    code.root = code.bits = 1;
    const std::uint32_t entry = kind == CodeKind::kCodeLengths ? 1 : 0;
    code.table[0] = code.table[1] = entry;
    return Step::kOk;
  }
  int left = 1;
  for (unsigned len = 1; len <= 15; ++len) {
    left = left * 2 - static_cast<int>(count[len]);
    if (left < 0) return Step::kRefused;
  }
  if (left > 0 && (kind == CodeKind::kCodeLengths || max != 1)) return Step::kRefused;
  unsigned next[16] = {};
  unsigned c = 0;
  count[0] = 0;
  for (unsigned len = 1; len <= 15; ++len) {
    c = (c + count[len - 1]) << 1;
    next[len] = c;
  }
  const unsigned root =
      std::min(max, kind == CodeKind::kDistances ? kDistanceRoot : kLengthRoot);
  const unsigned subBits = max - root;
  code.root = root;
  code.bits = max;
  std::memset(code.table, 0, (1u << root) * sizeof(std::uint32_t));
  std::uint32_t used = 1u << root;  // second-level tables follow the root's
  for (unsigned s = 0; s < n; ++s) {
    const unsigned len = lengths[s];
    if (len == 0) continue;
    const unsigned value = next[len]++;
    unsigned reversed = 0;
    for (unsigned b = 0; b < len; ++b) reversed |= ((value >> b) & 1u) << (len - 1 - b);
    const std::uint32_t leaf = static_cast<std::uint32_t>(s) << 8 | len;
    if (len <= root) {
      for (unsigned i = reversed; i < (1u << root); i += 1u << len) code.table[i] = leaf;
      continue;
    }
    std::uint32_t& pointer = code.table[reversed & ((1u << root) - 1)];
    if (pointer == 0) {
      pointer = used << 8 | kSubTable | subBits;
      std::memset(code.table + used, 0, (1u << subBits) * sizeof(std::uint32_t));
      used += 1u << subBits;
    }
    const std::uint32_t base = pointer >> 8;
    for (unsigned i = reversed >> root; i < (1u << subBits); i += 1u << (len - root)) {
      code.table[base + i] = leaf;
    }
  }
  return Step::kOk;
}

Step Decode(BitReader& in, const Code& code, unsigned& symbol) {
  if (in.count() < 15) in.Refill();
  const std::uint32_t entry = Lookup(code, in.bits());
  const unsigned len = entry & 15u;
  if (len == 0) return in.count() >= code.bits ? Step::kRefused : Step::kShort;
  if (len > in.count()) return Step::kShort;
  in.Drop(len);
  symbol = entry >> 8;
  return Step::kOk;
}

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,
                                           15, 17, 19, 23, 27, 31, 35, 43, 51,  59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,
                                             17,   25,   33,   49,   65,   97,    129,   193,
                                             257,  385,  513,  769,  1025, 1537,  2049,  3073,
                                             4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

#define VESKP8_TRY(expression)                  \
  do {                                          \
    const Step step_ = (expression);            \
    if (step_ != Step::kOk) return step_;       \
  } while (false)

// The five codes a stream needs, over arrays of the room each can take.
struct CheckTables {
  std::array<std::uint32_t, Entries(7, 7)> codeLengthTable;
  std::array<std::uint32_t, Entries(kLengthRoot, 15)> lengthTable;
  std::array<std::uint32_t, Entries(kDistanceRoot, 15)> distanceTable;
  std::array<std::uint32_t, Entries(9, 9)> fixedLengthTable;
  std::array<std::uint32_t, Entries(5, 5)> fixedDistanceTable;
  Code codeLengths{codeLengthTable.data()};
  Code lengths{lengthTable.data()};
  Code distances{distanceTable.data()};
  Code fixedLengths{fixedLengthTable.data()};
  Code fixedDistances{fixedDistanceTable.data()};

  CheckTables() = default;
  CheckTables(const CheckTables&) = delete;
  CheckTables& operator=(const CheckTables&) = delete;
};

class Checker {
 public:
  Checker(const DeflateInput& next, CheckTables& tables) : m_in(next), m_codes(&tables) {}

  DeflateCheck Run() {
    DeflateCheck result;
    const Step step = Blocks();
    result.output = m_output;
    result.verdict = step == Step::kOk        ? DeflateVerdict::kEnded
                     : step == Step::kRefused ? DeflateVerdict::kRefused
                                              : DeflateVerdict::kShort;
    return result;
  }

 private:
  Step Blocks() {
    for (;;) {
      std::uint32_t last = 0, type = 0;
      VESKP8_TRY(m_in.Read(1, last));
      VESKP8_TRY(m_in.Read(2, type));
      switch (type) {
        case 0:
          VESKP8_TRY(Stored());
          break;
        case 1:
          VESKP8_TRY(Fixed());
          VESKP8_TRY(Symbols());
          break;
        case 2:
          VESKP8_TRY(Dynamic());
          VESKP8_TRY(Symbols());
          break;
        default:
          return Step::kRefused;  // "invalid block type"
      }
      if (last != 0) return Step::kOk;
    }
  }

  Step Stored() {
    m_in.DropToByte();
    std::uint32_t length = 0, complement = 0;
    VESKP8_TRY(m_in.Read(16, length));
    VESKP8_TRY(m_in.Read(16, complement));
    if (length != (complement ^ 0xffffu)) return Step::kRefused;
    return m_in.SkipBytes(length, m_output);  // zlib copies what has come
  }

  Step Fixed() {
    if (!m_fixedBuilt) {
      std::uint8_t lengths[288];
      std::memset(lengths, 8, 144);
      std::memset(lengths + 144, 9, 112);
      std::memset(lengths + 256, 7, 24);
      std::memset(lengths + 280, 8, 8);
      std::uint8_t distances[32];
      std::memset(distances, 5, 32);
      (void)Build(lengths, 288, CodeKind::kLiteralLengths, m_codes->fixedLengths);
      (void)Build(distances, 32, CodeKind::kDistances, m_codes->fixedDistances);
      m_fixedBuilt = true;
    }
    m_lengths = &m_codes->fixedLengths;
    m_distances = &m_codes->fixedDistances;
    return Step::kOk;
  }

  Step Dynamic() {
    static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                11, 4,  12, 3, 13, 2, 14, 1, 15};
    std::uint32_t hlit = 0, hdist = 0, hclen = 0;
    VESKP8_TRY(m_in.Read(5, hlit));
    VESKP8_TRY(m_in.Read(5, hdist));
    VESKP8_TRY(m_in.Read(4, hclen));
    const unsigned nlen = hlit + 257, ndist = hdist + 1, ncode = hclen + 4;
    if (nlen > 286 || ndist > 30) return Step::kRefused;  // "too many length or distance symbols"
    std::uint8_t lens[320] = {};
    for (unsigned i = 0; i < ncode; ++i) {
      std::uint32_t len = 0;
      VESKP8_TRY(m_in.Read(3, len));
      lens[kOrder[i]] = static_cast<std::uint8_t>(len);
    }
    VESKP8_TRY(Build(lens, 19, CodeKind::kCodeLengths, m_codes->codeLengths));  // "invalid code lengths set"
    unsigned have = 0;
    while (have < nlen + ndist) {
      unsigned symbol = 0;
      VESKP8_TRY(Decode(m_in, m_codes->codeLengths, symbol));
      if (symbol < 16) {
        lens[have++] = static_cast<std::uint8_t>(symbol);
        continue;
      }
      std::uint32_t extra = 0;
      unsigned len = 0, copy = 0;
      if (symbol == 16) {
        VESKP8_TRY(m_in.Read(2, extra));       // zlib waits for these first
        if (have == 0) return Step::kRefused;  // "invalid bit length repeat"
        len = lens[have - 1];
        copy = 3 + extra;
      } else if (symbol == 17) {
        VESKP8_TRY(m_in.Read(3, extra));
        copy = 3 + extra;
      } else {
        VESKP8_TRY(m_in.Read(7, extra));
        copy = 11 + extra;
      }
      if (have + copy > nlen + ndist) return Step::kRefused;  // "invalid bit length repeat"
      while (copy-- > 0) lens[have++] = static_cast<std::uint8_t>(len);
    }
    if (lens[256] == 0) return Step::kRefused;  // "invalid code -- missing end-of-block"
    VESKP8_TRY(Build(lens, nlen, CodeKind::kLiteralLengths, m_codes->lengths));
    VESKP8_TRY(Build(lens + nlen, ndist, CodeKind::kDistances, m_codes->distances));
    m_lengths = &m_codes->lengths;
    m_distances = &m_codes->distances;
    return Step::kOk;
  }

  // The symbols of one block, to its end-of-block code: a fast loop while
  // the piece holds at least 16 more bytes (so that 56 bits are at hand
  // after every refill and no check for the input's end is needed), then
  // symbol by symbol.
  Step Symbols() {
    const Code& lengths = *m_lengths;
    const Code& distances = *m_distances;
    for (;;) {
      BitReader::Raw r = m_in.Take();
      std::uint64_t output = m_output;
      Step step = Step::kShort;  // kShort here: the fast loop ran out of piece
      while (r.end - r.next >= 16) {
        if (r.count < 48) r.Refill();
        std::uint32_t entry = Lookup(lengths, r.bits);
        unsigned len = entry & 15u;
        if (len == 0) {
          step = Step::kRefused;  // "invalid literal/length code"
          break;
        }
        r.bits >>= len;
        r.count -= len;
        unsigned symbol = entry >> 8;
        if (symbol < 256) {
          ++output;
          continue;
        }
        if (symbol == 256) {
          step = Step::kOk;
          break;
        }
        symbol -= 257;
        if (symbol >= 29) {
          step = Step::kRefused;  // "invalid literal/length code"
          break;
        }
        // 48 bits at most from here: 5 + 15 + 13.
        if (r.count < 33) r.Refill();
        const unsigned lengthExtra = kLengthExtra[symbol];
        const std::uint32_t length =
            kLengthBase[symbol] + static_cast<std::uint32_t>(r.bits & ((1u << lengthExtra) - 1));
        r.bits >>= lengthExtra;
        r.count -= lengthExtra;
        entry = Lookup(distances, r.bits);
        len = entry & 15u;
        if (len == 0) {
          step = Step::kRefused;  // "invalid distance code"
          break;
        }
        r.bits >>= len;
        r.count -= len;
        const unsigned code = entry >> 8;
        if (code >= 30) {
          step = Step::kRefused;  // "invalid distance code"
          break;
        }
        const unsigned distanceExtra = kDistanceExtra[code];
        const std::uint32_t distance =
            kDistanceBase[code] + static_cast<std::uint32_t>(r.bits & ((1u << distanceExtra) - 1));
        r.bits >>= distanceExtra;
        r.count -= distanceExtra;
        if (distance > output) {
          step = Step::kRefused;  // "invalid distance too far back"
          break;
        }
        output += length;
      }
      m_in.Put(r);
      m_output = output;
      if (step != Step::kShort) return step;
      bool ended = false;
      step = SlowSymbol(lengths, distances, ended);
      if (step != Step::kOk || ended) return step;
    }
  }

  // One symbol read with every check for the input's end; `ended` is set at
  // the end-of-block code.
  Step SlowSymbol(const Code& lengths, const Code& distances, bool& ended) {
    unsigned symbol = 0;
    VESKP8_TRY(Decode(m_in, lengths, symbol));
    if (symbol < 256) {
      ++m_output;
      return Step::kOk;
    }
    if (symbol == 256) {
      ended = true;
      return Step::kOk;
    }
    symbol -= 257;
    if (symbol >= 29) return Step::kRefused;  // "invalid literal/length code"
    std::uint32_t extra = 0;
    VESKP8_TRY(m_in.Read(kLengthExtra[symbol], extra));
    const std::uint32_t length = kLengthBase[symbol] + extra;
    unsigned code = 0;
    VESKP8_TRY(Decode(m_in, distances, code));
    if (code >= 30) return Step::kRefused;  // "invalid distance code"
    VESKP8_TRY(m_in.Read(kDistanceExtra[code], extra));
    if (kDistanceBase[code] + extra > m_output) return Step::kRefused;  // "too far back"
    m_output += length;
    return Step::kOk;
  }

  BitReader m_in;
  CheckTables* m_codes;
  bool m_fixedBuilt = false;
  const Code* m_lengths = nullptr;
  const Code* m_distances = nullptr;
  std::uint64_t m_output = 0;
};

#undef VESKP8_TRY

}  // namespace

struct DeflateChecker::Tables : CheckTables {};

DeflateChecker::DeflateChecker() : m_tables(std::make_unique<Tables>()) {}

DeflateChecker::~DeflateChecker() = default;

DeflateCheck DeflateChecker::Run(const DeflateInput& next) { return Checker(next, *m_tables).Run(); }

DeflateCheck CheckDeflateStream(const DeflateInput& next) { return DeflateChecker().Run(next); }

}  // namespace veskp8
