#pragma once
// Windows: makes this program the one that opens files of an extension for the current user
// (HKEY_CURRENT_USER\Software\Classes, no administrator rights needed) and tells the shell.
// Plain Win32, no Qt: built into the command library of the Windows build.
#include <string>

namespace orbelan {

// ext without the dot ("dbf"), exe the program's full path; both UTF-8. Writes .ext -> extfile,
// extfile\DefaultIcon and extfile\shell\open\command. Throws std::runtime_error when a key
// can't be written.
void RegisterExtensionInRegistry(const std::string& ext, const std::string& exe);

}  // namespace orbelan
