// veskp8-kit: makes, lists and verifies distribution kits.
//
//   veskp8-kit create -o KIT DIR [--desc LANG PRODUCT VENDOR DOCUMENT]...
//                     [--single-language] [--keep-subseconds] [--sign SECKEY]
//   veskp8-kit list KIT
//   veskp8-kit verify KIT [-p PUBKEY]...
//   veskp8-kit keygen -p PUBKEY -s SECKEY
//   veskp8-kit sign -s SECKEY [-t COMMENT] KIT
//
// Exit status: 0 success, 1 failure (reason on stderr), 2 wrong usage.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "install/fs/file_time.h"
#include "kit/kit_archive.h"
#include "pack.h"
#include "signing.h"
#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

constexpr const char* kUsage =
    "usage: veskp8-kit create -o KIT DIR [--desc LANG PRODUCT VENDOR DOCUMENT]...\n"
    "                         [--single-language] [--keep-subseconds] [--sign SECKEY]\n"
    "       veskp8-kit list KIT\n"
    "       veskp8-kit verify KIT [-p PUBKEY]...\n"
    "       veskp8-kit keygen -p PUBKEY -s SECKEY\n"
    "       veskp8-kit sign -s SECKEY [-t COMMENT] KIT\n"
    "Run 'veskp8-kit COMMAND --help' for the details of a command.\n";

constexpr const char* kCreateHelp =
    "usage: veskp8-kit create -o KIT DIR [--desc LANG PRODUCT VENDOR DOCUMENT]...\n"
    "                         [--single-language] [--keep-subseconds] [--sign SECKEY]\n"
    "\n"
    "Packs every regular file below DIR into the kit file KIT. Entry names are the\n"
    "paths below DIR with \"\\\" separators: files of at most 1 MiB first, then the\n"
    "larger ones, each group sorted by name (the installer then writes the small\n"
    "files while it inflates the large ones); the same input always gives the\n"
    "same bytes. Modification times are cut to whole seconds. A tree the installer\n"
    "would refuse (tables over its memory budget, two files installed as one) is\n"
    "not packed; names that differ only in letter case are packed with a warning.\n"
    "\n"
    "  -o KIT             the kit file to write (replaced only when packing succeeds)\n"
    "  --desc LANG PRODUCT VENDOR DOCUMENT\n"
    "                     a description record: language code (such as en), product\n"
    "                     and vendor names, and the description document's path\n"
    "                     below DIR (\"/\" or \"\\\" separators; may be empty).\n"
    "                     Repeat for each language; records keep the given order.\n"
    "  --single-language  the single-language layout: exactly one --desc, language en\n"
    "  --keep-subseconds  keep the sub-second part of modification times (for tests)\n"
    "  --sign SECKEY      sign the new kit with the secret key SECKEY (as 'sign')\n";

constexpr const char* kListHelp =
    "usage: veskp8-kit list KIT\n"
    "\n"
    "Opens KIT with the installer's reader and prints its descriptions (language,\n"
    "product, vendor, document, tab-separated), then one line per entry: size in\n"
    "bytes, modification time (UTC, ISO 8601) and name.\n";

constexpr const char* kVerifyHelp =
    "usage: veskp8-kit verify KIT [-p PUBKEY]...\n"
    "\n"
    "Opens KIT with the installer's reader. Exit status 0 and a one-line summary\n"
    "when the kit is intact; 1 and the reason on stderr otherwise. The reader also\n"
    "refuses kits whose tables exceed its memory budget or that install two\n"
    "entries as the same file.\n"
    "When the signature KIT.minisig lies beside the kit, it is checked first:\n"
    "against the public keys of the -p files (minisign format), or without -p\n"
    "against the keys the installer trusts (built in, /etc/veskp8/trusted-keys).\n"
    "A signature that cannot be checked (no key) fails too.\n";

constexpr const char* kKeygenHelp =
    "usage: veskp8-kit keygen -p PUBKEY -s SECKEY\n"
    "\n"
    "Makes a signing key pair in minisign's formats: the public key file PUBKEY\n"
    "(give it to the installers: -K, /etc/veskp8/trusted-keys, or the build option\n"
    "VESKP8_TRUSTED_KEYS) and the secret key file SECKEY, mode 0600, not\n"
    "encrypted (minisign -S -s SECKEY can sign with it too). Existing files are\n"
    "never replaced.\n";

constexpr const char* kSignHelp =
    "usage: veskp8-kit sign -s SECKEY [-t COMMENT] KIT\n"
    "\n"
    "Signs KIT with the secret key SECKEY (from 'keygen' or 'minisign -G -W') and\n"
    "writes KIT.minisig, in the hashed form that 'minisign -V' checks. COMMENT is\n"
    "the signed trusted comment (one line); by default\n"
    "\"timestamp:SECONDS<TAB>file:NAME<TAB>hashed\".\n";

int Usage(const char* text) {
  std::fputs(text, stderr);
  return 2;
}

bool IsHelp(std::string_view arg) { return arg == "--help" || arg == "-h"; }

std::string Display(const WideString& s) { return std::string(WideToLocale(s).c_str()); }

std::string IsoTime(std::uint64_t ticks) {
  const std::int64_t seconds = TicksToUnixSeconds(ticks);
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  char text[64];
  if (gmtime_r(&t, &tm) == nullptr ||
      std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm) == 0) {
    return "?";
  }
  std::string result = text;
  const std::uint64_t fraction = ticks % kTicksPerSecond;
  if (fraction != 0) {
    char digits[16];
    std::snprintf(digits, sizeof digits, ".%07llu", static_cast<unsigned long long>(fraction));
    result += digits;
  }
  return result + "Z";
}

const char* ReasonOf(ResultCode rc) {
  switch (rc) {
    case kErrInvalidData:
      return "damaged, not a kit, or refused by the installer's limits (tables over its memory "
             "budget, too many descriptions, or two entries with one destination)";
    case kErrOutOfMemory:
      return "out of memory";
    case kErrNotFound:
      return "a file was not found";
    case kErrTempFile:
      return "cannot create the image file in the temporary directory";
    default:
      return "system error";
  }
}

// Opens the kit; prints the reason and returns false on failure.
bool Open(KitArchive& kit, const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) {
    std::fprintf(stderr, "veskp8-kit: cannot open %s: %s\n", path, std::strerror(errno));
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    std::fprintf(stderr, "veskp8-kit: cannot open %s: not a regular file\n", path);
    return false;
  }
  const ResultCode rc = OpenKit(kit, LocaleToWide(path));
  if (rc != kOk) {
    std::fprintf(stderr, "veskp8-kit: %s: %s (code %d)\n", path, ReasonOf(rc), rc);
    return false;
  }
  return true;
}

int Create(int argc, char** argv) {
  PackOptions options;
  bool haveOutput = false;
  std::string secretKey;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (IsHelp(arg)) {
      std::fputs(kCreateHelp, stdout);
      return 0;
    }
    if (arg == "-o" || arg == "--output") {
      if (i + 1 >= argc) return Usage("veskp8-kit create: -o needs a file name\n");
      options.output = argv[++i];
      haveOutput = true;
    } else if (arg == "--desc") {
      if (i + 4 >= argc) {
        return Usage("veskp8-kit create: --desc needs LANG PRODUCT VENDOR DOCUMENT\n");
      }
      KitDescription d;
      d.language = LocaleToWide(argv[i + 1]);
      d.product = LocaleToWide(argv[i + 2]);
      d.vendor = LocaleToWide(argv[i + 3]);
      d.document = LocaleToWide(argv[i + 4]);
      ReplaceAll(d.document, PathSeparator(), ForeignSeparator());
      options.descriptions.push_back(d);
      i += 4;
    } else if (arg == "--single-language") {
      options.singleLanguage = true;
    } else if (arg == "--keep-subseconds") {
      options.keepSubseconds = true;
    } else if (arg == "--sign") {
      if (i + 1 >= argc) return Usage("veskp8-kit create: --sign needs a secret key file\n");
      secretKey = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "veskp8-kit create: unknown option %s\n", argv[i]);
      return Usage(kCreateHelp);
    } else if (options.directory.empty()) {
      options.directory = argv[i];
    } else {
      return Usage("veskp8-kit create: only one DIR may be given\n");
    }
  }
  if (!haveOutput || options.output.empty()) {
    return Usage("veskp8-kit create: the output kit (-o KIT) is missing\n");
  }
  if (options.directory.empty()) return Usage("veskp8-kit create: the directory DIR is missing\n");
  if (options.singleLanguage) {
    if (options.descriptions.size() != 1) {
      return Usage("veskp8-kit create: --single-language needs exactly one --desc\n");
    }
    if (CompareNoCase(options.descriptions[0].language, WideString(u"en")) != 0) {
      return Usage("veskp8-kit create: the single-language layout is always read as language en\n");
    }
  }
  options.progress = isatty(STDERR_FILENO) != 0;
  const int packed = PackTree(options);
  if (packed != 0 || secretKey.empty()) return packed;
  return SignKit(options.output, secretKey, std::string());
}

// Parses "COMMAND [--help] KIT".
int OneKitArgument(int argc, char** argv, const char* help, const char*& kit) {
  if (argc == 1 && IsHelp(argv[0])) {
    std::fputs(help, stdout);
    return 0;
  }
  if (argc != 1 || argv[0][0] == '-') return Usage(help);
  kit = argv[0];
  return -1;
}

int List(int argc, char** argv) {
  const char* path = nullptr;
  const int status = OneKitArgument(argc, argv, kListHelp, path);
  if (status >= 0) return status;
  KitArchive kit;
  if (!Open(kit, path)) return 1;
  for (const KitDescription& d : kit.descriptions()) {
    std::printf("%s\t%s\t%s\t%s\n", Display(d.language).c_str(), Display(d.product).c_str(),
                Display(d.vendor).c_str(), Display(d.document).c_str());
  }
  for (const KitEntry& e : kit.entries()) {
    std::printf("%10u %s %s\n", e.dataSize, IsoTime(e.modificationTime).c_str(),
                Display(e.name).c_str());
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int Verify(int argc, char** argv) {
  std::vector<std::string> keys;
  const char* path = nullptr;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (IsHelp(arg)) {
      std::fputs(kVerifyHelp, stdout);
      return 0;
    }
    if (arg == "-p") {
      if (i + 1 >= argc) return Usage(kVerifyHelp);
      keys.push_back(argv[++i]);
    } else if (arg.starts_with("-") || path != nullptr) {
      return Usage(kVerifyHelp);
    } else {
      path = argv[i];
    }
  }
  if (path == nullptr) return Usage(kVerifyHelp);
  std::string signedBy;
  if (VerifyKitSignatureFile(path, keys, signedBy) != 0) return 1;
  KitArchive kit;
  if (!Open(kit, path)) return 1;
  std::uint64_t data = 0;
  for (const KitEntry& e : kit.entries()) data += e.dataSize;
  std::printf("%s: intact, %zu descriptions, %zu entries, %llu bytes of file data\n", path,
              kit.descriptions().size(), kit.entries().size(),
              static_cast<unsigned long long>(data));
  return 0;
}

// Parses "-p PUBKEY -s SECKEY" style pairs and one optional operand.
bool Pairs(int argc, char** argv, std::string_view flags, std::string values[],
           const char*& operand) {
  operand = nullptr;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const std::size_t at = arg.size() == 2 && arg[0] == '-' ? flags.find(arg[1]) : std::string_view::npos;
    if (at != std::string_view::npos) {
      if (i + 1 >= argc) return false;
      values[at] = argv[++i];
    } else if (arg.starts_with("-") || operand != nullptr) {
      return false;
    } else {
      operand = argv[i];
    }
  }
  return true;
}

int Keygen(int argc, char** argv) {
  if (argc == 1 && IsHelp(argv[0])) {
    std::fputs(kKeygenHelp, stdout);
    return 0;
  }
  std::string values[2];  // p, s
  const char* operand = nullptr;
  if (!Pairs(argc, argv, "ps", values, operand) || operand != nullptr || values[0].empty() ||
      values[1].empty()) {
    return Usage(kKeygenHelp);
  }
  return GenerateKeyPair(values[0], values[1]);
}

int Sign(int argc, char** argv) {
  if (argc == 1 && IsHelp(argv[0])) {
    std::fputs(kSignHelp, stdout);
    return 0;
  }
  std::string values[2];  // s, t
  const char* kit = nullptr;
  if (!Pairs(argc, argv, "st", values, kit) || kit == nullptr || values[0].empty()) {
    return Usage(kSignHelp);
  }
  return SignKit(kit, values[0], values[1]);
}

}  // namespace
}  // namespace veskp8

int main(int argc, char** argv) {
  using namespace veskp8;
  if (argc < 2) return Usage(kUsage);
  const std::string_view command = argv[1];
  if (IsHelp(command)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "create") return Create(argc - 2, argv + 2);
  if (command == "list") return List(argc - 2, argv + 2);
  if (command == "verify") return Verify(argc - 2, argv + 2);
  if (command == "keygen") return Keygen(argc - 2, argv + 2);
  if (command == "sign") return Sign(argc - 2, argv + 2);
  std::fprintf(stderr, "veskp8-kit: unknown command %s\n", argv[1]);
  return Usage(kUsage);
}
