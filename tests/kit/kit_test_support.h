// Helpers shared by the kit tests: a private temporary directory per test
// (TMPDIR points at it), kit files made from image bytes, and an independent
// check of a loaded kit.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kit/kit_archive.h"
#include "kit/kit_inflate.h"
#include "kit/kit_writer.h"
#include "text/conversion.h"

namespace veskp8::testing {

using Bytes = std::vector<unsigned char>;

inline std::string ReadWholeFile(const std::string& path) {
  std::string out;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return out;
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  close(fd);
  return out;
}

inline void WriteWholeFile(const std::string& path, const void* data, std::size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(write(fd, data, size), static_cast<ssize_t>(size));
  close(fd);
}

inline void RemoveTreeForTest(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if (DIR* d = opendir(path.c_str())) {
      while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") RemoveTreeForTest(path + "/" + name);
      }
      closedir(d);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

// Names in `dir` that start with `prefix`.
inline std::vector<std::string> FilesWithPrefix(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> found;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (std::string(e->d_name).rfind(prefix, 0) == 0) found.emplace_back(e->d_name);
    }
    closedir(d);
  }
  return found;
}

// InflateKit from the kit file at `kitPath` into the file at `imagePath`
// (created when missing, kept content otherwise).
inline ResultCode InflateFiles(const std::string& kitPath, const std::string& imagePath) {
  const int kit = open(kitPath.c_str(), O_RDONLY | O_CLOEXEC);
  const int image = open(imagePath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  EXPECT_GE(kit, 0);
  EXPECT_GE(image, 0);
  const ResultCode rc = InflateKit(kit, image);
  close(kit);
  close(image);
  return rc;
}

// A fresh directory per test; TMPDIR names it (an "images" subdirectory, so
// that stray image files are easy to count) for the test's duration.
class KitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = getenv("TMPDIR");
    std::string templ = std::string(base != nullptr && *base ? base : "/tmp") + "/kittest.XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    dir_ = templ;
    images_ = dir_ + "/images";
    ASSERT_EQ(mkdir(images_.c_str(), 0700), 0);
    if (base != nullptr) savedTmp_ = base, hadTmp_ = true;
    setenv("TMPDIR", images_.c_str(), 1);
  }
  void TearDown() override {
    if (hadTmp_) {
      setenv("TMPDIR", savedTmp_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    RemoveTreeForTest(dir_);
  }

  // Image files ("edf...") in the private temporary directory.
  std::vector<std::string> Images() const { return FilesWithPrefix(images_, "edf"); }

  std::string WriteKit(const Bytes& kitBytes, const std::string& name = "kit.efd") {
    const std::string path = dir_ + "/" + name;
    WriteWholeFile(path, kitBytes.data(), kitBytes.size());
    return path;
  }

  // Opens kit bytes; the image file must be gone again after a failure.
  ResultCode OpenBytes(KitArchive& kit, const Bytes& kitBytes) {
    const ResultCode rc = OpenKit(kit, LocaleToWide(WriteKit(kitBytes).c_str()));
    if (rc != kOk) {
      EXPECT_TRUE(Images().empty()) << "image left after failure " << rc;
      EXPECT_EQ(kit.imageHandle(), -1);
      EXPECT_TRUE(kit.entries().empty());
    }
    return rc;
  }

  std::string dir_;
  std::string images_;
  std::string savedTmp_;
  bool hadTmp_ = false;
};

// Image bytes: tables followed by the data area.
inline Bytes MakeImage(std::uint32_t format, const std::vector<KitDescription>& descriptions,
                       const std::vector<KitEntry>& entries, const std::string& data) {
  Bytes image;
  EXPECT_TRUE(EncodeKitTables(format, descriptions, entries, image));
  image.insert(image.end(), data.begin(), data.end());
  return image;
}

inline KitEntry Entry(const char16_t* name, std::uint64_t time, std::uint32_t offset,
                      std::uint32_t size) {
  KitEntry e;
  e.name = WideString(name);
  e.modificationTime = time;
  e.dataOffset = offset;
  e.dataSize = size;
  return e;
}

inline KitDescription Description(const char16_t* language, const char16_t* product,
                                  const char16_t* vendor, const char16_t* document) {
  return KitDescription{WideString(language), WideString(product), WideString(vendor),
                        WideString(document)};
}

// Bytes [offset, offset + size) of the open image, read with pread so the
// handle's position is left alone.
inline std::string ImageBytes(const KitArchive& kit, std::uint32_t offset, std::uint32_t size) {
  std::string out(size, '\0');
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n =
        pread(kit.imageHandle(), out.data() + done, size - done, static_cast<off_t>(offset + done));
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  out.resize(done);
  return out;
}

// Independent statement of the name rule: components split at "\" and "/",
// none empty, ".", ".." and no zero unit.
inline bool NameLooksSafe(const WideString& name) {
  if (name.empty()) return false;
  std::u16string component;
  std::u16string_view units = name.view();
  for (std::size_t i = 0; i <= units.size(); ++i) {
    const bool end = i == units.size();
    if (!end && units[i] == 0) return false;
    if (end || units[i] == u'\\' || units[i] == u'/') {
      if (component.empty() || component == u"." || component == u"..") return false;
      component.clear();
    } else {
      component.push_back(units[i]);
    }
  }
  return true;
}

// What every opened kit must satisfy, checked against the image file itself.
inline void ExpectKitConsistent(const KitArchive& kit) {
  struct stat st;
  ASSERT_EQ(fstat(kit.imageHandle(), &st), 0);
  for (const KitEntry& e : kit.entries()) {
    EXPECT_LE(std::uint64_t{e.dataOffset} + e.dataSize, static_cast<std::uint64_t>(st.st_size));
    EXPECT_TRUE(NameLooksSafe(e.name));
  }
}

}  // namespace veskp8::testing
