#include "app/remembered.h"

#include <QCryptographicHash>
#include <QFileInfo>

namespace orbelan {
namespace {

const QString kRecent = QStringLiteral("tabele-recente");
const QString kGeometry = QStringLiteral("fereastra/geometrie");

// Paths and titles hold characters QSettings keys can't: a digest names them.
QString KeyOf(const QString& group, const QString& name) {
    return group + QLatin1Char('/') +
           QString::fromLatin1(
               QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex());
}

QString Canonical(const QString& path) {
    const QFileInfo info(path);
    return info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
}

}  // namespace

Remembered::Remembered()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("dbf-orbelan"),
                QStringLiteral("dbf-orbelan")) {}

QStringList Remembered::RecentTables() const {
    return settings_.value(kRecent).toStringList();
}

void Remembered::AddRecentTable(const QString& path) {
    const QString table = Canonical(path);
    QStringList list = RecentTables();
    list.removeAll(table);
    list.prepend(table);
    while (list.size() > kRecentTables) list.removeLast();
    settings_.setValue(kRecent, list);
}

void Remembered::RemoveRecentTable(const QString& path) {
    QStringList list = RecentTables();
    list.removeAll(path);
    settings_.setValue(kRecent, list);
}

QString Remembered::LastFolder(const QString& dialog) const {
    return settings_.value(KeyOf(QStringLiteral("dosare"), dialog)).toString();
}

void Remembered::SetLastFolder(const QString& dialog, const QString& chosenFile) {
    settings_.setValue(KeyOf(QStringLiteral("dosare"), dialog),
                       QFileInfo(chosenFile).absolutePath() + QLatin1Char('/'));
}

QByteArray Remembered::WindowGeometry() const {
    return settings_.value(kGeometry).toByteArray();
}

void Remembered::SetWindowGeometry(const QByteArray& geometry) {
    settings_.setValue(kGeometry, geometry);
}

std::vector<ColumnPlace> Remembered::Columns(const QString& table) const {
    std::vector<ColumnPlace> columns;
    const QStringList saved =
        settings_.value(KeyOf(QStringLiteral("coloane"), Canonical(table))).toStringList();
    for (const QString& item : saved) {
        const qsizetype eq = item.lastIndexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        bool ok = false;
        const int width = item.mid(eq + 1).toInt(&ok);
        if (ok && width > 0) columns.push_back({item.left(eq), width});
    }
    return columns;
}

void Remembered::SetColumns(const QString& table, const std::vector<ColumnPlace>& columns) {
    QStringList saved;
    for (const ColumnPlace& c : columns)
        saved << c.name + QLatin1Char('=') + QString::number(c.width);
    settings_.setValue(KeyOf(QStringLiteral("coloane"), Canonical(table)), saved);
}

}  // namespace orbelan
