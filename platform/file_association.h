#pragma once
// Makes this program the one that opens .dbf files for the current user.
#include <QString>

namespace orbelan {

// Linux and other freedesktop systems: a desktop entry and the MIME defaults in dataHome
// (normally $XDG_DATA_HOME, else ~/.local/share). Throws std::runtime_error when a file
// can't be written.
void WriteDesktopAssociation(const QString& dataHome, const QString& ext, const QString& exe);

// Windows: the class-root keys .dbf -> dbffile, DefaultIcon and shell\open\command.
void WriteRegistryAssociation(const QString& ext, const QString& exe);

}  // namespace orbelan
