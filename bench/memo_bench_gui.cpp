// Memo texts in the window, off-screen: the grid paged through a table whose memo cells read only
// what they show, against the same rows with a character column instead; opening the memo
// window on a long text.
#include <QApplication>
#include <QHeaderView>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "app/data_grid.h"
#include "app/main_window.h"
#include "bench/bench_util.h"
#include "dialogs/column_chooser.h"
#include "dialogs/memo_window.h"
#include "dialogs/message_window.h"
#include "engine/dbf_writer.h"
#include "platform/qt_platform.h"

using namespace orbelan;
using namespace orbelan::bench;

namespace {

constexpr int kLongMemo = 64 * 1024;  // the first row's memo, for the memo window

void WriteTable(const std::string& path, long rows, bool memo) {
    DbfWriter::Definition d;
    d.version = 0xF5;  // FoxPro: 64-byte memo blocks keep the memo file small
    d.fields = {{"NUME", 'C', 30}, {"OBS", memo ? 'M' : 'C', memo ? 10 : 200}};
    DbfWriter w(path, d);
    const FormatSettings format;
    std::string text;
    for (long i = 0; i < rows; ++i) {
        text = "Observatia " + std::to_string(i) + "\r\n";
        if (i == 0 && memo)  // a long text of 80-character lines
            while (text.size() < kLongMemo) text += std::string(78, 'x') + "\r\n";
        text.resize(i == 0 && memo ? kLongMemo : 190, 'x');
        w.BeginRow();
        w.SetText(0, "POPESCU " + std::to_string(i), format);
        w.SetText(1, text, format);
        w.EndRow();
    }
    w.Commit();
}

double PageThrough(TForm1& form, int pages) {
    TDataGrid* grid = form.Grid1();
    Stopwatch sw;
    const int step = grid->viewport()->height() / grid->verticalHeader()->defaultSectionSize();
    for (int p = 0; p < pages; ++p) {
        grid->scrollTo(grid->model()->index(p * step, 1), QAbstractItemView::PositionAtTop);
        grid->viewport()->repaint();
    }
    return sw.Ms();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 200000;
    const int pages = 500;
    QtPlatform platform;
    TErori erori;
    TForm2 form2;
    for (const bool memo : {false, true}) {
        const std::string path =
            BenchFolder() + (memo ? "/orbelan_bench_memo.dbf" : "/orbelan_bench_nomemo.dbf");
        WriteTable(path, rows, memo);
        TForm1 form(platform);
        form.SetDialogs(&erori, &form2);
        form.SetArguments({path});
        form.resize(1000, 700);
        form.show();
        QApplication::processEvents();
        const double ms = PageThrough(form, pages);
        Report(memo ? "grid paged, OBS a memo" : "grid paged, OBS C(200)", ms,
               std::to_string(pages) + " screens, " + std::to_string(rows) + " rows");
        if (memo) {
            double openMs = -1;
            for (int k = 0; k < 5; ++k) {
                Stopwatch sw;
                QTimer::singleShot(0, [&] {
                    auto* memoForm = form.findChild<TMemoForm*>();
                    memoForm->grab();  // painted, not only shown
                    const double took = sw.Ms();
                    if (openMs < 0 || took < openMs) openMs = took;
                    if (memoForm->Editor()->toPlainText().size() < kLongMemo * 9 / 10)
                        std::fprintf(stderr, "memo window shows a short text\n");
                    memoForm->reject();
                });
                form.EditMemo(0, 1);
            }
            Report("open and paint the memo window (64 KB), best of 5", openMs);
        }
        form.close();
        std::filesystem::remove(path);
        std::filesystem::remove(path.substr(0, path.size() - 3) + "fpt");
    }
    return 0;
}
