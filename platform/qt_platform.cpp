#include "platform/qt_platform.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>

#include "platform/file_association.h"

#ifdef Q_OS_WIN
#include "platform/registry_association_win.h"
#endif

namespace orbelan {
namespace {

QString FromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QString WithSeparator(QString dir) {
    dir = QDir::toNativeSeparators(dir);
    if (!dir.endsWith(QDir::separator())) dir += QDir::separator();
    return dir;
}

}  // namespace

void QtPlatform::ShellOpen(const std::string& target) {
    const QString t = FromUtf8(target);
    const QUrl url = t.contains(QStringLiteral("://")) ? QUrl(t) : QUrl::fromLocalFile(t);
    QDesktopServices::openUrl(url);
}

void QtPlatform::SetClipboardText(const std::string& utf8) {
    QGuiApplication::clipboard()->setText(FromUtf8(utf8));
}

void QtPlatform::RegisterExtension(const std::string& ext, const std::string& exe) {
#ifdef Q_OS_WIN
    RegisterExtensionInRegistry(ext, QDir::toNativeSeparators(FromUtf8(exe)).toStdString());
#else
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty()) dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    QString systemDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (systemDirs.isEmpty()) systemDirs = QStringLiteral("/usr/local/share:/usr/share");
    WriteDesktopAssociation(dataHome, FromUtf8(ext), FromUtf8(exe),
                            systemDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts));
#endif
}

std::string QtPlatform::TempFolder() {
    return WithSeparator(QDir::tempPath()).toStdString();
}

int QtPlatform::PixelsPerInch() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 96;
}

}  // namespace orbelan
