// The .dbf association on a freedesktop system, written into a temporary data folder.
#include <gtest/gtest.h>

#include <QFile>

#include "platform/file_association.h"
#include "platform/qt_platform.h"
#include "qtcommon/qt_text.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

QString ReadText(const std::string& path) {
    QFile f(Q(path));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path;
    return QString::fromUtf8(f.readAll());
}

TEST(FileAssociation, DesktopEntryAndMimeDefaultsKeepOtherSettings) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "applications");
    test::WriteFileBytes(
        dir.File("applications/mimeapps.list"),
        "[Default Applications]\ntext/plain=editor.desktop\n"
        "application/x-dbf=other.desktop\n[Added Associations]\nimage/png=v.desktop\n");

    WriteDesktopAssociation(Q(dir.Path().string()), QStringLiteral("dbf"),
                            QStringLiteral("/opt/orbelan/dbf-orbelan"));
    WriteDesktopAssociation(Q(dir.Path().string()), QStringLiteral("dbf"),
                            QStringLiteral("/opt/orbelan/dbf-orbelan"));

    const QString entry = ReadText(dir.File("applications/dbffile-orbelan.desktop"));
    EXPECT_TRUE(entry.contains(QStringLiteral("Exec=\"/opt/orbelan/dbf-orbelan\" %f\n")));
    EXPECT_TRUE(
        entry.contains(QStringLiteral("MimeType=application/x-dbf;application/x-dbase;\n")));

    const QString mime = ReadText(dir.File("applications/mimeapps.list"));
    EXPECT_EQ(mime, QStringLiteral("[Default Applications]\ntext/plain=editor.desktop\n"
                                   "application/x-dbf=dbffile-orbelan.desktop\n"
                                   "application/x-dbase=dbffile-orbelan.desktop\n"
                                   "[Added Associations]\nimage/png=v.desktop\n"));
}

TEST(FileAssociation, PlatformHonoursXdgDataHome) {
    test::TempDir dir;
    const QByteArray old = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.Path().string()));
    QtPlatform platform;
    platform.RegisterExtension("dbf", "/usr/bin/dbf-orbelan");
    qputenv("XDG_DATA_HOME", old);
    EXPECT_TRUE(ReadText(dir.File("applications/dbffile-orbelan.desktop"))
                    .contains(QStringLiteral("Exec=\"/usr/bin/dbf-orbelan\" %f")));
}

// The package's entry in a system folder: the user gets no copy that would hide it, unless
// that entry starts another program (then this one is still associated for the user).
TEST(FileAssociation, InstalledEntryOfTheSameProgramIsNotCopied) {
    struct Case {
        const char* systemExec;  // Exec of the installed entry; %s is this program's path
        bool userCopy;
    } const cases[] = {{"Exec=%s %f", false},
                       {"Exec=\"%s\" %f", false},
                       {"Exec=/usr/bin/another-program %f", true},
                       {"Comment=no Exec line", true}};
    for (const Case& c : cases) {
        test::TempDir dir;
        const std::string exe = dir.File("bin/dbf-orbelan");
        std::filesystem::create_directories(dir.Path() / "bin");
        test::WriteFileBytes(exe, "");
        std::filesystem::create_directories(dir.Path() / "sys/applications");
        test::WriteFileBytes(
            dir.File("sys/applications/dbffile-orbelan.desktop"),
            "[Desktop Entry]\n" +
                Q(c.systemExec).replace(QStringLiteral("%s"), Q(exe)).toStdString() + "\n");
        std::filesystem::create_directories(dir.Path() / "home/applications");
        test::WriteFileBytes(dir.File("home/applications/dbffile-orbelan.desktop"), "old copy");

        WriteDesktopAssociation(Q(dir.File("home")), QStringLiteral("dbf"), Q(exe),
                                {Q(dir.File("none")), Q(dir.File("sys"))});

        const std::string copy = dir.File("home/applications/dbffile-orbelan.desktop");
        EXPECT_EQ(std::filesystem::exists(copy), c.userCopy) << c.systemExec;
        if (c.userCopy) {
            EXPECT_TRUE(ReadText(copy).contains(QStringLiteral("Icon=dbffile-orbelan\n")));
        }
        EXPECT_TRUE(ReadText(dir.File("home/applications/mimeapps.list"))
                        .contains(QStringLiteral("application/x-dbf=dbffile-orbelan.desktop\n")))
            << c.systemExec;
    }
}

TEST(FileAssociation, UnwritableFolderIsAClearError) {
    test::TempDir dir;
    test::WriteFileBytes(dir.File("applications"), "a file where the folder should be");
    EXPECT_THROW(WriteDesktopAssociation(Q(dir.Path().string()), QStringLiteral("dbf"),
                                         QStringLiteral("/x")),
                 std::runtime_error);
}

}  // namespace
}  // namespace orbelan
