#include "kit/raw_inflater.h"

#include <sched.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef VESKP8_HAVE_ISAL
#include <dlfcn.h>
#include <isa-l/igzip_lib.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "kit/deflate_check.h"
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

// zlib's checks of the bytes ISA-L inflates, on a thread of its own: ISA-L
// is laxer than zlib on some damage, and zlib's checks are the kit's
// integrity check. The inflating thread feeds it what ISA-L consumed; it
// keeps at most kQueueLimit bytes waiting (Feed waits beyond that). All the
// thread needs is allocated before it starts, so that it never meets
// std::bad_alloc; Feed's copies are made on the inflating thread.
class StreamCheck {
 public:
  // std::bad_alloc, or std::system_error when the thread cannot start.
  StreamCheck()
      : m_input([this](std::vector<unsigned char>& piece) { return Next(piece); }),
        m_thread([this] { Run(); }) {}
  ~StreamCheck() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_closed = true;
      m_cancelled = true;
    }
    m_changed.notify_all();
    m_thread.join();
  }
  StreamCheck(const StreamCheck&) = delete;
  StreamCheck& operator=(const StreamCheck&) = delete;

  void Feed(const unsigned char* bytes, std::size_t length) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queued <= kQueueLimit || m_done; });
    if (m_done) return;  // the verdict stands; the rest is not read
    m_queue.emplace_back(bytes, bytes + length);
    m_queued += length;
    m_changed.notify_all();
  }

  // True once the check has refused the stream (it does not wait).
  [[nodiscard]] bool Refused() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_done && m_result.verdict == DeflateVerdict::kRefused;
  }

  // No more input: waits for the verdict.
  [[nodiscard]] DeflateCheck Finish() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_closed = true;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_done; });
    return m_result;
  }

 private:
  static constexpr std::size_t kQueueLimit = std::size_t{1} << 20;

  bool Next(std::vector<unsigned char>& piece) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_queue.empty() || m_closed; });
    if (m_cancelled || m_queue.empty()) return false;
    piece.swap(m_queue.front());
    m_queue.pop_front();
    m_queued -= piece.size();
    m_changed.notify_all();
    return true;
  }

  void Run() {
    const DeflateCheck result = m_checker.Run(m_input);
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_result = result;
      m_done = true;
      m_queue.clear();
    }
    m_changed.notify_all();
  }

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<std::vector<unsigned char>> m_queue;  // all below guarded by m_mutex
  std::size_t m_queued = 0;
  bool m_closed = false;
  bool m_cancelled = false;
  bool m_done = false;
  DeflateCheck m_result;
  DeflateChecker m_checker;
  const DeflateInput m_input;
  std::thread m_thread;  // last: starts once the rest is made
};

}  // namespace
#endif

struct RawInflater::State {
  z_stream z{};
  bool zlibReady = false;
#ifdef VESKP8_HAVE_ISAL
  inflate_state isal{};
  std::unique_ptr<StreamCheck> check;
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
  // The library is loaded only when it would be chosen.
  const char* chosen = std::getenv("VESKP8_INFLATER");
  if (chosen != nullptr && std::strcmp(chosen, "zlib") == 0) return InflaterKind::kZlib;
  if (chosen == nullptr || std::strcmp(chosen, "isal") != 0) {
    // ISA-L's check takes a core of its own beside the inflating thread,
    // and an installation that copies while it inflates needs another one
    // for writing: on two cores zlib alone finishes first.
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    const int usable = sched_getaffinity(0, sizeof cpus, &cpus) == 0 ? CPU_COUNT(&cpus) : 1;
    if (usable < kIsalMinimumCpus) return InflaterKind::kZlib;
  }
  return IsalInflaterAvailable() ? InflaterKind::kIsal : InflaterKind::kZlib;
}

const char* InflaterName(InflaterKind kind) noexcept {
  return kind == InflaterKind::kIsal ? "isal" : "zlib";
}

RawInflater::RawInflater(InflaterKind kind)
    : m_kind(IsalInflaterAvailable() ? kind : InflaterKind::kZlib),
      m_state(std::make_unique<State>()) {
#ifdef VESKP8_HAVE_ISAL
  if (m_kind == InflaterKind::kIsal) {
    try {
      m_state->check = std::make_unique<StreamCheck>();
    } catch (const std::system_error&) {
      m_kind = InflaterKind::kZlib;  // no thread for the check: zlib alone
    }
  }
#endif
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
  // At the stream's end ISA-L hands back the whole bytes of its bit buffer,
  // which may come from earlier steps: none of this step's were used then.
  step.consumed = inLength - std::min<std::size_t>(s.isal.avail_in, inLength);
  step.produced = outLength - s.isal.avail_out;
  if (step.consumed > 0) s.check->Feed(in, step.consumed);
  if (rc < 0) {
    s.final = InflateStatus::kError;
  } else if (s.isal.block_state == ISAL_BLOCK_FINISH) {
    // The end counts once zlib's checks end the stream at the same length.
    const DeflateCheck check = s.check->Finish();
    const bool same = check.verdict == DeflateVerdict::kEnded &&
                      static_cast<std::uint32_t>(check.output) == s.isal.total_out;
    s.final = same ? InflateStatus::kEnd : InflateStatus::kError;
  } else if (s.check->Refused()) {
    s.final = InflateStatus::kError;
  }
  step.status = s.final;
#endif
  return step;
}

}  // namespace veskp8
