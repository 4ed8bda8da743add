#pragma once
// What the window remembers between runs, in the user's configuration folder: the tables opened
// last, the folder of each file dialog, the window's place and each table's column layout.
#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <vector>

namespace orbelan {

struct ColumnPlace {
    QString name;
    int width = 0;
};

class Remembered {
  public:
    static constexpr int kRecentTables = 10;

    Remembered();

    QStringList RecentTables() const;
    void AddRecentTable(const QString& path);
    void RemoveRecentTable(const QString& path);

    // The folder the dialog with this title was last answered in; empty when never.
    QString LastFolder(const QString& dialog) const;
    void SetLastFolder(const QString& dialog, const QString& chosenFile);

    QByteArray WindowGeometry() const;
    void SetWindowGeometry(const QByteArray& geometry);

    // The table's columns as the user left them, in their order on screen.
    std::vector<ColumnPlace> Columns(const QString& table) const;
    void SetColumns(const QString& table, const std::vector<ColumnPlace>& columns);

  private:
    QSettings settings_;
};

}  // namespace orbelan
