#include "kit/kit_writer.h"

#include <zlib.h>

#include <limits>
#include <new>

namespace veskp8 {
namespace {

constexpr std::uint64_t kU32Max = std::numeric_limits<std::uint32_t>::max();

void PutU32(std::vector<unsigned char>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void PutU64(std::vector<unsigned char>& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void PutUnits(std::vector<unsigned char>& out, const WideString& s) {
  const char16_t* p = s.c_str();
  for (std::size_t i = 0; i < s.size(); ++i) {
    out.push_back(static_cast<unsigned char>(p[i] & 0xFF));
    out.push_back(static_cast<unsigned char>(p[i] >> 8));
  }
}

void PutCounted(std::vector<unsigned char>& out, const WideString& s) {
  PutU32(out, static_cast<std::uint32_t>(s.size()));
  PutUnits(out, s);
}

std::uint64_t CountedSize(const WideString& s) { return 4 + 2 * std::uint64_t{s.size()}; }

}  // namespace

bool EncodeKitTables(std::uint32_t formatWord, const std::vector<KitDescription>& descriptions,
                     const std::vector<KitEntry>& entries, std::vector<unsigned char>& out) {
  if (formatWord == kSingleLanguageFormat && descriptions.size() != 1) return false;
  if (descriptions.size() > kU32Max || entries.size() > kU32Max) return false;
  std::vector<unsigned char> bytes;
  PutU32(bytes, formatWord);
  if (formatWord == kSingleLanguageFormat) {
    const KitDescription& d = descriptions.front();
    if (CountedSize(d.product) + CountedSize(d.vendor) + CountedSize(d.document) > kU32Max) {
      return false;
    }
    PutCounted(bytes, d.product);
    PutCounted(bytes, d.vendor);
    PutCounted(bytes, d.document);
  } else {
    PutU32(bytes, static_cast<std::uint32_t>(descriptions.size()));
    for (const KitDescription& d : descriptions) {
      const std::uint64_t length = 4 + CountedSize(d.language) + CountedSize(d.product) +
                                   CountedSize(d.vendor) + CountedSize(d.document);
      if (length > kU32Max) return false;
      PutU32(bytes, static_cast<std::uint32_t>(length));
      PutCounted(bytes, d.language);
      PutCounted(bytes, d.product);
      PutCounted(bytes, d.vendor);
      PutCounted(bytes, d.document);
    }
  }
  PutU32(bytes, static_cast<std::uint32_t>(entries.size()));
  for (const KitEntry& e : entries) {
    const std::uint64_t length = 24 + 2 * std::uint64_t{e.name.size()};
    if (length > kU32Max) return false;
    PutU32(bytes, static_cast<std::uint32_t>(length));
    PutCounted(bytes, e.name);
    PutU64(bytes, e.modificationTime);
    PutU32(bytes, e.dataOffset);
    PutU32(bytes, e.dataSize);
  }
  out.insert(out.end(), bytes.begin(), bytes.end());
  return true;
}

RawDeflater::RawDeflater(ByteSink sink, int level)
    : m_sink(std::move(sink)), m_stream(new z_stream_s{}), m_out(256 * 1024) {
  // Raw deflate: window bits -15; memory level 8 as zlib's default.
  if (deflateInit2(m_stream.get(), level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::bad_alloc();
  }
}

RawDeflater::~RawDeflater() { deflateEnd(m_stream.get()); }

bool RawDeflater::Pump(int flush) {
  z_stream_s& z = *m_stream;
  for (;;) {
    z.next_out = m_out.data();
    z.avail_out = static_cast<uInt>(m_out.size());
    const int status = deflate(&z, flush);
    if (status == Z_STREAM_ERROR) return false;
    const std::size_t produced = m_out.size() - z.avail_out;
    if (produced != 0 && !m_sink(m_out.data(), produced)) return false;
    if (flush == Z_FINISH) {
      if (status == Z_STREAM_END) return true;
    } else if (z.avail_in == 0 && z.avail_out != 0) {
      return true;
    }
  }
}

bool RawDeflater::Write(const void* data, std::size_t size) {
  if (m_finished) return false;
  const unsigned char* p = static_cast<const unsigned char*>(data);
  while (size != 0) {
    const std::size_t chunk = size < (1u << 30) ? size : (1u << 30);
    m_stream->next_in = const_cast<unsigned char*>(p);
    m_stream->avail_in = static_cast<uInt>(chunk);
    if (!Pump(Z_NO_FLUSH)) return false;
    m_bytesIn += chunk;
    p += chunk;
    size -= chunk;
  }
  return true;
}

bool RawDeflater::Finish() {
  if (m_finished) return false;
  m_finished = true;
  m_stream->next_in = nullptr;
  m_stream->avail_in = 0;
  return Pump(Z_FINISH);
}

std::vector<unsigned char> DeflateRaw(const std::vector<unsigned char>& data, int level) {
  std::vector<unsigned char> out;
  RawDeflater deflater(
      [&out](const unsigned char* p, std::size_t n) {
        out.insert(out.end(), p, p + n);
        return true;
      },
      level);
  if (!deflater.Write(data.data(), data.size()) || !deflater.Finish()) out.clear();
  return out;
}

}  // namespace veskp8
