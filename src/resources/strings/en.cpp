// English texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Back"},
    {IDS_WIZARD_NEXT, "Next >"},
    {IDS_WIZARD_FINISH, "Finish"},
    {IDS_WIZARD_CANCEL, "Cancel"},
    {IDS_ACCEPT_CANCEL, "Do you really want to cancel installation?"},
    {IDS_TITLE_INSTALLER, "Installing configuration"},
    {IDS_PREPARECOPY, "Preparing to copy..."},
    {IDS_INSTALL_ERROR, "Installation error"},
    {IDS_ERROR_NOSOURCE, "Distribution kit file veskp8.efd not found."},
    {IDS_ERROR_NOTARGET, "Installation of templates to the current directory is not supported."},
    {IDS_ERROR_NOSPACE, "Insufficient space available in the directory Temp."},
    {IDS_CHOOSEDIR_FOLDER, "&Folder:"},
    {IDS_CHOOSEDIR_TITLE, "Choose Directory"},
    {IDR_MAINFRAME, "Installing configuration"},
    {IDS_SETUP_EMPTYTARGET, "Specify correct path to template directory."},
    {IDS_INSTALL_FINISH, "Copying complete..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Distribution kit file veskp8.efd corrupted or not designed for this installation program."},
    {IDS_DEFPRODUCT, "<Product>"},
    {IDS_DEFPROVIDER, "<Vendor>"},
    {IDS_SUCCESS_FINISH, "Configuration installed successfully."},
    {IDS_SUCCESS_OPENDESCR, "Open description of distribution package"},
    {IDS_PROGRESS_START, "Files being copied..."},
    {IDS_ERROR_FINISH,
     "An error occurred during the installation process. Installation canceled. Template directory "
     "has not been changed."},
    {IDS_CANCEL_FINISH, "Installation canceled. Template directory has not been changed."},
    {IDS_BROWSE_SELDIR, "Directory selected:"},
    {IDS_BROWSE_OK, "Select"},
    {IDS_BROWSE_CANCEL, "Cancel"},
    {IDS_WELCOME_TITLE, "Welcome to the product installation program"},
    {IDS_SETUP_EXISTEDTARGET,
     "The installation directory contains files that may be changed during the installation "
     "process. Do you want to continue?"},
    {IDS_DESTINATION_PROMPT,
     "Specify path to template directory. The installation program will install templates and "
     "configuration files to the specified directory."},
    {IDS_TEMPLATE_CATALOG, "Template directory:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "The template directory could not be fully restored. The replaced original files "
     "are kept in %1. A restart of the computer may delete that directory when it lies "
     "in a temporary file system."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "An error occurred during the installation process. Installation canceled. The "
     "template directory could not be fully restored: the replaced original files are "
     "kept in %1. Copy them back before you restart the computer: a restart may delete "
     "that directory when it lies in a temporary file system."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "Another installation into this template directory is in progress. Try again when "
     "it has finished."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "The display could not be opened. With the -Q option the installer runs without a display."},
    {IDS_ERROR_NOTREGISTERED,
     "The templates were installed, but the launcher configuration could not be updated:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED,
     "An earlier installation into %1 was interrupted. The directory has been restored."},
    {IDS_RECOVERY_INCOMPLETE,
     "An earlier installation into %1 was interrupted, and the directory could not be fully "
     "restored. Files affected: %2.%3 The full list is in %4."},
    {IDS_RECOVERY_COMPLETED,
     "An earlier installation into %1 was interrupted while it was being completed. It has now "
     "been completed."},
    {IDS_RECOVERY_DAMAGED,
     "A damaged record of an interrupted installation was set aside as %1. Nothing was changed "
     "because of it."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "The distribution kit veskp8.efd is not signed, and only signed kits may be installed on "
     "this computer."},
    {IDS_SIGNATURE_DAMAGED,
     "The signature file veskp8.efd.minisig is damaged or in a format that is not accepted."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "The distribution kit veskp8.efd is signed with the key %1, which is not trusted on this "
     "computer."},
    {IDS_SIGNATURE_MISMATCH,
     "The distribution kit veskp8.efd does not match its signature: it has been changed since "
     "it was signed."},
    {IDS_SIGNATURE_KEYFILE,
     "The trusted key file %1 cannot be read or holds no valid key, so no kit can be checked."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "The trusted key file %1 is not used because other users could change it."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Unknown option %1. Nothing was done; veskp8-setup --help lists the options."},
    {IDS_USAGE_NEEDQUIET,
     "The option %1 works only together with -Q. Nothing was done."},
    {IDS_USAGE_CONFLICT,
     "The option %1 cannot be combined with --verify. Nothing was done."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "The installer's window needs the GTK 2 libraries, which are not installed on this machine. "
     "With the -Q option the installer runs without them."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED,
     "Specify the full path of the template directory: it begins with / (or with ~ for your "
     "home directory)."},
    {IDS_ERROR_REASON_ACCESS, "Permission denied."},
    {IDS_ERROR_REASON_NOSPACE, "No space left on the device."},
    {IDS_ERROR_REASON_QUOTA, "Disk quota exceeded."},
    {IDS_ERROR_REASON_READONLY, "The file system is read-only."},
    {IDS_ERROR_REASON_ISDIR, "The name is in use by a directory."},
    {IDS_ERROR_REASON_EXISTS, "The name is in use by something that is not a file."},
    {IDS_ERROR_REASON_NOTDIR, "A part of the path is a file, not a directory."},
    {IDS_ERROR_REASON_NOTFOUND, "The file or directory does not exist."},
    {IDS_ERROR_REASON_NAMETOOLONG, "The name is too long."},
    {IDS_ERROR_REASON_IO, "The device reported an input/output error."},
    {IDS_ERROR_REASON_OTHER, "System error %1."},
    {IDS_ERROR_TARGETSPACE,
     "Not enough free space for the templates in %1: %2 needed, %3 available."},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "The files are in %1."},
    {IDS_SUCCESS_COUNTS, "New files: %1. Replaced: %2. Already up to date: %3."},
};

}  // namespace

std::span<const TextPair> EnglishTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
