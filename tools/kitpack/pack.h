// Packing a directory tree into a kit file (veskp8-kit create).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kit/kit_description.h"

namespace veskp8 {

struct PackOptions {
  std::string output;     // the kit file to write
  std::string directory;  // the tree to pack
  std::vector<KitDescription> descriptions;
  bool singleLanguage = false;
  bool keepSubseconds = false;
  bool progress = false;  // a progress line on stderr
};

// Packs every regular file below options.directory into options.output:
// names relative to the directory with "\" separators, sorted by their UTF-16
// units; times of the files (whole seconds unless keepSubseconds); contents
// streamed through a fixed buffer. The kit is written under a temporary name
// beside the output and renamed into place at the end, so the output is
// either the complete new kit or untouched. Messages go to stderr.
// Returns the process exit status: 0 success, 1 failure.
int PackTree(const PackOptions& options);

}  // namespace veskp8
