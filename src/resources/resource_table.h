// The resource string table: every text the user sees, in each language of
// the language list, named by a resource identifier such as
// "IDS_WELCOME_TITLE" (the IDS_/IDR_ constants below).
//
// Language list: language index (1..23, ascending; 0 is never an index and
// means "no language") -> two-letter code + text set. A text set maps each
// identifier of kResourceIdentifiers to its UTF-8 text. Index 9 holds the
// Greek texts under the code "el"; index 22 ("ar") holds the English texts
// unchanged.
//
// Lifetime and threads: the table is built once during static initialisation,
// before main, and is never changed afterwards; lookups may run on any thread
// at the same time without a lock (also before main, from other static
// initialisers: the first use builds it). The current language is written
// once by the entry routine, before other threads exist, and read by every
// lookup afterwards.
#pragma once

#include <array>
#include <map>
#include <string_view>

#include "text/narrow_string.h"
#include "text/wide_string.h"

namespace veskp8 {

// Resource identifiers, in the order in which every text set is written.
inline constexpr char IDS_WIZARD_BACK[] = "IDS_WIZARD_BACK";
inline constexpr char IDS_WIZARD_NEXT[] = "IDS_WIZARD_NEXT";
inline constexpr char IDS_WIZARD_FINISH[] = "IDS_WIZARD_FINISH";
inline constexpr char IDS_WIZARD_CANCEL[] = "IDS_WIZARD_CANCEL";
inline constexpr char IDS_ACCEPT_CANCEL[] = "IDS_ACCEPT_CANCEL";
inline constexpr char IDS_TITLE_INSTALLER[] = "IDS_TITLE_INSTALLER";
inline constexpr char IDS_PREPARECOPY[] = "IDS_PREPARECOPY";
inline constexpr char IDS_INSTALL_ERROR[] = "IDS_INSTALL_ERROR";
inline constexpr char IDS_ERROR_NOSOURCE[] = "IDS_ERROR_NOSOURCE";
inline constexpr char IDS_ERROR_NOTARGET[] = "IDS_ERROR_NOTARGET";
inline constexpr char IDS_ERROR_NOSPACE[] = "IDS_ERROR_NOSPACE";
inline constexpr char IDS_CHOOSEDIR_FOLDER[] = "IDS_CHOOSEDIR_FOLDER";
inline constexpr char IDS_CHOOSEDIR_TITLE[] = "IDS_CHOOSEDIR_TITLE";
inline constexpr char IDR_MAINFRAME[] = "IDR_MAINFRAME";
inline constexpr char IDS_SETUP_EMPTYTARGET[] = "IDS_SETUP_EMPTYTARGET";
inline constexpr char IDS_INSTALL_FINISH[] = "IDS_INSTALL_FINISH";
inline constexpr char IDS_ERROR_DAMAGEDSOURCE[] = "IDS_ERROR_DAMAGEDSOURCE";
inline constexpr char IDS_DEFPRODUCT[] = "IDS_DEFPRODUCT";
inline constexpr char IDS_DEFPROVIDER[] = "IDS_DEFPROVIDER";
inline constexpr char IDS_SUCCESS_FINISH[] = "IDS_SUCCESS_FINISH";
inline constexpr char IDS_SUCCESS_OPENDESCR[] = "IDS_SUCCESS_OPENDESCR";
inline constexpr char IDS_PROGRESS_START[] = "IDS_PROGRESS_START";
inline constexpr char IDS_ERROR_FINISH[] = "IDS_ERROR_FINISH";
inline constexpr char IDS_CANCEL_FINISH[] = "IDS_CANCEL_FINISH";
inline constexpr char IDS_BROWSE_SELDIR[] = "IDS_BROWSE_SELDIR";
inline constexpr char IDS_BROWSE_OK[] = "IDS_BROWSE_OK";
inline constexpr char IDS_BROWSE_CANCEL[] = "IDS_BROWSE_CANCEL";
inline constexpr char IDS_WELCOME_TITLE[] = "IDS_WELCOME_TITLE";
inline constexpr char IDS_SETUP_EXISTEDTARGET[] = "IDS_SETUP_EXISTEDTARGET";
inline constexpr char IDS_DESTINATION_PROMPT[] = "IDS_DESTINATION_PROMPT";
inline constexpr char IDS_TEMPLATE_CATALOG[] = "IDS_TEMPLATE_CATALOG";
// Unattended installs
inline constexpr char IDS_ERROR_NODISPLAY[] = "IDS_ERROR_NODISPLAY";
inline constexpr char IDS_ERROR_NOTREGISTERED[] = "IDS_ERROR_NOTREGISTERED";

// Undo outcome: a rollback that left originals in the kept backup directory
// (message box and error page; "%1" stands for that directory).
inline constexpr char IDS_ROLLBACK_INCOMPLETE[] = "IDS_ROLLBACK_INCOMPLETE";
inline constexpr char IDS_ROLLBACK_INCOMPLETE_FINISH[] = "IDS_ROLLBACK_INCOMPLETE_FINISH";
// Template directory lock: another installation into the same directory runs.
inline constexpr char IDS_INSTALL_BUSY[] = "IDS_INSTALL_BUSY";
// Recovery of an interrupted installation
inline constexpr char IDS_RECOVERY_RESTORED[] = "IDS_RECOVERY_RESTORED";
inline constexpr char IDS_RECOVERY_INCOMPLETE[] = "IDS_RECOVERY_INCOMPLETE";
inline constexpr char IDS_RECOVERY_COMPLETED[] = "IDS_RECOVERY_COMPLETED";
inline constexpr char IDS_RECOVERY_DAMAGED[] = "IDS_RECOVERY_DAMAGED";
// Signed kits: a kit refused for its signature, or a trusted-key file that
// cannot be used ("%1": the key id, or the key file).
inline constexpr char IDS_SIGNATURE_MISSING[] = "IDS_SIGNATURE_MISSING";
inline constexpr char IDS_SIGNATURE_DAMAGED[] = "IDS_SIGNATURE_DAMAGED";
inline constexpr char IDS_SIGNATURE_UNKNOWNKEY[] = "IDS_SIGNATURE_UNKNOWNKEY";
inline constexpr char IDS_SIGNATURE_MISMATCH[] = "IDS_SIGNATURE_MISMATCH";
inline constexpr char IDS_SIGNATURE_KEYFILE[] = "IDS_SIGNATURE_KEYFILE";
inline constexpr char IDS_SIGNATURE_KEYFILE_UNSAFE[] = "IDS_SIGNATURE_KEYFILE_UNSAFE";
// Command line of the unattended mode ("%1" stands for the option): an
// unknown option with -Q, an option that needs -Q, options that exclude
// each other.
inline constexpr char IDS_USAGE_UNKNOWN[] = "IDS_USAGE_UNKNOWN";
inline constexpr char IDS_USAGE_NEEDQUIET[] = "IDS_USAGE_NEEDQUIET";
inline constexpr char IDS_USAGE_CONFLICT[] = "IDS_USAGE_CONFLICT";
// The wizard or -S on a machine without GTK 2 (one line on standard error).
inline constexpr char IDS_NO_GTK[] = "IDS_NO_GTK";
// Wizard mends: a full path asked for; the reason of a failure (the system's
// error, "%1" the number for one without its own text); free space of the
// template directory's file system: "%1" the directory, "%2" and "%3" sizes
// made with IDS_SIZE_*, "%1" the number; what the success page reports
// (where: "%1" the directory; counts: "%1" new, "%2" replaced, "%3" up-to-date
// files).
inline constexpr char IDS_FULL_PATH_REQUIRED[] = "IDS_FULL_PATH_REQUIRED";
inline constexpr char IDS_ERROR_REASON_ACCESS[] = "IDS_ERROR_REASON_ACCESS";
inline constexpr char IDS_ERROR_REASON_NOSPACE[] = "IDS_ERROR_REASON_NOSPACE";
inline constexpr char IDS_ERROR_REASON_QUOTA[] = "IDS_ERROR_REASON_QUOTA";
inline constexpr char IDS_ERROR_REASON_READONLY[] = "IDS_ERROR_REASON_READONLY";
inline constexpr char IDS_ERROR_REASON_ISDIR[] = "IDS_ERROR_REASON_ISDIR";
inline constexpr char IDS_ERROR_REASON_EXISTS[] = "IDS_ERROR_REASON_EXISTS";
inline constexpr char IDS_ERROR_REASON_NOTDIR[] = "IDS_ERROR_REASON_NOTDIR";
inline constexpr char IDS_ERROR_REASON_NOTFOUND[] = "IDS_ERROR_REASON_NOTFOUND";
inline constexpr char IDS_ERROR_REASON_NAMETOOLONG[] = "IDS_ERROR_REASON_NAMETOOLONG";
inline constexpr char IDS_ERROR_REASON_IO[] = "IDS_ERROR_REASON_IO";
inline constexpr char IDS_ERROR_REASON_OTHER[] = "IDS_ERROR_REASON_OTHER";
inline constexpr char IDS_ERROR_TARGETSPACE[] = "IDS_ERROR_TARGETSPACE";
inline constexpr char IDS_SIZE_KB[] = "IDS_SIZE_KB";
inline constexpr char IDS_SIZE_MB[] = "IDS_SIZE_MB";
inline constexpr char IDS_SIZE_GB[] = "IDS_SIZE_GB";
inline constexpr char IDS_SUCCESS_WHERE[] = "IDS_SUCCESS_WHERE";
inline constexpr char IDS_SUCCESS_COUNTS[] = "IDS_SUCCESS_COUNTS";

// clang-format off
inline constexpr auto kResourceIdentifiers = std::to_array<const char*>({
    IDS_WIZARD_BACK,         IDS_WIZARD_NEXT,        IDS_WIZARD_FINISH,     IDS_WIZARD_CANCEL,
    IDS_ACCEPT_CANCEL,       IDS_TITLE_INSTALLER,    IDS_PREPARECOPY,       IDS_INSTALL_ERROR,
    IDS_ERROR_NOSOURCE,      IDS_ERROR_NOTARGET,     IDS_ERROR_NOSPACE,     IDS_CHOOSEDIR_FOLDER,
    IDS_CHOOSEDIR_TITLE,     IDR_MAINFRAME,          IDS_SETUP_EMPTYTARGET, IDS_INSTALL_FINISH,
    IDS_ERROR_DAMAGEDSOURCE, IDS_DEFPRODUCT,         IDS_DEFPROVIDER,       IDS_SUCCESS_FINISH,
    IDS_SUCCESS_OPENDESCR,   IDS_PROGRESS_START,     IDS_ERROR_FINISH,      IDS_CANCEL_FINISH,
    IDS_BROWSE_SELDIR,       IDS_BROWSE_OK,          IDS_BROWSE_CANCEL,     IDS_WELCOME_TITLE,
    IDS_SETUP_EXISTEDTARGET, IDS_DESTINATION_PROMPT, IDS_TEMPLATE_CATALOG,
    // Unattended installs
    IDS_ERROR_NODISPLAY, IDS_ERROR_NOTREGISTERED,
    // Undo outcome
    IDS_ROLLBACK_INCOMPLETE, IDS_ROLLBACK_INCOMPLETE_FINISH,
    // Template directory lock
    IDS_INSTALL_BUSY,
    // Recovery of an interrupted installation
    IDS_RECOVERY_RESTORED, IDS_RECOVERY_INCOMPLETE, IDS_RECOVERY_COMPLETED, IDS_RECOVERY_DAMAGED,
    // Signed kits
    IDS_SIGNATURE_MISSING, IDS_SIGNATURE_DAMAGED, IDS_SIGNATURE_UNKNOWNKEY, IDS_SIGNATURE_MISMATCH,
    IDS_SIGNATURE_KEYFILE, IDS_SIGNATURE_KEYFILE_UNSAFE,
    // Command line of the unattended mode
    IDS_USAGE_UNKNOWN, IDS_USAGE_NEEDQUIET, IDS_USAGE_CONFLICT,
    // No GTK 2 on this machine
    IDS_NO_GTK,
    // Wizard mends
    IDS_FULL_PATH_REQUIRED,
    IDS_ERROR_REASON_ACCESS,
    IDS_ERROR_REASON_NOSPACE,
    IDS_ERROR_REASON_QUOTA,
    IDS_ERROR_REASON_READONLY,
    IDS_ERROR_REASON_ISDIR,
    IDS_ERROR_REASON_EXISTS,
    IDS_ERROR_REASON_NOTDIR,
    IDS_ERROR_REASON_NOTFOUND,
    IDS_ERROR_REASON_NAMETOOLONG,
    IDS_ERROR_REASON_IO,
    IDS_ERROR_REASON_OTHER,
    IDS_ERROR_TARGETSPACE,
    IDS_SIZE_KB,
    IDS_SIZE_MB,
    IDS_SIZE_GB,
    IDS_SUCCESS_WHERE,
    IDS_SUCCESS_COUNTS,
});
// clang-format on

// Language indexes that the program names itself.
inline constexpr int kNoLanguage = 0;
inline constexpr int kEnglishLanguage = 5;

// Byte-wise ordering of identifiers; also accepts std::string_view keys, so a
// lookup needs no NarrowString.
struct ByteWiseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept { return a < b; }
  bool operator()(const NarrowString& a, const NarrowString& b) const noexcept {
    return a.view() < b.view();
  }
  bool operator()(const NarrowString& a, std::string_view b) const noexcept { return a.view() < b; }
  bool operator()(std::string_view a, const NarrowString& b) const noexcept { return a < b.view(); }
};

// Identifier -> UTF-8 text.
using TextSet = std::map<NarrowString, NarrowString, ByteWiseLess>;

struct LanguageEntry {
  NarrowString m_code;  // two lower-case letters, e.g. "ru"
  TextSet m_texts;
};

// Language index -> entry, ascending.
using LanguageList = std::map<int, LanguageEntry>;

// The whole table, for enumeration (tests, diagnostics). Never fails; the
// reference stays valid until the process exits and must not be modified.
const LanguageList& GetLanguageList();

// The text of `identifier` in the current language, decoded from its UTF-8
// on every call (Utf8ToWide, text/utf8.h), so it comes out right in every
// locale (C and KOI8-R included); converting it for the console or GTK is the
// caller's business. Empty when the identifier is unknown (exact,
// case-sensitive match) or the current language has no entry. Any thread.
WideString LoadResourceString(std::string_view identifier);

// The lowest index whose code equals `code` exactly (same length and bytes,
// case-sensitive, not cut or normalised); kNoLanguage (0) when none does.
int FindLanguageByCode(std::string_view code);

// The current language: process-wide, kEnglishLanguage (5) until set. Set once
// by the entry routine before other threads start; an index without an entry
// is accepted and makes every lookup empty.
void SetCurrentLanguage(int languageIndex);
int GetCurrentLanguage();

}  // namespace veskp8
