// The two inflaters (zlib, the reference, and ISA-L) give the same image and
// the same outcome for the same kit: intact kits of every block kind, and the
// same kits damaged at every instant (cut short, a bit flipped, noise
// appended, foreign formats). zlib's checks without the output, which stand
// beside ISA-L, reach zlib's verdict at zlib's output length on each of them.
// Without ISA-L (not built in, or libisal.so.2 not loadable) only the checks
// are compared; inflater_without_isal runs this test so, where the library
// cannot be loaded, and sets VESKP8_TEST_WITHOUT_ISAL to have that checked.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "deflate_reference.h"
#include "kit/kit_inflate.h"
#include "kit/raw_inflater.h"

namespace veskp8 {
namespace {

using Bytes = std::vector<unsigned char>;

struct Outcome {
  ResultCode result = kOk;
  Bytes image;
};

int MemoryFile(const Bytes& content) {
  const int fd = memfd_create("inflater-test", MFD_CLOEXEC);
  EXPECT_GE(fd, 0);
  if (!content.empty()) {
    EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  }
  return fd;
}

// The kit inflated by InflateKit with `kind`.
Outcome InflateWith(InflaterKind kind, const Bytes& kit) {
  const int kitFd = MemoryFile(kit);
  const int imageFd = MemoryFile({});
  InflateKitOptions options;
  options.inflater = kind;
  Outcome out;
  out.result = InflateKit(kitFd, imageFd, nullptr, options);
  const off_t size = lseek(imageFd, 0, SEEK_END);
  out.image.resize(static_cast<std::size_t>(size));
  if (size > 0) {
    EXPECT_EQ(pread(imageFd, out.image.data(), out.image.size(), 0), size);
  }
  close(kitFd);
  close(imageFd);
  return out;
}

// The raw deflate stream of `data` made by zlib with the given settings.
Bytes Deflate(const Bytes& data, int level, int strategy, int memLevel = 8) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, memLevel, strategy), Z_OK);
  Bytes out(deflateBound(&z, data.size()) + 64);
  z.next_in = const_cast<unsigned char*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

Bytes Content(std::size_t size, int kind, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(size);
  const std::string words = "account ledger invoice payment template catalogue ";
  for (std::size_t i = 0; i < size; ++i) {
    switch (kind) {
      case 0: b[i] = static_cast<unsigned char>(rng()); break;          // incompressible
      case 1: b[i] = static_cast<unsigned char>(words[(i * 7 + rng() % 3) % words.size()]); break;
      default: b[i] = static_cast<unsigned char>(i / 4096); break;      // long runs
    }
  }
  return b;
}

// Intact kits: every block kind (stored, fixed, dynamic, RLE, Huffman only),
// sizes across the 1 MiB output buffer and the 128 KiB input window.
std::vector<Bytes> IntactKits() {
  std::vector<Bytes> kits;
  const std::size_t sizes[] = {0, 1, 300, 70000, (1u << 20) - 1, (1u << 20) + 5};
  const int settings[][2] = {{0, Z_DEFAULT_STRATEGY}, {1, Z_FIXED}, {6, Z_DEFAULT_STRATEGY},
                             {9, Z_RLE},           {6, Z_HUFFMAN_ONLY}, {9, Z_FILTERED}};
  std::uint32_t seed = 1;
  for (const std::size_t size : sizes) {
    for (int kind = 0; kind < 3; ++kind) {
      for (const auto& s : settings) kits.push_back(Deflate(Content(size, kind, seed++), s[0], s[1]));
    }
  }
  return kits;
}

// zlib's checks without the output (deflate_check.h), fed in pieces of
// `piece` bytes, must reach zlib's verdict at zlib's output length.
void ExpectCheckAgrees(const Bytes& kit, std::size_t piece, const std::string& what) {
  const DeflateCheck check = CheckInPieces(kit.data(), kit.size(), piece);
  const ZlibVerdict zlib = AskZlib(kit.data(), kit.size());
  ASSERT_EQ(check.verdict, zlib.verdict) << what << ": zlib says " << zlib.message;
  ASSERT_EQ(check.output, zlib.output) << what << ": " << zlib.message;
}

void ExpectSame(const Bytes& kit, const std::string& what) {
  ExpectCheckAgrees(kit, 1 + kit.size() % 97, what);
  if (!IsalInflaterAvailable()) return;
  const Outcome zlib = InflateWith(InflaterKind::kZlib, kit);
  const Outcome isal = InflateWith(InflaterKind::kIsal, kit);
  ASSERT_EQ(zlib.result, isal.result) << what;
  if (zlib.result == kOk) {
    ASSERT_TRUE(zlib.image == isal.image) << what;
  }
}

TEST(InflaterChoice, TheDefaultIsTheFastestAvailable) {
  if (std::getenv("VESKP8_TEST_WITHOUT_ISAL") != nullptr) {
    ASSERT_FALSE(IsalInflaterAvailable()) << "libisal.so.2 was meant to be unloadable";
  }
  // ISA-L only with a core for its check and one for writing to spare:
  // tried on the first 1, 2 and 3 CPUs the process may use (as many as the
  // machine has).
  cpu_set_t all;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  for (int n = 1; n <= std::min(CPU_COUNT(&all), kIsalMinimumCpus); ++n) {
    cpu_set_t some;
    CPU_ZERO(&some);
    for (int cpu = 0, taken = 0; taken < n; ++cpu) {
      if (CPU_ISSET(cpu, &all)) CPU_SET(cpu, &some), ++taken;
    }
    ASSERT_EQ(sched_setaffinity(0, sizeof some, &some), 0);
    EXPECT_EQ(DefaultInflaterKind(), IsalInflaterAvailable() && n >= kIsalMinimumCpus
                                         ? InflaterKind::kIsal
                                         : InflaterKind::kZlib)
        << n << " CPUs";
  }
  ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
  // The administrator's choice comes first; ISA-L still only where it loads.
  const char* before = std::getenv("VESKP8_INFLATER");
  const std::string kept = before != nullptr ? before : "";
  for (const char* chosen : {"zlib", "isal"}) {
    ASSERT_EQ(setenv("VESKP8_INFLATER", chosen, 1), 0);
    EXPECT_STREQ(InflaterName(DefaultInflaterKind()),
                 IsalInflaterAvailable() ? chosen : "zlib");
  }
  if (before != nullptr) {
    setenv("VESKP8_INFLATER", kept.c_str(), 1);
  } else {
    unsetenv("VESKP8_INFLATER");
  }
  // Asking for ISA-L without it falls back to the reference, which then
  // inflates the kit; either way the image is the data.
  const Bytes data = Content(300000, 1, 3);
  const Bytes kit = Deflate(data, 6, Z_DEFAULT_STRATEGY);
  for (const InflaterKind kind : {InflaterKind::kZlib, InflaterKind::kIsal}) {
    RawInflater inflater(kind);
    EXPECT_TRUE(inflater.ok());
    EXPECT_EQ(inflater.kind(), IsalInflaterAvailable() ? kind : InflaterKind::kZlib);
    const Outcome out = InflateWith(kind, kit);
    EXPECT_EQ(out.result, kOk) << InflaterName(kind);
    EXPECT_TRUE(out.image == data) << InflaterName(kind);
  }
}

TEST(InflaterTest, IntactKitsGiveTheSameImage) {
  for (const Bytes& kit : IntactKits()) {
    ASSERT_EQ(InflateWith(InflaterKind::kZlib, kit).result, kOk);
    ExpectSame(kit, "intact kit of " + std::to_string(kit.size()) + " bytes");
  }
}

TEST(InflaterTest, DamagedKitsGiveTheSameOutcome) {
  int damaged = 0;
  for (const Bytes& intact : IntactKits()) {
    if (intact.size() > 100000 || intact.size() < 100) continue;  // at every instant
    const std::size_t step = intact.size() / 61 + 1;
    for (std::size_t at = 0; at < intact.size(); at += step) {
      // Cut short there.
      ExpectSame(Bytes(intact.begin(), intact.begin() + static_cast<long>(at)), "cut");
      // One bit flipped there, each bit in turn over the positions.
      Bytes flipped = intact;
      flipped[at] ^= static_cast<unsigned char>(1u << (at % 8));
      const Outcome zlib = InflateWith(InflaterKind::kZlib, flipped);
      damaged += zlib.result != kOk;
      ExpectSame(flipped, "bit " + std::to_string(at % 8) + " of byte " + std::to_string(at));
    }
    // Noise after the end of the stream is ignored by both.
    Bytes tail = intact;
    for (int i = 0; i < 100; ++i) tail.push_back(static_cast<unsigned char>(i * 37));
    if (!intact.empty()) ExpectSame(tail, "noise after the end");
  }
  EXPECT_GT(damaged, 100) << "the flips must produce damaged streams";
  // Foreign formats: a gzip file, a zip header, a zlib stream, plain text.
  for (const Bytes& foreign :
       {Bytes{0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 0, 3, 1, 2, 3}, Bytes{'P', 'K', 3, 4, 20, 0, 0, 0},
        Bytes{0x78, 0x9c, 0x4b, 0x4c, 0x4a, 6, 0}, Bytes{'h', 'e', 'l', 'l', 'o', '\n'},
        Bytes{0xff, 0xff, 0xff, 0xff}}) {
    const Outcome zlib = InflateWith(InflaterKind::kZlib, foreign);
    EXPECT_NE(zlib.result, kOk);
    ExpectSame(foreign, "foreign format");
  }
}

TEST(InflaterTest, StreamingInTinyStepsGivesTheSameBytes) {
  // Input and output handed over a few bytes at a time, as a slow source or
  // a nearly full buffer would.
  const Bytes data = Content(200000, 1, 7);
  const Bytes kit = Deflate(data, 6, Z_DEFAULT_STRATEGY);
  for (const InflaterKind kind : {InflaterKind::kZlib, InflaterKind::kIsal}) {
    RawInflater inflater(kind);
    Bytes out;
    unsigned char piece[13];
    std::size_t used = 0;
    InflateStatus status = InflateStatus::kMore;
    while (status == InflateStatus::kMore) {
      const std::size_t give = std::min<std::size_t>(7, kit.size() - used);
      const InflateStep step = inflater.Inflate(kit.data() + used, give, piece, sizeof piece);
      used += step.consumed;
      out.insert(out.end(), piece, piece + step.produced);
      status = step.status;
      ASSERT_TRUE(step.consumed + step.produced > 0 || status != InflateStatus::kMore);
    }
    EXPECT_EQ(status, InflateStatus::kEnd) << InflaterName(kind);
    EXPECT_TRUE(out == data) << InflaterName(kind);
  }
}

}  // namespace
}  // namespace veskp8
