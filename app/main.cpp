#include <QApplication>
#include <QIcon>
#include <QPalette>
#include <QToolTip>

#include "app/dialog_texts.h"
#include "app/main_window.h"
#include "dialogs/column_chooser.h"
#include "dialogs/message_window.h"
#include "dialogs/select2col.h"
#include "platform/qt_platform.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DBF Orbelan"));
    // The installed desktop entry and icon (packaging/); a build that isn't installed has none.
    QGuiApplication::setDesktopFileName(QStringLiteral("dbffile-orbelan"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("dbffile-orbelan")));
    orbelan::InstallDialogTexts(app);
    QPalette hints = QToolTip::palette();
    hints.setColor(QPalette::ToolTipBase, Qt::white);
    hints.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(hints);

    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(QString::fromLocal8Bit(argv[i]).toStdString());

    orbelan::QtPlatform platform;
    orbelan::TForm1 form1(platform);
    orbelan::TErori erori;
    orbelan::TForm2 form2;
    orbelan::TSelect2Col select2col;
    form1.SetDialogs(&erori, &form2);
    form1.SetSelect2Col(&select2col);
    form1.SetArguments(args);
    form1.show();
    if (form1.TerminateRequested()) return 0;
    return app.exec();
}
