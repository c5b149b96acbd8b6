// Folders below the log folder, for material a run keeps beside its log: reached only through
// pinned folders, with the log folder's own checks.
#pragma once

#include <windows.h>

#include <string>

#include "logging/LogFileIo.h"

namespace QvBrelLogging {

// Pins the folder `relative` ("Undo\<name>") below the log folder of the process's logger; with
// `create`, missing folders are made with `security` and a link in the way is replaced by a real
// folder. False, holding nothing, before logging is initialised, without a log folder, for a
// path that is not canonical (no empty, ".", ".." or dot- or space-ending component), and
// when a folder is a link or has an untrusted owner.
bool PinBelowLogFolder(const std::wstring& relative, bool create, SECURITY_ATTRIBUTES* security,
                       LogFileIo::FolderPins& pins);

// The folder the log file is written to; empty while there is none.
std::wstring LogFolder();

}  // namespace QvBrelLogging
