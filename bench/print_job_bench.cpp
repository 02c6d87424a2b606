// Index card job speed: N photographs (default 1,000) on 10 x 10 cards, so 5 sheets of 200
// thumbnails, printed through the real job code (TprtThumbnailPrint, the page loop, the
// thumbnail database from a warm cache) into a 600 dpi PDF file.
//
//   print_job_bench [photo folder] [N]
//
// Without a folder the corpus of bench/make-corpus is used when it is there, else the
// photographs of tests/data; the N files are copies of them under numbered names, so each
// has a cache entry of its own. Figures, all measured in the same run:
//   - the job against the sum of its parts measured alone: every thumbnail's cache lookup
//     (with the copy the job makes), plus print_bench's bare page (the same pictures drawn
//     straight into a 600 dpi PDF with QPainter::drawImage) for each sheet; target 1.25;
//   - the settings window's miniature refresh after a control change (zoom 1, page 1, 200
//     cells) against its 100 ms target and against a bare zoom-1 page of drawImage calls;
//   - one preview-window page (render at the window's zoom and ShowPage) against 150 ms;
//   - ms and MB per printed sheet;
//   - the contact sheet at 10 x 10 (TprtContactSheetPrint, portrait) from the same warm cache
//     against its parts (target 1.25), ms and MB per page; and from a cold cache, where the
//     job makes every thumbnail, against making the same thumbnails alone (target 0.8).
#include "cache/CThumbnailDB.h"
#include "platform/PPrinter.h"
#include "printjobs/i_JobHost.h"
#include "printjobs/i_PrintThumbnail.h"
#include "printjobs/p_ContactSheetPrint.h"
#include "printjobs/p_ThumbnailPrint.h"
#include "report/i_Preview.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <cstdio>

namespace {
double Ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

QStringList SourcePhotos(const QString& folder) {
    QStringList out;
    for (const QString& f :
         QDir(folder).entryList({"*.jpg", "*.jpeg", "*.JPG"}, QDir::Files, QDir::Name)) {
        const QString path = folder + "/" + f;
        if (QFileInfo(path).size() > 8000) // tiny test pictures are not photographs
            out << path;
    }
    return out;
}

// print_bench's bare page: the pictures drawn straight into the PDF, fitted into cells.
void BarePage(QPainter& painter, const std::vector<QImage>& pictures, int first, int count) {
    for (int i = 0; i < count; ++i) {
        const QImage& img = pictures[size_t(first + i) % pictures.size()];
        QSize s = img.size();
        s.scale(390, 480, Qt::KeepAspectRatio);
        painter.drawImage(QRect(QPoint(30 + (i % 20) * 300, 300 + (i / 20) * 420), s / 1.5), img);
    }
}
// The contact sheet job, warm and cold; the printer writes PDF files into work.
void ContactSheetFigures(TQtPrinter& printer, TPrintItemVector& items, TThumbnailDB& warm,
                         const QTemporaryDir& work) {
    const int n = items.Count();
    QElapsedTimer t;
    printer.SetOrientation(TPrinterOrientationKind::Portrait);
    TprtContactSheetPrint sheet;
    sheet.SetPrinter(&printer);
    sheet.ItemList = &items;
    sheet.SetGridItem(TprtContactSheetPrint::GridSizeCount - 1); // 10 x 10
    sheet.SyncWithPrinter();
    const int pages = sheet.ComputePageCount();
    const int perPage = sheet.Columns() * sheet.Rows();

    // Parts alone: the lookups (best of two passes) and the bare pages.
    sheet.Pictures = DatabasePictures(&warm);
    std::vector<QImage> pictures(static_cast<size_t>(n));
    double lookupMs = 1e300;
    for (int pass = 0; pass < 2; ++pass) {
        t.restart();
        for (int i = 0; i < n; ++i)
            sheet.Pictures.Thumbnail(items.ItemInfo(i).value(2), pictures[size_t(i)]);
        lookupMs = std::min(lookupMs, Ms(t));
    }
    const QString refPdf = work.filePath("sheet_reference.pdf");
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
            BarePage(painter, pictures, p * perPage, std::min(perPage, n - p * perPage));
        }
    }
    const double bareMs = Ms(t);
    pictures.clear();

    const QString pdf = work.filePath("sheet.pdf");
    printer.QueuePrinter()->setOutputFileName(pdf);
    t.restart();
    sheet.PrintPages();
    const double jobMs = Ms(t);
    const double mb = QFileInfo(pdf).size() / 1048576.0;
    const double refMb = QFileInfo(refPdf).size() / 1048576.0;
    const double parts = lookupMs + bareMs;
    std::printf("contact sheet:  %8.0f ms for %d pages of %d (%.0f ms/page); parts alone %.0f ms "
                "(lookups %.0f + bare pages %.0f): %.2fx of the parts, target 1.25\n",
                jobMs, pages, perPage, jobMs / pages, parts, lookupMs, bareMs, jobMs / parts);
    std::printf("                %8.2f MB/page; bare pages %.2f MB/page: %.2fx\n", mb / pages,
                refMb / pages, mb / std::max(refMb, 1e-9));

    // Cold: a new, empty cache. The reference makes the same thumbnails alone in another one.
    auto freshDatabase = [&](const QString& name) {
        auto db = std::make_unique<TThumbnailDB>(nullptr, work.filePath(name) + "/");
        db->SetCacheDirectory(work.filePath(name + "/cache"));
        db->SetMaxSizeKB(4 * 1024 * 1024 - 1);
        db->SetWidth(512);
        db->SetHeight(512);
        return db;
    };
    QDir().mkpath(work.filePath("made"));
    QDir().mkpath(work.filePath("cold"));
    auto made = freshDatabase("made");
    t.restart();
    for (int i = 0; i < n; ++i)
        made->GetThumbnail(items.ItemInfo(i).value(2));
    const double makeMs = Ms(t);
    made.reset();
    auto cold = freshDatabase("cold");
    sheet.Pictures = DatabasePictures(cold.get());
    printer.QueuePrinter()->setOutputFileName(work.filePath("sheet_cold.pdf"));
    t.restart();
    sheet.PrintPages();
    const double coldMs = Ms(t);
    std::printf("  cold cache:   %8.0f ms (%.0f ms/page); making the %d thumbnails alone %.0f ms: "
                "%.2fx of its throughput, target 0.8\n",
                coldMs, coldMs / pages, n, makeMs, makeMs / coldMs);
    printer.SetOrientation(TPrinterOrientationKind::Landscape);
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
    const int n = argc > 2 ? std::max(1, atoi(argv[2])) : 1000;
    QStringList sources;
    {
        // Only pictures the thumbnail maker reads whole (tests/data holds damaged ones too).
        QTemporaryDir probeDir;
        TThumbnailDB probe(nullptr, probeDir.path() + "/");
        probe.SetCacheDirectory(probeDir.filePath("cache"));
        probe.SetMaxSizeKB(1024 * 1024);
        probe.SetWidth(512);
        probe.SetHeight(512);
        for (const QString& path : SourcePhotos(folder)) {
            try {
                if (probe.GetThumbnail(path))
                    sources << path;
            } catch (const std::exception&) {
            }
        }
    }
    if (sources.isEmpty()) {
        std::fprintf(stderr, "print_job_bench: no photographs in %s\n", qPrintable(folder));
        return 1;
    }

    QTemporaryDir work;
    const QString photos = work.filePath("photos");
    QDir().mkpath(photos);
    TPrintItemVector items;
    for (int i = 0; i < n; ++i) {
        const QString path = QString("%1/p%2.jpg").arg(photos).arg(i, 5, 10, QChar('0'));
        QFile::copy(sources[i % sources.size()], path);
        items.AddFile(path);
    }
    TThumbnailDB db(nullptr, work.path() + "/");
    db.SetCacheDirectory(work.filePath("cache"));
    db.SetMaxSizeKB(4 * 1024 * 1024 - 1);
    db.SetWidth(512); // the box the loader stores thumbnails in
    db.SetHeight(512);
    // Warm the cache: every thumbnail made and stored once.
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i)
        db.GetThumbnail(items.ItemInfo(i).value(2));
    std::printf("print_job_bench: %d photographs (copies of %d from %s); cache made in %.0f ms\n",
                n, int(sources.size()), qPrintable(folder), Ms(t));

    // The printer: a 600 dpi PDF file, A4 landscape, no unprintable margin.
    const QString pdf = work.filePath("job.pdf");
    TQtPrinter printer;
    printer.QueuePrinter()->setOutputFileName(pdf);
    printer.QueuePrinter()->setResolution(600);
    printer.QueuePrinter()->setPageSize(QPageSize(QPageSize::A4));
    printer.QueuePrinter()->setPageMargins(QMarginsF(0, 0, 0, 0));
    printer.SetOrientation(TPrinterOrientationKind::Landscape);
    SetApplicationPrinter(&printer);

    TprtThumbnailPrint layout;
    layout.SetPrinter(&printer);
    layout.ItemList = &items;
    layout.Pictures = DatabasePictures(&db);
    layout.SetGridSize(10);
    layout.SyncWithPrinter();
    const int sheets = layout.ComputePageCount();

    // Part 1 alone: every cache lookup with the copy the job makes (the best of two passes,
    // so both it and the job read the cache files from memory).
    for (int i = 0; i < n; ++i) {
        QImage img;
        layout.Pictures.Thumbnail(items.ItemInfo(i).value(2), img);
    }
    t.restart();
    std::vector<QImage> pictures;
    pictures.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        QImage img;
        layout.Pictures.Thumbnail(items.ItemInfo(i).value(2), img);
        pictures.push_back(img);
    }
    double lookupMs = Ms(t);

    // Part 2 alone: the bare page for each sheet, 200 pictures each, into a 600 dpi PDF.
    const QString refPdf = work.filePath("reference.pdf");
    t.restart();
    {
        QPrinter ref(QPrinter::HighResolution);
        ref.setOutputFormat(QPrinter::PdfFormat);
        ref.setOutputFileName(refPdf);
        ref.setResolution(600);
        ref.setPageSize(QPageSize(QPageSize::A4));
        ref.setPageOrientation(QPageLayout::Landscape);
        QPainter painter(&ref);
        for (int s = 0; s < sheets; ++s) {
            if (s > 0)
                ref.newPage();
            BarePage(painter, pictures, s * 200, std::min(200, n - s * 200));
        }
    }
    const double bareMs = Ms(t);
    pictures.clear();

    // The job.
    t.restart();
    layout.PrintPages();
    const double jobMs = Ms(t);
    // The lookups once more after the job: the machine's load varies, the best pass counts.
    t.restart();
    for (int i = 0; i < n; ++i) {
        QImage img;
        layout.Pictures.Thumbnail(items.ItemInfo(i).value(2), img);
    }
    lookupMs = std::min(lookupMs, Ms(t));
    const double jobMb = QFileInfo(pdf).size() / 1048576.0;
    const double refMb = QFileInfo(refPdf).size() / 1048576.0;

    ContactSheetFigures(printer, items, db, work);

    // The settings window's miniature after a control change (layout box to 10 x 10).
    TfrmPrintThumbnail window(&layout);
    window.CbLayout->setCurrentIndex(9);
    window.ApplySettings(); // warm
    double miniMs = 0;
    const int rounds = 10;
    for (int r = 0; r < rounds; ++r) {
        window.CbLayout->setCurrentIndex(r % 2 ? 9 : 8);
        t.restart();
        window.ApplySettings();
        if (r % 2)
            miniMs += Ms(t);
    }
    miniMs /= rounds / 2;
    // Its reference: 200 thumbnails drawn straight onto a zoom-1 page bitmap.
    double miniRefMs = 0;
    {
        std::vector<QImage> some;
        for (int i = 0; i < 200 && i < n; ++i) {
            QImage img;
            layout.Pictures.Thumbnail(items.ItemInfo(i).value(2), img);
            some.push_back(img);
        }
        t.restart();
        QImage page(1123, 794, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter p(&page);
        for (int i = 0; i < int(some.size()); ++i)
            p.drawImage(QRect(40 + (i % 20) * 45, 100 + (i / 20) * 39, 40, 30), some[size_t(i)]);
        p.end();
        miniRefMs = Ms(t) + lookupMs * 200 / n;
    }

    // One preview-window page: render at the window's zoom, hand it over. Page 1 was drawn
    // for the miniature already; the other sheets are measured on their first showing (every
    // thumbnail read from the cache) and on a later one, against the cache reads alone.
    frmPreview = new TfrmPreview;
    frmPreview->resize(576, 500);
    layout.Host = &WindowJobHost();
    layout.PageCount = sheets;
    auto render = [&](int page) {
        layout.CurrentPage = page;
        t.restart();
        layout.RenderPage();
        return Ms(t);
    };
    const double firstPageMs = render(1);
    double coldMs = 0, warmMs = 0;
    const int others = std::max(1, sheets - 1);
    for (int p = 2; p <= sheets; ++p)
        coldMs += render(p);
    for (int p = 2; p <= sheets; ++p)
        warmMs += render(p);
    coldMs /= others;
    warmMs /= others;
    const double pageLookupsMs = lookupMs * std::min(200, n) / n;

    const double parts = lookupMs + bareMs;
    std::printf("job:            %8.0f ms for %d sheets (%.0f ms/sheet); parts alone %.0f ms "
                "(lookups %.0f + bare pages %.0f): %.2fx of the parts, target 1.25\n",
                jobMs, sheets, jobMs / sheets, parts, lookupMs, bareMs, jobMs / parts);
    std::printf("PDF size:       %8.2f MB/sheet; bare pages %.2f MB/sheet: %.2fx\n", jobMb / sheets,
                refMb / sheets, jobMb / std::max(refMb, 1e-9));
    std::printf("miniature:      %8.1f ms (zoom 1, page 1, 200 cells): %.2fx of the 100 ms "
                "target; bare drawImage page with its lookups %.1f ms: %.2fx\n",
                miniMs, miniMs / 100.0, miniRefMs, miniMs / miniRefMs);
    std::printf("preview page:   %8.1f ms for page 1 after the miniature, %.1f ms for a page "
                "shown again: %.2fx and %.2fx of the 150 ms target\n",
                firstPageMs, warmMs, firstPageMs / 150.0, warmMs / 150.0);
    std::printf("                %8.1f ms on a page's first showing: %.2fx of the target, %.2fx "
                "of its %d cache reads alone (%.1f ms)\n",
                coldMs, coldMs / 150.0, coldMs / pageLookupsMs, std::min(200, n), pageLookupsMs);
    std::printf("                zoom %d, %d x %d pixels\n", layout.PreviewWindowZoom(),
                layout.LightRep()->Width() * layout.PreviewWindowZoom(),
                layout.LightRep()->Height() * layout.PreviewWindowZoom());
    delete frmPreview;
    frmPreview = nullptr;
    SetApplicationPrinter(nullptr);
    return 0;
}
