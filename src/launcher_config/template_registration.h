// The installer's two uses of the template-directory list, in the order the
// installer dialog calls them:
//
//   TemplateRegistration reg;
//   ReadRegisteredTemplates(reg);     // before the directory page
//   ... clean reg.m_targetDir, let the user change it, install ...
//   RegisterInstalledTemplates(reg);  // after the installation succeeded
//
// The record lives in the dialog from the read until the write. Both calls run
// on the user-interface thread (they do file work and may start `mkdir`; the
// worker thread must not be using the launcher files, which it never does).
#pragma once

#include <vector>

#include "text/wide_string.h"

namespace veskp8 {

struct TemplateRegistration {
  // The registered template directories, highest priority first.
  std::vector<WideString> m_templateDirs;
  // The directory proposed by the read; the dialog stores the chosen one here
  // before RegisterInstalledTemplates.
  WideString m_targetDir;
  // The scope 1 primary file existed when the list was read.
  bool m_scope1FileExists = false;
  // The list was read in scope 1 (no scope 0 primary file) and was not empty.
  bool m_listFromScope1 = false;
};

// Fills `reg` afresh (every field is overwritten):
// 1. m_scope1FileExists := the scope 1 primary file exists;
// 2. the scope 0 primary file exists: the list is read in scope 0;
// 3. otherwise, the scope 1 primary file exists: the list is read in scope 1
//    and m_listFromScope1 := the list is not empty;
// 4. otherwise the list stays empty;
// 5. m_targetDir := the first listed directory for which IsDirectoryWritable
//    is true, else GetDefaultTemplateDirectory() (H/.veskp8/Vesk/veskp8/tmplts/).
// The proposal is returned as found: removing "http://" and the like,
// backslashes and line ends is the caller's cleaning step. Reports no
// failure: missing or unreadable files read as empty lists. Throws only
// std::bad_alloc.
void ReadRegisteredTemplates(TemplateRegistration& reg);

// Records reg.m_targetDir at the head of the launcher's template list after a
// successful installation:
// 1. a copy of m_targetDir loses one trailing "/" or "\" if it has one;
// 2. under the registration lock (registration_lock.h: across installers, a
//    bounded wait, then on unlocked), m_templateDirs is read again from the
//    files as ReadRegisteredTemplates reads it (scope 0 when its primary file
//    exists now, else scope 1), so that a directory another installer
//    registered meanwhile is kept; the copy is inserted at its front (an
//    equal entry further down is dropped when the list is written);
// 3. unless m_listFromScope1: the list is written to the scope 0 primary file
//    (WriteTemplateLocations, created with its directory when missing);
// 4. then, if m_scope1FileExists: it is written to the scope 1 primary file;
//    the lock is released after both writes.
// A file whose keys and values would stay as they are is not rewritten
// (TemplateLocationsWouldChange), so registering the directory that already
// heads the list changes nothing; `*changed` (when not null) tells whether a
// file was written.
// Nothing is thrown: a failed step 3 skips step 4, and the wizard's outcome
// does not depend on it. Each file is either rewritten completely or left as
// it was.
//
// A target directory holding a line feed or carriage return is not registered
// at all (it would put extra lines into the launcher's file): the list and
// the files stay unchanged.
//
// Result: true when every file it was to write has been written; false when
// one could not be written (or the target was refused), with that file's path
// in `*failedFile` when `failedFile` is not null. The unattended mode reports
// it; the wizard ignores it.
bool RegisterInstalledTemplates(TemplateRegistration& reg, WideString* failedFile = nullptr,
                                bool* changed = nullptr) noexcept;

// Whether RegisterInstalledTemplates(reg) would write a file now: read only,
// without the registration lock. A target holding a line end: false (it is
// not registered). A failure to read: true (the write would be tried).
[[nodiscard]] bool RegistrationWouldChange(const TemplateRegistration& reg);

}  // namespace veskp8
