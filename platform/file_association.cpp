#include "platform/file_association.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTextStream>
#include <stdexcept>

namespace orbelan {
namespace {

const QStringList kMimeTypes = {QStringLiteral("application/x-dbf"),
                                QStringLiteral("application/x-dbase")};

void SaveText(const QString& path, const QString& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        throw std::runtime_error(
            QStringLiteral("Nu pot scrie fisierul %1.").arg(path).toStdString());
}

// The same entry the package installs (packaging/dbffile-orbelan.desktop.in), for this exe.
void WriteUserEntry(const QString& path, const QString& exe) {
    QString entry;
    QTextStream(&entry) << "[Desktop Entry]\n"
                        << "Type=Application\n"
                        << "Name=DBF Orbelan\n"
                        << "Comment=Vizualizare si curatare tabele DBF\n"
                        << "Exec=\"" << exe << "\" %f\n"
                        << "Icon=dbffile-orbelan\n"
                        << "Terminal=false\n"
                        << "Categories=Office;Database;\n"
                        << "MimeType=" << kMimeTypes.join(QLatin1Char(';')) << ";\n";
    SaveText(path, entry);
}

// Sets our entry for each type in [Default Applications], keeping every other line.
QString MergeMimeDefaults(const QString& old, const QString& desktopName) {
    QStringList lines = old.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    const QString section = QStringLiteral("[Default Applications]");
    qsizetype start = lines.indexOf(section);
    if (start < 0) {
        lines << section;
        start = lines.size() - 1;
    }
    qsizetype end = start + 1;
    while (end < lines.size() && !lines[end].startsWith(QLatin1Char('['))) ++end;
    for (const QString& mime : kMimeTypes) {
        const QString entry = mime + QLatin1Char('=') + desktopName;
        bool replaced = false;
        for (qsizetype i = start + 1; i < end; ++i) {
            if (lines[i].startsWith(mime + QLatin1Char('='))) {
                lines[i] = entry;
                replaced = true;
            }
        }
        if (!replaced) lines.insert(end++, entry);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

// The program file an entry's Exec line starts, found on PATH when given by name alone.
QString ExecProgram(const QString& entryPath) {
    QFile file(entryPath);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QString prefix = QStringLiteral("Exec=");
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (!line.startsWith(prefix)) continue;
        QString command = line.mid(prefix.size()).trimmed();
        QString program;
        if (command.startsWith(QLatin1Char('"')))
            program = command.mid(1, command.indexOf(QLatin1Char('"'), 1) - 1);
        else
            program = command.section(QLatin1Char(' '), 0, 0);
        if (!program.contains(QLatin1Char('/'))) program = QStandardPaths::findExecutable(program);
        return program;
    }
    return {};
}

bool SameFile(const QString& a, const QString& b) {
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

// True when a system data folder already has our entry and it starts this same program.
bool InstalledEntryRuns(const QStringList& systemDirs, const QString& dataHome,
                        const QString& desktopName, const QString& exe) {
    for (const QString& dir : systemDirs) {
        if (dir.isEmpty() || SameFile(dir, dataHome)) continue;
        const QString entry = dir + QStringLiteral("/applications/") + desktopName;
        if (QFileInfo::exists(entry) && SameFile(ExecProgram(entry), exe)) return true;
    }
    return false;
}

}  // namespace

void WriteDesktopAssociation(const QString& dataHome, const QString& ext, const QString& exe,
                             const QStringList& systemDirs) {
    const QString appsDir = dataHome + QStringLiteral("/applications");
    if (!QDir().mkpath(appsDir))
        throw std::runtime_error(
            QStringLiteral("Nu pot crea dosarul %1.").arg(appsDir).toStdString());
    const QString desktopName = ext + QStringLiteral("file-orbelan.desktop");
    const QString userEntry = appsDir + QLatin1Char('/') + desktopName;
    if (InstalledEntryRuns(systemDirs, dataHome, desktopName, exe)) {
        if (QFileInfo::exists(userEntry) && !QFile::remove(userEntry))
            throw std::runtime_error(
                QStringLiteral("Nu pot sterge fisierul %1.").arg(userEntry).toStdString());
    } else {
        WriteUserEntry(userEntry, exe);
    }

    const QString mimeApps = appsDir + QStringLiteral("/mimeapps.list");
    QString old;
    QFile in(mimeApps);
    if (in.open(QIODevice::ReadOnly)) old = QString::fromUtf8(in.readAll());
    SaveText(mimeApps, MergeMimeDefaults(old, desktopName));

    const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (!tool.isEmpty()) QProcess::startDetached(tool, {appsDir});  // the window must not wait
}

void WriteRegistryAssociation(const QString& ext, const QString& exe) {
    const QString root = QStringLiteral("HKEY_CLASSES_ROOT\\");
    const QString cls = ext + QStringLiteral("file");
    QSettings(root + QLatin1Char('.') + ext, QSettings::NativeFormat)
        .setValue(QStringLiteral("Default"), cls);
    QSettings(root + cls, QSettings::NativeFormat).sync();
    QSettings(root + cls + QStringLiteral("\\DefaultIcon"), QSettings::NativeFormat)
        .setValue(QStringLiteral("Default"), exe + QStringLiteral(",0"));
    QSettings command(root + cls + QStringLiteral("\\shell\\open\\command"),
                      QSettings::NativeFormat);
    command.setValue(QStringLiteral("Default"), exe + QStringLiteral(" \"%1\""));
    command.sync();
    if (command.status() != QSettings::NoError)
        throw std::runtime_error("Nu pot scrie asocierea fisierelor DBF in registru.");
}

}  // namespace orbelan
