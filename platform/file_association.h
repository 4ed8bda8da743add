#pragma once
// Makes this program the one that opens .dbf files for the current user.
#include <QString>
#include <QStringList>

namespace orbelan {

// Linux and other freedesktop systems: a desktop entry and the MIME defaults in dataHome
// (normally $XDG_DATA_HOME, else ~/.local/share). When one of systemDirs (the XDG_DATA_DIRS)
// already holds the entry of the same name for the same program, as the installed package
// does, the user gets no copy of it (a copy would hide the package's entry and outlive its
// removal): only the defaults are written, and an older copy is removed. Throws
// std::runtime_error when a file can't be written.
void WriteDesktopAssociation(const QString& dataHome, const QString& ext, const QString& exe,
                             const QStringList& systemDirs = {});

// Windows: the class-root keys .dbf -> dbffile, DefaultIcon and shell\open\command.
void WriteRegistryAssociation(const QString& ext, const QString& exe);

}  // namespace orbelan
