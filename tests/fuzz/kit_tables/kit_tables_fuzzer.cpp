// Fuzzes reading the tables of a kit image. Input: the image bytes (what the
// inflate step produces), held in an anonymous memory file. An accepted image
// must pass CheckAcceptedKit.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "../kit_reader/kit_check.h"
#include "kit/kit_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = memfd_create("kit-image", MFD_CLOEXEC);
  if (fd < 0) std::abort();
  if (size != 0 && write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  veskp8::KitArchive kit;
  const veskp8::ResultCode rc = veskp8::ReadKitTables(kit, fd);
  if (rc == veskp8::kOk) {
    veskp8::CheckAcceptedKit(kit, fd);
  } else if (!kit.entries().empty()) {
    std::abort();
  }
  close(fd);
  return 0;
}
