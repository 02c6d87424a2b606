// Print engine speed: an A4 page holding a 10 x 10 grid of 512-box photo thumbnails with
// captions, rendered as a zoom-2 preview bitmap and as a 600 dpi printer page into a PDF.
//
//   print_bench [photo folder] [pages]
//
// Without a folder the corpus of bench/make-corpus is used when it is there, else the
// photographs of tests/data. Every cell gets a picture of its own (as the thumbnail database
// hands out a fresh bitmap per cell), so the PDF cannot share one image between cells. Figures are
// printed as ratios against the targets (preview 150 ms, printer page 1 s, 3 MB per page) and
// against a bare Qt reference measured in the same run: the same 100 pictures drawn straight onto
// the same device with QPainter::drawImage, without the layout engine.
#include "platform/PPrinter.h"
#include "report/LRBuilder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <cstdio>

namespace {
struct TThumb {
    QImage Image;
    QString Name;
};

std::vector<TThumb> LoadThumbnails(const QString& folder) {
    std::vector<TThumb> out;
    const QStringList files =
        QDir(folder).entryList({"*.jpg", "*.jpeg", "*.JPG", "*.JPEG"}, QDir::Files, QDir::Name);
    for (const QString& f : files) {
        QImageReader reader(folder + "/" + f);
        reader.setAutoTransform(false);
        QSize size = reader.size();
        if (!size.isValid())
            continue;
        size.scale(512, 512, Qt::KeepAspectRatio);
        reader.setScaledSize(size);
        QImage img = reader.read();
        if (img.isNull() || img.width() < 64 || img.height() < 64)
            continue; // tiny test pictures are not photographs
        out.push_back({img.convertToFormat(QImage::Format_RGB32), f});
    }
    return out;
}

// The contact-sheet-like page: a title, a 10 x 10 grid of framed thumbnails with captions.
struct TSheetLayout {
    TLightRep Rep;
    TLRGridPanel* Grid = nullptr;
    TLRItem* Frame = nullptr;
    TLRImage* Image = nullptr;
    TLRItem* Caption = nullptr;
    const std::vector<TThumb>* Thumbs = nullptr;
    int Page = 0;

    explicit TSheetLayout(const std::vector<TThumb>& thumbs) : Thumbs(&thumbs) {
        TLRBuilder b(&Rep);
        Rep.SetPaperSize(psNone);
        Rep.SetBounds(0, 0, 794, 1123);
        auto* base = b.Layout("BasePanel", &Rep, laClient);
        auto* title =
            b.Layout("TitlePanel", base, laTop, [](TLRLayoutPanel& p) { p.SetHeight(50); });
        b.Item2("Title", title, [](TLRItem2& i) {
            i.SetBounds(0, 0, 720, 45);
            i.Alignment = taCenter;
            i.Layout = tlBottom;
            i.WordWrap = true;
            i.SetFont(TLRFont::Points("IPAPGothic", 20));
            i.Text = "Contact sheet";
            i.LineBottom = lsSingle;
        });
        Grid = b.Grid("Grid", base, laClient, pdHorz,
                      [this](TLRGridPanel*, int col, int row, const TRect& r, TPrintStatus&) {
                          Cell(col, row, r);
                      });
        Grid->SetColCount(10);
        Grid->SetRowCount(10);
        Frame = b.Item("BackLine", Grid, [](TLRItem& i) {
            Lines(i, clSilver, lsSingle, lsSingle, lsSingle, lsSingle);
        });
        Image = b.Image("Image", Grid, [](TLRImage& i) { i.SetStretch(true); });
        Caption = b.Item("Comment", Grid, [](TLRItem& i) {
            i.Alignment = taCenter;
            i.WordWrap = true;
            i.SetFont(TLRFont::Pixels("IPAPGothic", 8));
        });
        b.Finish();
    }

    void Cell(int col, int row, const TRect& r) {
        const int w = r.Width(), h = r.Height();
        Frame->SetBounds(2, 2, w - 4, h - 4);
        const TThumb& t = (*Thumbs)[size_t(Page * 100 + row * 10 + col) % Thumbs->size()];
        Image->Picture().Bitmap().SetImage(t.Image.copy());
        FitLRImage(Image, Rect(5, 5, w - 5, h * 75 / 100));
        Caption->SetBounds(4, h * 75 / 100, w - 8, h * 22 / 100);
        Caption->Text = t.Name;
    }
};

double Now(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.gui.imageio.jpeg=false");
    QApplication app(argc, argv);
    QString folder = QStringLiteral(VELMORA_SOURCE_DIR "/bench/corpus/thumbnail");
    if (argc > 1)
        folder = QString::fromLocal8Bit(argv[1]);
    else if (!QDir(folder).exists())
        folder = QStringLiteral(VELMORA_SOURCE_DIR "/tests/data");
    const int pages = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    const std::vector<TThumb> thumbs = LoadThumbnails(folder);
    if (thumbs.empty()) {
        std::fprintf(stderr, "print_bench: no photographs in %s\n", qPrintable(folder));
        return 1;
    }
    std::printf("print_bench: %zu photographs from %s, %d pages, 100 thumbnails a page\n",
                thumbs.size(), qPrintable(folder), pages);
    TSheetLayout layout(thumbs);

    // Preview at zoom 2 (1588 x 2246 pixels).
    const int zoom = 2;
    double previewMs = 0;
    for (int p = 0; p < pages + 1; ++p) {
        QImage bitmap(layout.Rep.Width() * zoom, layout.Rep.Height() * zoom, QImage::Format_RGB32);
        QElapsedTimer t;
        t.start();
        bitmap.fill(Qt::white);
        QPainter painter(&bitmap);
        TLRCanvas canvas(&painter, 96);
        layout.Page = p;
        layout.Rep.PreviewZoom = zoom;
        layout.Rep.BeginPreview();
        layout.Rep.PreviewPage(canvas);
        layout.Rep.EndPreview();
        painter.end();
        if (p > 0) // the first page warms the caches up
            previewMs += Now(t);
        if (p == 1)
            bitmap.save(QDir::temp().filePath("print_bench_preview.png"));
    }
    previewMs /= pages;

    // Reference: the same pictures drawn straight onto the same bitmap.
    double refPreviewMs = 0;
    for (int p = 0; p < pages; ++p) {
        QImage bitmap(1588, 2246, QImage::Format_RGB32);
        QElapsedTimer t;
        t.start();
        bitmap.fill(Qt::white);
        QPainter painter(&bitmap);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (int i = 0; i < 100; ++i) {
            const QImage& img = thumbs[size_t(p * 100 + i) % thumbs.size()].Image;
            QSize s = img.size();
            s.scale(130, 160, Qt::KeepAspectRatio);
            painter.drawImage(QRect(QPoint(10 + (i % 10) * 144, 100 + (i / 10) * 210), s), img);
        }
        painter.end();
        refPreviewMs += Now(t);
    }
    refPreviewMs /= pages;

    // Printer page at 600 dpi into a PDF, through the printer service's file output.
    QTemporaryDir dir;
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("PRINT_BENCH_KEEP"));
    const QString pdf = dir.filePath("bench.pdf");
    TQtPrinter printer;
    printer.QueuePrinter()->setOutputFileName(pdf);
    printer.QueuePrinter()->setResolution(600);
    printer.QueuePrinter()->setPageSize(QPageSize(QPageSize::A4));
    printer.QueuePrinter()->setPageMargins(QMarginsF(0, 0, 0, 0));
    SetApplicationPrinter(&printer);
    layout.Rep.SetPrinter(&printer);
    QElapsedTimer t;
    t.start();
    layout.Rep.BeginDoc();
    for (int p = 0; p < pages; ++p) {
        if (p > 0)
            layout.Rep.NewPage();
        layout.Page = p;
        layout.Rep.PrintPage();
    }
    layout.Rep.EndDoc();
    const double printMs = Now(t) / pages;
    const double pdfMb = QFileInfo(pdf).size() / 1048576.0 / pages;
    const int printDpi = 600;

    // Reference: the same pictures drawn straight into a 600 dpi PDF.
    const QString refPdf = dir.filePath("reference.pdf");
    t.restart();
    {
        QPrinter ref(QPrinter::HighResolution);
        ref.setOutputFormat(QPrinter::PdfFormat);
        ref.setOutputFileName(refPdf);
        ref.setResolution(600);
        ref.setPageSize(QPageSize(QPageSize::A4));
        QPainter painter(&ref);
        for (int p = 0; p < pages; ++p) {
            if (p > 0)
                ref.newPage();
            for (int i = 0; i < 100; ++i) {
                const QImage& img = thumbs[size_t(p * 100 + i) % thumbs.size()].Image;
                QSize s = img.size();
                s.scale(390, 480, Qt::KeepAspectRatio);
                painter.drawImage(QRect(QPoint(30 + (i % 10) * 450, 300 + (i / 10) * 650), s), img);
            }
        }
    }
    const double refPrintMs = Now(t) / pages;
    const double refPdfMb = QFileInfo(refPdf).size() / 1048576.0 / pages;

    std::printf("preview zoom %d:   %8.1f ms/page  target 150 ms: %.2fx of target; "
                "bare drawImage reference %.1f ms: %.2fx\n",
                zoom, previewMs, previewMs / 150.0, refPreviewMs, previewMs / refPreviewMs);
    std::printf("printer %d dpi:  %8.1f ms/page  target 1000 ms: %.2fx of target; "
                "bare PDF reference %.1f ms: %.2fx\n",
                printDpi, printMs, printMs / 1000.0, refPrintMs, printMs / refPrintMs);
    std::printf("PDF size:        %8.2f MB/page  target 3 MB: %.2fx of target; "
                "bare PDF reference %.2f MB: %.2fx\n",
                pdfMb, pdfMb / 3.0, refPdfMb, pdfMb / refPdfMb);
    if (!dir.autoRemove())
        std::printf("PDFs kept in %s\n", qPrintable(dir.path()));
    std::printf("preview bitmap left in %s\n",
                qPrintable(QDir::temp().filePath("print_bench_preview.png")));
    return 0;
}
