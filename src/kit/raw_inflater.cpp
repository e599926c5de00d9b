#include "kit/raw_inflater.h"

#include <zlib.h>

#include <cstdint>

#ifdef VESKP8_HAVE_ISAL
#include <dlfcn.h>
#include <isa-l/igzip_lib.h>
#endif

namespace veskp8 {

#ifdef VESKP8_HAVE_ISAL
namespace {

// ISA-L's functions, looked up in libisal.so.2 at run time rather than linked:
// the installer must start on machines that do not have the library. Its
// header gives the types and the layout of the inflate state.
struct IsalFunctions {
  decltype(&isal_inflate_init) init = nullptr;
  decltype(&isal_inflate) inflate = nullptr;
};

// The functions, or null when the library or one of them is missing. Loaded
// by the first call (from any thread); the library then stays loaded.
const IsalFunctions* Isal() noexcept {
  static const IsalFunctions* const loaded = []() noexcept -> const IsalFunctions* {
    void* const library = dlopen("libisal.so.2", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    static IsalFunctions functions;
    functions.init =
        reinterpret_cast<decltype(&isal_inflate_init)>(dlsym(library, "isal_inflate_init"));
    functions.inflate = reinterpret_cast<decltype(&isal_inflate)>(dlsym(library, "isal_inflate"));
    if (functions.init == nullptr || functions.inflate == nullptr) {
      dlclose(library);
      return nullptr;
    }
    return &functions;
  }();
  return loaded;
}

}  // namespace
#endif

struct RawInflater::State {
  z_stream z{};
  bool zlibReady = false;
#ifdef VESKP8_HAVE_ISAL
  inflate_state isal{};
#endif
  InflateStatus final = InflateStatus::kMore;  // kEnd or kError once reached
};

bool IsalInflaterAvailable() noexcept {
#ifdef VESKP8_HAVE_ISAL
  return Isal() != nullptr;
#else
  return false;
#endif
}

InflaterKind DefaultInflaterKind() noexcept {
  return IsalInflaterAvailable() ? InflaterKind::kIsal : InflaterKind::kZlib;
}

const char* InflaterName(InflaterKind kind) noexcept {
  return kind == InflaterKind::kIsal ? "isal" : "zlib";
}

RawInflater::RawInflater(InflaterKind kind)
    : m_kind(IsalInflaterAvailable() ? kind : InflaterKind::kZlib),
      m_state(std::make_unique<State>()) {
  if (m_kind == InflaterKind::kZlib) {
    // The macro passes the version of the zlib headers built against to
    // inflateInit2_, which checks it against the library.
    m_state->zlibReady = inflateInit2(&m_state->z, -15) == Z_OK;
    if (!m_state->zlibReady) m_state->final = InflateStatus::kError;
    return;
  }
#ifdef VESKP8_HAVE_ISAL
  Isal()->init(&m_state->isal);
  m_state->isal.crc_flag = ISAL_DEFLATE;  // raw deflate, no checksum
#endif
}

RawInflater::~RawInflater() {
  if (m_state->zlibReady) inflateEnd(&m_state->z);
}

bool RawInflater::ok() const noexcept {
  return m_kind == InflaterKind::kIsal || m_state->zlibReady;
}

InflateStep RawInflater::Inflate(const unsigned char* in, std::size_t inLength,
                                 unsigned char* out, std::size_t outLength) {
  InflateStep step;
  State& s = *m_state;
  if (s.final != InflateStatus::kMore) {
    step.status = s.final;
    return step;
  }
  // Both libraries count in 32 bits.
  constexpr std::size_t kMaxStep = std::size_t{1} << 30;
  if (inLength > kMaxStep) inLength = kMaxStep;
  if (outLength > kMaxStep) outLength = kMaxStep;
  if (m_kind == InflaterKind::kZlib) {
    s.z.next_in = const_cast<unsigned char*>(in);
    s.z.avail_in = static_cast<uInt>(inLength);
    s.z.next_out = out;
    s.z.avail_out = static_cast<uInt>(outLength);
    const int rc = inflate(&s.z, Z_NO_FLUSH);
    step.consumed = inLength - s.z.avail_in;
    step.produced = outLength - s.z.avail_out;
    if (rc == Z_STREAM_END) {
      s.final = InflateStatus::kEnd;
    } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
      // Z_BUF_ERROR only says that no progress was possible (no input or no
      // room); everything else negative is a damaged stream.
      s.final = InflateStatus::kError;
    }
    step.status = s.final;
    return step;
  }
#ifdef VESKP8_HAVE_ISAL
  s.isal.next_in = const_cast<std::uint8_t*>(in);
  s.isal.avail_in = static_cast<std::uint32_t>(inLength);
  s.isal.next_out = out;
  s.isal.avail_out = static_cast<std::uint32_t>(outLength);
  const int rc = Isal()->inflate(&s.isal);
  step.consumed = inLength - s.isal.avail_in;
  step.produced = outLength - s.isal.avail_out;
  if (rc < 0) {
    s.final = InflateStatus::kError;
  } else if (s.isal.block_state == ISAL_BLOCK_FINISH) {
    s.final = InflateStatus::kEnd;
  }
  step.status = s.final;
#endif
  return step;
}

}  // namespace veskp8
