// The main window off-screen on the large table: opening and painting the first screen,
// scrolling to the last row, and "Verifica C.N.P." over a million valid codes with the grid
// following the cursor.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/data_grid.h"
#include "app/main_window.h"
#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "cleaning/cnp.h"
#include "dialogs/color_button.h"
#include "dialogs/column_chooser.h"
#include "dialogs/message_window.h"
#include "platform/qt_platform.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

// A dBase III table with one column CNP C(13) holding rows valid codes.
void WriteValidCodes(const std::string& path, long rows) {
    std::string header(32, '\0');
    header[0] = 0x03;
    header[1] = 126, header[2] = 1, header[3] = 1;
    for (int i = 0; i < 4; ++i) header[4 + i] = char((rows >> (8 * i)) & 0xFF);
    header[8] = 65, header[10] = 14;
    std::string field(32, '\0');
    field.replace(0, 3, "CNP");
    field[11] = 'C';
    field[16] = 13;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << header << field << '\r';
    static const char* weights = "279146358279";
    for (long i = 0; i < rows; ++i) {
        char body[16];
        std::snprintf(body, sizeof body, "1%02ld%02ld%02ld40%03ld", 50 + i % 50, 1 + i % 12,
                      1 + i % 28, i % 1000);
        int sum = 0;
        for (int k = 0; k < 12; ++k) sum += (body[k] - '0') * (weights[k] - '0');
        const int r = sum % 11 == 10 ? 1 : sum % 11;
        const std::string code = std::string(body) + char('0' + r);
        if (i == 0 && !CnpCorect(code, false)) std::fprintf(stderr, "invalid code %s\n", body);
        out << ' ' << code;
    }
    out << '\x1A';
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string path = BenchFolder() + "/orbelan_bench_window.dbf";
    WritePersonsTable(path, rows);

    QtPlatform platform;
    TForm1 form(platform);
    TErori erori;
    TForm2 form2;
    form.SetDialogs(&erori, &form2);
    form.SetArguments({path});
    QApplication::processEvents();

    const double before = AnonymousMb();
    Stopwatch open;
    form.show();  // opens the file given on the command line
    QPixmap shot = form.grab();
    Report("open in the window + paint first screen", open.Ms(),
           std::to_string(int(AnonymousMb() - before)) + " MB anonymous memory, " +
               std::to_string(form.Grid1()->model()->rowCount()) + " rows");

    Stopwatch scroll;
    form.Grid1()->scrollToBottom();
    form.Grid1()->setCurrentIndex(form.Grid1()->model()->index(int(rows) - 1, 0));
    shot = form.grab();
    Report("scroll to the last row + paint", scroll.Ms());

    form.close();
    std::filesystem::remove(path);

    // "Verifica C.N.P.": the grid follows the cursor while the codes are checked.
    const std::string codes = BenchFolder() + "/orbelan_bench_cnp.dbf";
    WriteValidCodes(codes, rows);
    TForm1 checker(platform);
    checker.SetDialogs(&erori, &form2);
    checker.SetArguments({codes});
    checker.show();
    QApplication::processEvents();
    double checkMs = -1;
    Stopwatch check;
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == &form2) {
            form2.Coloana()->setCurrentText(QStringLiteral("CNP"));
            form2.ChooseButton()->click();
            check = Stopwatch();  // from the chosen column on
        } else if (modal == &erori) {
            if (checkMs < 0) checkMs = check.Ms();
            erori.findChild<QPushButton*>(QStringLiteral("BE4"))->click();
        }
    });
    answer.start();
    checker.Menu(QStringLiteral("PopupMenu2"))
        ->findChild<QAction*>(QStringLiteral("VerificaCNP1"))
        ->trigger();
    answer.stop();
    Report("Verifica C.N.P. in the window (all valid)", checkMs,
           "row " + std::to_string(checker.ws().table.RecNo()));
    checker.close();
    std::filesystem::remove(codes);
    return 0;
}
