// The main window off-screen on the large table: opening and painting the first screen, and
// scrolling to the last row.
#include <QApplication>
#include <QPixmap>
#include <QScrollBar>
#include <filesystem>

#include "app/data_grid.h"
#include "app/main_window.h"
#include "bench/bench_util.h"
#include "bench/persons_generator.h"
#include "dialogs/column_chooser.h"
#include "dialogs/message_window.h"
#include "platform/qt_platform.h"

using namespace orbelan;
using namespace orbelan::bench;

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
    return 0;
}
