#pragma once
// The main window: wires its controls to the commands and implements the Ui port with the
// real windows. It holds no command logic.
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

#include "app/remembered.h"
#include "core/file_dialog.h"
#include "core/ui.h"
#include "core/workspace.h"
#include "export/export_windows.h"
#include "export/grid_export.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPrinter;
class QProgressBar;
class QPushButton;
class QToolButton;
class QWidget;

namespace orbelan {

class BalloonHint;
class PageLayout;
class TCodePageChooser;
class TCountWindow;
class TProfileWindow;
struct GroupCounts;
class TDataGrid;
class TErori;
class TForm2;
class TSelect2Col;
class TLbButton;
class Tfrm_ProgressForm;
class Tfrm_Selection;

// The file types "Importa din CSV sau Excel..." and the append take besides DBF.
std::string ImportSourceFilter();

class TForm1 : public QMainWindow, public Ui, public ExportWindows {
    Q_OBJECT
  public:
    TForm1(Platform& platform, QWidget* parent = nullptr);
    ~TForm1() override;

    // The dialogs are created after the main window, in start-up order.
    void SetDialogs(TErori* erori, TForm2* form2);
    void SetSelect2Col(TSelect2Col* select2col) { select2col_ = select2col; }
    // Command-line arguments (after the program name) for the first showing.
    void SetArguments(const std::vector<std::string>& args) { args_ = args; }

    Workspace& ws() { return ws_; }
    TDataGrid* Grid1() const { return grid_; }
    QMenu* Menu(const QString& name) const;

    // Test seams: answer the file dialogs and take the general error report without a window.
    std::function<std::optional<std::string>(const FileDialogRequest&)> fileDialogOverride;
    std::function<void(const std::string&)> errorReportOverride;
    bool TerminateRequested() const { return terminateRequested_; }

    // ---- messages, progress and window state (the ports of the commands)
    int Mesaj(const std::string& title, const std::string& text, uint8_t kind,
              uint16_t buttons) override;
    void ShowProblem(const std::string& text, UiControl control) override;
    void ShowError(const std::string& text) override;
    void SetTableGroupVisible(bool visible) override;
    void SetRowCounter(const std::string& text) override;
    void SetStatusText(const std::string& text) override;
    void SetApplicationTitle(const std::string& text) override;
    void SetColumnList(const std::vector<std::string>& names) override;
    void SetFilterText(const std::string& text) override;
    void SetFilterButtonDown(bool down) override;
    void Terminate() override;
    void ProcessMessages() override;
    void ProgressShow(int maximum) override;
    void ProgressSet(int position) override;
    void ProgressHide() override;
    void SetMainWindowEnabled(bool enabled) override;
    void SetBusyCursor(bool busy) override;
    void SetStopButtonVisible(bool visible) override;
    bool StopRequested() override { return stopRequested_; }
    // ---- the export engine's windows
    bool ChooseExportFormat(ExportChooserRequest& request) override;
    std::optional<std::string> AskSaveFile(const FileDialogRequest& request) override;
    void ExportProgressShow(const ExportProgressRequest& request) override;
    bool ExportProgressSet(int position) override;
    void ExportProgressHide() override;

    std::optional<std::string> AskOpenFile(const FileDialogRequest& request);
    Remembered& Places() { return remembered_; }

    // The export component and its two windows.
    TovDBGridExport& Exp1() { return *exp1_; }
    Tfrm_Selection* ExportChooser() const { return selection_; }
    Tfrm_ProgressForm* ExportProgress() const { return progress_; }
    // The grid's columns as the export sees them: order, titles, hidden ones, alignments.
    TovGrid GridColumns();

    // ---- handlers: each asks what its command needs (a column, a file), then runs it
    void FormShow();
    void FormClose();
    void BOpenClick();
    void Image2Click();
    void Filtru1Click();
    void FiltruEKeyDown(int key);
    void FindButClick();
    void Grid1TitleClick(int column);
    void CNPCheck();
    void AnDinCNP();
    void ExtrageDatadinCNP1Click();
    void LbButton3Click();
    void LbButton6Click();
    void LbButton7Click();
    void CopieVClick(QObject* sender);
    void SeparaNumePrenume();
    void ransformaColoanaDateinNumeric1Click();
    void Schimbadouacoloaneintreele1Click();
    void Stergeliniileselectate1Click();
    void Stergetoateliniileinjos1Click();
    void StergeIndex1Click();
    void ExpRTF(QObject* sender);  // the three items of PopupMenu3
    void ExportTabelP();
    void AddTabla();
    void ImportaClick();
    // The import preview of a CSV file or workbook (chosen, or dropped on the window).
    void ImportFile(const std::string& path);  // main_window_import.cpp
    void InformatCVS1Click();
    // F3: the last search again, from the row after the current one.
    void FindAgain();
    // A table from "Tabele recente"; one that is gone leaves the list with a message.
    void OpenRecent(const QString& path);
    void TabelNouClick();            // "Tabel nou...", Ctrl+N
    void StructuraTabeluluiClick();  // "Structura tabelului..."
    // "Tipareste...": the preview, then the printer or a PDF file.
    void Tiparire1Click();
    // Code pages (main_window_codepage.cpp): the status bar's page and its click, the two items.
    void CitesteCa1Click();
    void ConvertesteInAltCod1Click();
    void ShowPageStatus();
    // Memo texts, deleted rows, find and replace (main_window_memo.cpp).
    void EditMemo(int row, int column);
    void AratalinilesterseClick(bool on);
    void RecupereazaLinia1Click();
    void CautasiInlocuiesteClick();
    // "Profilul coloanei..." and "Numara pe valori..." for a column (a field index).
    void ProfilulColoanei1Click(int column);
    void NumaraPeValori1Click(int column);
    // "Compara cu alt tabel..." and "Completeaza din alt tabel..." (main_window_compare.cpp).
    void ComparaClick();
    void CompleteazaClick();
    // "Adauga doar liniile noi...": the append of the rows whose key the table lacks.
    void AdaugaLiniiNoiClick();

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildTopPanel();
    void BuildBottomPanel();
    void BuildMenus();
    void BuildImportMenu();
    void AppendImported(const std::string& path);
    // The key asked, then the append of path's rows whose key the table lacks.
    void AppendOnlyNew(const std::string& path);
    void BuildShortcuts();
    void BuildOpenMenu();  // the items of other files' commands come after "Deschide un DBF..."
    void AddRecentTablesMenu();  // and the recent tables last
    // The title click's sort from the keyboard: the grid menu sorts by the current column.
    void AddSortItem();
    void FillRecentMenu();
    // Tab goes from the top buttons to the grid, then the filter box and its buttons.
    void SetTabOrder();
    void NameForScreenReaders();
    // A table shown anew: it heads the recent list and gets the column layout it was left with.
    void TableShown();
    void BuildStructureMenu();  // main_window_structure.cpp
    // main_window_index.cpp
    void BuildIndexItems();
    void FillIndexOrderMenu();
    void VerificaIndexulClick();
    void RefaceIndexulClick();
    void AtaseazaIndexClick();
    void PrintPages(PageLayout& layout, QPrinter& printer, const std::string& title);
    void SavePagesAsPdf();
    void BuildMemoItems();
    // Anuleaza / Reface: in the grid's menu (captions naming the command) and Ctrl+Z / Ctrl+Y.
    void BuildUndo();
    void UndoClick(bool redo);
    // F5: the table read again from its file, as another program may have changed it.
    void ReopenFromDisk();
    QMenu* AddMenu(const QString& name);
    void AddItem(QMenu* menu, const QString& name, const QString& caption,
                 std::function<void()> handler);
    // Runs a command; a failure it doesn't catch becomes the general error report. While it
    // runs, other commands are refused and the grid can't be moved or edited.
    void Run(const std::function<void()>& command);
    void SetBusy(bool busy);
    // The column chooser under the caption, once the open table's pending edit is posted; the
    // chosen column, or nothing when there is no table or the user closed the chooser.
    std::optional<std::string> AskColumn(const QString& caption);
    void PreselectCurrentColumn();
    // The open dialog of "Deschide un DBF" and of the append's source.
    std::optional<std::string> AskDbfFile();
    // 800 x 600 is the size of the whole window; the frame is taken off the inside.
    void FitOuterSize();
    void LayOutBar();
    void BuildCodePageParts();
    // main_window_profile.cpp
    void BuildProfileParts();
    void FilterFromProfile(const std::string& condition);
    void ExportCounts(const GroupCounts& counts);
    void FitWhenFramed();
    void QueuePosition();
    void ShowPosition();

    Workspace ws_;
    std::vector<std::string> args_;
    bool shown_ = false;
    bool terminateRequested_ = false;
    bool busy_ = false;  // a command runs; its loop lets window messages through
    QElapsedTimer sinceMessages_;
    QElapsedTimer sinceShown_;

    TErori* erori_ = nullptr;
    TForm2* form2_ = nullptr;
    TSelect2Col* select2col_ = nullptr;
    BalloonHint* balloon_ = nullptr;

    QWidget* panel2_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* position_ = nullptr;  // "Linia 1.234 din 30.000"
    bool positionQueued_ = false;
    QGroupBox* tablou_ = nullptr;
    QLabel* image2_ = nullptr;
    TDataGrid* grid_ = nullptr;
    QWidget* panel1_ = nullptr;
    QLineEdit* filtruE_ = nullptr;
    QToolButton* filtru1_ = nullptr;
    QToolButton* findBut_ = nullptr;
    TLbButton* openButton_ = nullptr;
    QPointer<QWidget> focusBeforeCommand_;
    QProgressBar* bar1_ = nullptr;
    QPushButton* stop_ = nullptr;  // "&Renunt" beside the bar
    bool stopRequested_ = false;
    QLabel* status_ = nullptr;
    QPushButton* pageStatus_ = nullptr;  // "cp852 (detectat)"; a click reads the table as ...
    TCodePageChooser* pageChooser_ = nullptr;
    QMenu* popupMenu1_ = nullptr;
    QMenu* indexOrderMenu_ = nullptr;
    QMenu* openMenu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    Remembered remembered_;
    QString lastShownTable_;
    std::optional<std::pair<std::string, std::string>> lastFind_;  // column, value
    QMenu* gridMenu_ = nullptr;  // the grid's right-click menu: PopupMenu1's items and undo
    std::unique_ptr<TovDBGridExport> exp1_;
    Tfrm_Selection* selection_ = nullptr;
    Tfrm_ProgressForm* progress_ = nullptr;
    QMenu* titleMenu_ = nullptr;  // the column titles' right-click menu
    int titleMenuColumn_ = -1;
    TProfileWindow* profileWindow_ = nullptr;
    TCountWindow* countWindow_ = nullptr;
};

}  // namespace orbelan
