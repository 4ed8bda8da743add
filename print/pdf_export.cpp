#include "print/pdf_export.h"

#include <QGuiApplication>
#include <QIODevice>
#include <QPdfWriter>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "engine/file_io.h"
#include "engine/utf8.h"
#include "export/custom_export.h"
#include "export/pdf_port.h"
#include "print/page_layout.h"

namespace orbelan {
namespace {

// The rows handed over by the engine, in a scratch file that goes away with it: a million rows
// would not fit in memory beside the pages.
class SpilledRows : public PrintRows {
  public:
    SpilledRows() : file_(std::tmpfile()) {
        if (!file_) throw std::runtime_error("Nu se poate crea un fisier temporar pentru PDF.");
    }
    ~SpilledRows() override { std::fclose(file_); }
    SpilledRows(const SpilledRows&) = delete;
    SpilledRows& operator=(const SpilledRows&) = delete;

    void Add(const TovRow& row) {
        offsets_.push_back(end_);
        buffer_.clear();
        for (const TovCell& cell : row.cells) {
            const auto n = static_cast<uint32_t>(cell.text.size());
            buffer_.append(reinterpret_cast<const char*>(&n), sizeof n);
            buffer_.append(cell.text);
        }
        if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
            throw std::runtime_error("Nu se poate scrie fisierul temporar al PDF-ului.");
        end_ += buffer_.size();
        writing_ = true;
    }
    int Count() override { return static_cast<int>(offsets_.size()); }
    void Read(int row, std::vector<std::string>& cells, const std::vector<bool>*) override {
        const auto i = static_cast<size_t>(row);
        const uint64_t from = offsets_[i], to = i + 1 < offsets_.size() ? offsets_[i + 1] : end_;
        if (writing_ || from != position_) {
            std::fflush(file_);
            std::fseek(file_, static_cast<long>(from), SEEK_SET);
            writing_ = false;
        }
        buffer_.resize(to - from);
        if (std::fread(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
            throw std::runtime_error("Nu se poate citi fisierul temporar al PDF-ului.");
        position_ = to;
        cells.clear();
        for (size_t at = 0; at + sizeof(uint32_t) <= buffer_.size();) {
            uint32_t n = 0;
            std::memcpy(&n, buffer_.data() + at, sizeof n);
            at += sizeof n;
            cells.emplace_back(buffer_, at, n);
            at += n;
        }
    }

  private:
    std::FILE* file_;
    std::vector<uint64_t> offsets_;
    uint64_t end_ = 0, position_ = 0;
    bool writing_ = false;
    std::string buffer_;
};

// The scratch file beside the target, as a device the PDF writer streams into.
class TempFileDevice : public QIODevice {
  public:
    explicit TempFileDevice(TempFile& file) : file_(file) { open(QIODevice::WriteOnly); }
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 n) override {
        try {
            file_.Write(data, static_cast<size_t>(n));
        } catch (const std::exception& e) {
            failure_ = e.what();
            return -1;
        }
        return n;
    }

  public:
    std::string failure_;

  private:
    TempFile& file_;
};

class PdfWriter : public TovFormatWriter {
  public:
    PdfWriter(TovCustomExport& engine, const std::string& target)
        : TovFormatWriter(engine), target_(target) {}

    void Begin() override {
        for (int column = 0; column < x.ColumnCount(); ++column) {
            if (!x.ColumnShown(column)) continue;
            columns_.push_back(
                {x.ColumnCaption(column), x.ColumnChars(column), x.ColumnAlignment(column), true});
        }
    }

    void Row(const TovRow& row) override {
        if (row.caption) {
            for (size_t i = 0; i < row.cells.size() && i < columns_.size(); ++i)
                columns_[i].caption = std::string(row.cells[i].text);
            return;
        }
        // A value longer than its column's width, or on several lines, makes the column wrap.
        for (size_t i = 0; i < row.cells.size() && i < columns_.size(); ++i) {
            PrintColumn& c = columns_[i];
            const std::string_view text = row.cells[i].text;
            if (c.fitsChars && (text.size() > static_cast<size_t>(c.chars) ||
                                text.find_first_of("\r\n") != std::string_view::npos))
                c.fitsChars = utf8::CharCount(text) <= static_cast<size_t>(c.chars) &&
                              text.find_first_of("\r\n") == std::string_view::npos;
        }
        rows_.Add(row);
    }

    void End() override {
        PrintHeading heading{x.DocumentName(), x.ShownFilter(), x.CreatedLine()};
        PageLayout layout(columns_, rows_, heading);
        if (const auto& sheet = x.PdfPaper) {
            const bool wide = sheet->width > sheet->height;
            const QPageSize paper(QSizeF(std::min(sheet->width, sheet->height),
                                         std::max(sheet->width, sheet->height)),
                                  QPageSize::Point);
            layout.SetPaper(
                QPageLayout(paper, wide ? QPageLayout::Landscape : QPageLayout::Portrait,
                            QMarginsF(sheet->left, sheet->top, sheet->right, sheet->bottom),
                            QPageLayout::Point),
                true);
        }
        const bool progress = x.Options.Has(xoShowProgress);
        const int rows = rows_.Count();
        const bool whole = WritePdf(layout, target_, heading.title, [&](int done, int pages) {
            if (!progress) return true;
            const auto position =
                static_cast<int>(static_cast<int64_t>(rows) * done / std::max(1, pages));
            return x.windows().ExportProgressSet(position);
        });
        if (!whole) throw ExportCancelled{};
    }

  private:
    std::string target_;
    std::vector<PrintColumn> columns_;
    SpilledRows rows_;
};

std::unique_ptr<TovFormatWriter> MakeWriterWithApplication(TovCustomExport& engine,
                                                           const std::string& target) {
    EnsurePdfApplication();
    return MakeQtPdfWriter(engine, target);
}

}  // namespace

bool WritePdf(PageLayout& layout, const std::string& target, const std::string& title,
              const std::function<bool(int, int)>& progress) {
    TempFile file(target);
    {
        TempFileDevice device(file);
        QPdfWriter pdf(&device);
        pdf.setResolution(72);
        pdf.setCreator(QStringLiteral("DBF Orbelan"));
        pdf.setTitle(QString::fromStdString(title));
        bool stopped = false;
        const bool whole = layout.PaintAll(pdf, [&](int done, int pages) {
            stopped = progress && !progress(done, pages);
            return !stopped;
        });
        if (!device.failure_.empty()) throw std::runtime_error(device.failure_);
        if (stopped) return false;  // the scratch file goes with `file`
        if (!whole)
            throw std::runtime_error("Paginile PDF nu au putut fi scrise in " + target + ".");
    }
    file.Finish();
    file.RenameOverTarget();
    return true;
}

std::unique_ptr<TovFormatWriter> MakeQtPdfWriter(TovCustomExport& engine,
                                                 const std::string& target) {
    return std::make_unique<PdfWriter>(engine, target);
}

void EnsurePdfApplication() {
    if (QGuiApplication::instance() != nullptr) return;
    // Fonts need an application; the command line has no display to ask for one.
    static int argc = 3;
    static char name[] = "orbelan", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    // Qt's own notes (no runtime folder, ...) are not the command's messages.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    });
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

void InstallPdfExport() {
    SetPdfWriterMaker(&MakeWriterWithApplication);
}

}  // namespace orbelan
