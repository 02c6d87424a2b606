#include "c_PrintCommand.h"

#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "Common/c_Rotate.h"
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "cache/CThumbnailDB.h"
#include "platform/PPrinter.h"
#include "printjobs/c_PrintSettings.h"
#include "printjobs/p_ContactSheetPrint.h"
#include "printjobs/p_JacketPrint.h"
#include "printjobs/p_ThumbnailPrint.h"
#include "report/LRPdfPrinter.h"
#include "services/CException.h"
#include "services/CIniFile.h"
#include "services/CThDebug.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

const char* const Program = "velmora print: ";

// A failure of the command: its one line for standard error and the exit status.
struct TCommandError {
    QString Text;
    int Status = 1;
};

void Print(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

QString KindName(TPrintKind kind) {
    switch (kind) {
    case TPrintKind::ContactSheet:
        return QStringLiteral("contact sheet");
    case TPrintKind::BackCard:
        return QStringLiteral("back card");
    default:
        return QStringLiteral("index card");
    }
}

// The layout box's last item index of each job.
int LastLayout(TPrintKind kind) {
    switch (kind) {
    case TPrintKind::ContactSheet:
        return 25;
    case TPrintKind::BackCard:
        return 3;
    default:
        return 9;
    }
}

const TPrintSection& SectionOf(TPrintKind kind) {
    switch (kind) {
    case TPrintKind::ContactSheet:
        return ContactSheetSection();
    case TPrintKind::BackCard:
        return BackCardSection();
    default:
        return IndexCardSection();
    }
}

// Progress on standard error: a bar redrawn in place on a terminal, one line per page
// otherwise. Messages of the job flow are answered as a person who chose "OK" would.
class TCommandHost : public TPrintJobHost {
public:
    TprtPrintBase* Job = nullptr;
    int FromPage = 0, ToPage = 0;
    QString RangeError;
    QStringList Unreadable;

    int Message(const QString&, bool) override { return 1; }
    bool PrintDialog(TPrintRange& range, bool) override {
        if (!range.PageNums || FromPage == 0) {
            range.FromPage = range.MinPage;
            range.ToPage = range.MaxPage;
            return true;
        }
        if (FromPage > range.MaxPage || ToPage > range.MaxPage) {
            RangeError = QStringLiteral("the page range %1-%2 lies outside the job's %3 %4.")
                             .arg(FromPage)
                             .arg(ToPage)
                             .arg(range.MaxPage)
                             .arg(range.MaxPage == 1 ? "page" : "pages");
            return false;
        }
        range.FromPage = FromPage;
        range.ToPage = ToPage;
        return true;
    }
    void ProgressShow() override { FShown = 0; }
    void ProgressSet(int percent) override {
        if (!Job || percent == 0)
            return;
        const int page = Job->CurrentPage, count = Job->PageCount;
        if (FTerminal) {
            const int width = 30;
            const int filled = percent * width / 100;
            Print(QStringLiteral("\rPrinting [%1%2] page %3 of %4")
                      .arg(QString(filled, QLatin1Char('#')),
                           QString(width - filled, QLatin1Char('-')))
                      .arg(page)
                      .arg(count));
        } else {
            Print(QStringLiteral("page %1 of %2\n").arg(page).arg(count));
        }
        ++FShown;
    }
    // A line of its own, also while the bar is drawn.
    void Note(const QString& text) {
        if (FTerminal && FShown > 0)
            Print(QStringLiteral("\n"));
        FShown = 0;
        Print(text);
    }
    bool ProgressCancelled() override { return false; }
    void ProgressClose() override {
        if (FTerminal && FShown > 0)
            Print(QStringLiteral("\n"));
        FShown = 0;
    }
    void PreviewShowPage(const QImage&, int, int) override {}
    void PreviewRun(const TPreviewHooks&) override {}

private:
    bool FTerminal = ::isatty(2) == 1;
    int FShown = 0;
};

bool ParseInt(const QString& text, int& value) {
    bool ok = false;
    value = text.toInt(&ok, 10);
    return ok && !text.startsWith(QLatin1Char('+'));
}

// Checks that the PDF file can be made where it is asked for, before any work is done;
// the probe leaves nothing behind.
void CheckPdfTarget(const QString& file) {
    const QFileInfo info(file);
    if (info.isDir())
        throw TCommandError{
            QStringLiteral("cannot write the PDF file \"%1\": it is a folder.").arg(file)};
    if (!info.dir().exists())
        throw TCommandError{
            QStringLiteral("cannot write the PDF file \"%1\": the folder \"%2\" does not exist.")
                .arg(file, info.dir().path())};
    QSaveFile probe(file);
    if (!probe.open(QIODevice::WriteOnly))
        throw TCommandError{
            QStringLiteral("cannot write the PDF file \"%1\": %2.").arg(file, probe.errorString())};
    probe.cancelWriting();
}

// The folder's items as the window's grid holds them after loading: listed, described
// and ordered by the loader's own steps.
void ListItems(const QString& folder, TThumbnailDB& db, int sortMode, TPrintItemVector& items) {
    const QStringList paths = ListFolderImages(folder);
    auto source = MakeDatabaseSource(&db);
    source->SetBox(TImageListThread::StoreBoxSize, TImageListThread::StoreBoxSize);
    for (const QString& path : paths) {
        TPrintItemVector::TItem item;
        item.Info = DescribeItem(source.get(), path);
        item.FileName = item.Info[1];
        SetCaptionLine(sortMode, item.Info);
        items.Items.push_back(item);
    }
    TThumbListView::ExchangeSort(
        items.Count(),
        [&](int a, int b) { return ItemAfter(sortMode, items.Items[a].Info, items.Items[b].Info); },
        [&](int a, int b) { std::swap(items.Items[a], items.Items[b]); });
}

// The font of the folder path strip: the system's GUI font, as in the settings windows.
TLRFont GuiFont() {
    const QFont gui = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    return TLRFont::Points(gui.family(), gui.pointSize() > 0 ? gui.pointSize() : 9);
}

// The stored file-name size, or the section's default when it holds no size.
int FileFontOf(const TPrintSettings& s, const TPrintSection& section) {
    const int size = FileFontSizeOf(s.FileFontSize);
    return size > 0 ? size : FileFontSizeOf(section.FileFontSize);
}

// The window's ApplySettings of the index card, from stored settings.
void ApplyIndexCard(TprtThumbnailPrint& job, const TPrintSettings& s, const QString& folder) {
    job.SetGridSize(s.Layout >= 0 && s.Layout <= 9 ? s.Layout + 1 : 6);
    job.SetLabelColor(s.BackColor);
    job.SetTitle(s.Title, FontToLR(s.Font));
    job.SetPath(folder, GuiFont(), FileFontOf(s, IndexCardSection()));
    job.ShowFileName = s.FNShow;
    job.CurrentPage = 1;
}

int RunPrint(const TPrintOptions& o) {
    // The cache and the stored settings of the window.
    LoadDebugSettings(ResolveAppDir());
    LoadConfiguration();
    TPrintSettings s =
        ReadPrintSettings(*IniFile, SectionOf(o.Kind), QStringLiteral("ＭＳ Ｐゴシック"), 128);
    if (o.Layout)
        s.Layout = *o.Layout;
    if (o.Title)
        s.Title = *o.Title;
    if (o.Color)
        s.BackColor = *o.Color;
    if (o.NoFileNames)
        s.FNShow = false;
    if (o.NoDates)
        s.DateShow = false;
    if (o.Rotate)
        s.RotateCount = *o.Rotate;

    // What is printed.
    const QString target = QFileInfo(o.Target).absoluteFilePath();
    const QFileInfo targetInfo(target);
    if (o.Kind == TPrintKind::BackCard) {
        if (!targetInfo.exists())
            throw TCommandError{QStringLiteral("the picture \"%1\" does not exist.").arg(o.Target)};
        if (targetInfo.isDir() || !ExtensionList.contains(GetLowerExt(target)))
            throw TCommandError{QStringLiteral("\"%1\" is not a picture Velmora prints (%2).")
                                    .arg(o.Target, ExtensionList.join(QStringLiteral(", ")))};
    } else {
        if (!targetInfo.exists())
            throw TCommandError{QStringLiteral("the folder \"%1\" does not exist.").arg(o.Target)};
        if (!targetInfo.isDir())
            throw TCommandError{QStringLiteral("\"%1\" is not a folder.").arg(o.Target)};
        if (ListFolderImages(target).isEmpty())
            throw TCommandError{QStringLiteral("the folder \"%1\" holds no pictures (%2).")
                                    .arg(o.Target, ExtensionList.join(QStringLiteral(", ")))};
    }

    // Where it goes.
    std::unique_ptr<TPdfPrinter> pdf;
    TPrinter* printer = nullptr;
    if (!o.PdfFile.isEmpty()) {
        const QString file = QFileInfo(o.PdfFile).absoluteFilePath();
        CheckPdfTarget(file);
        pdf = std::make_unique<TPdfPrinter>();
        pdf->FileName = file;
        pdf->SetDefaultPaper(o.Paper == QLatin1String("letter") ? QPageSize::Letter
                                                                : QPageSize::A4);
        printer = pdf.get();
    } else {
        const QStringList queues = QPrinterInfo::availablePrinterNames();
        if (queues.isEmpty())
            throw TCommandError{QStringLiteral(
                "no print queue is installed; use --pdf FILE to write a PDF file instead.")};
        QString queue = o.Queue;
        if (queue.isEmpty()) {
            queue = QPrinterInfo::defaultPrinter().printerName();
            if (queue.isEmpty())
                queue = queues.first();
        } else if (!queues.contains(queue)) {
            throw TCommandError{QStringLiteral("there is no print queue \"%1\" (queues: %2).")
                                    .arg(queue, queues.join(QStringLiteral(", ")))};
        }
        TQtPrinter& system = SystemPrinter();
        system.SetPrinterIndex(int(system.Printers().indexOf(queue)));
        if (!o.Paper.isEmpty())
            system.QueuePrinter()->setPageSize(
                QPageSize(o.Paper == QLatin1String("letter") ? QPageSize::Letter : QPageSize::A4));
        printer = &system;
    }
    TPrinter* old = SetApplicationPrinter(printer);
    struct TRestore {
        TPrinter* Old;
        ~TRestore() { SetApplicationPrinter(Old); }
    } restore{old};

    TThumbnailDB db(nullptr, AppDir);
    db.SetCacheDirectory(CacheDir);
    db.SetMaxSizeKB(CacheSizeKB);
    db.SetWidth(TImageListThread::StoreBoxSize);
    db.SetHeight(TImageListThread::StoreBoxSize);

    TCommandHost host;
    host.FromPage = o.FromPage;
    host.ToPage = o.ToPage;
    TPrintPictures pictures = DatabasePictures(&db);
    pictures.FileIcon = DrawFileIcon;
    const auto thumbnail = pictures.Thumbnail;
    pictures.Thumbnail = [&](const QString& path, QImage& bitmap) {
        bool ok = false;
        try {
            ok = thumbnail(path, bitmap);
        } catch (...) {
        }
        if (!ok && !host.Unreadable.contains(path)) {
            host.Unreadable << path;
            if (o.Kind != TPrintKind::BackCard)
                host.Note(QString::fromLatin1(Program) +
                          QStringLiteral("cannot read the picture \"%1\"; its cell stays empty.\n")
                              .arg(path));
        }
        return ok;
    };

    TPrintItemVector items;
    std::unique_ptr<TprtPrintBase> job;
    std::function<void()> apply;
    if (o.Kind == TPrintKind::BackCard) {
        // The picture as the main window hands it over: its cached thumbnail, or the file
        // type's icon for a video; turned as the window turns it.
        QImage picture;
        if (GetLowerExt(target) == QLatin1String("avi"))
            pictures.FileIcon(target, picture);
        else
            pictures.Thumbnail(target, picture);
        if (picture.isNull())
            throw TCommandError{QStringLiteral("cannot read the picture \"%1\".").arg(o.Target)};
        for (int i = 0; i < ((s.RotateCount % 4) + 4) % 4; ++i)
            RotateBitmap(picture, 3, 0xFFFFFF);
        auto jacket = std::make_unique<TprtJacketPrint>();
        TprtJacketPrint* j = jacket.get();
        j->Pictures = pictures;
        j->SetPicture(picture);
        printer->SetOrientation(TPrinterOrientationKind::Portrait);
        apply = [j, &s] {
            j->SetLabelColor(s.BackColor);
            j->SetTitle(s.Title, FontToLR(s.Font));
            j->SetLayoutKind(TprtJacketPrint::KindOfItem(s.Layout));
            j->SyncWithPrinter();
        };
        job = std::move(jacket);
    } else if (o.Kind == TPrintKind::ContactSheet) {
        ListItems(target, db, o.Sort.value_or(0), items);
        auto sheet = std::make_unique<TprtContactSheetPrint>();
        TprtContactSheetPrint* c = sheet.get();
        c->Pictures = pictures;
        printer->SetOrientation(TPrinterOrientationKind::Portrait);
        c->SyncWithPrinter();
        apply = [c, &s, target] {
            c->SetGridItem(s.Layout >= 0 && s.Layout < TprtContactSheetPrint::GridSizeCount
                               ? s.Layout
                               : ContactSheetSection().Layout);
            c->SetLabelColor(s.BackColor);
            c->SetTitle(s.Title, FontToLR(s.Font));
            c->SetPath(target, GuiFont(), FileFontOf(s, ContactSheetSection()));
            c->ShowFileName = s.FNShow;
            c->ShowDate = s.DateShow;
            c->CurrentPage = 1;
        };
        job = std::move(sheet);
    } else {
        ListItems(target, db, o.Sort.value_or(0), items);
        auto card = std::make_unique<TprtThumbnailPrint>();
        TprtThumbnailPrint* t = card.get();
        t->Pictures = pictures;
        printer->SetOrientation(TPrinterOrientationKind::Landscape);
        t->SyncWithPrinter();
        apply = [t, &s, target] { ApplyIndexCard(*t, s, target); };
        job = std::move(card);
    }
    job->Host = &host;
    host.Job = job.get();
    job->ItemList = &items;
    apply();
    // A relayout in the print flow re-applies the settings, as the settings windows do.
    job->OnApplySettings = apply;
    job->LightRep()->Title = QStringLiteral("Velmora ") + KindName(o.Kind);

    bool sent = false;
    try {
        sent = job->Print();
    } catch (const std::exception& e) {
        throw TCommandError{QString::fromUtf8(e.what())};
    }
    if (!host.RangeError.isEmpty())
        throw TCommandError{host.RangeError};
    if (!sent)
        throw TCommandError{QStringLiteral("nothing was printed.")};
    if (pdf)
        Print(QStringLiteral("%1 %2 written to %3\n")
                  .arg(pdf->PageCount())
                  .arg(pdf->PageCount() == 1 ? "page" : "pages", pdf->FileName));
    return 0;
}

} // namespace

QString VersionText() {
    return QStringLiteral("velmora " VELMORA_VERSION);
}

QString UsageText() {
    return QStringLiteral(
        "Usage: velmora [FOLDER]\n"
        "       velmora print index-card    FOLDER [options]\n"
        "       velmora print contact-sheet FOLDER [options]\n"
        "       velmora print back-card     IMAGE  [options]\n"
        "\n"
        "Without a command, Velmora opens its window on FOLDER (default: your home folder).\n"
        "`velmora print` prints the same page layouts without any window.\n"
        "\n"
        "Options of velmora print:\n"
        "  -o, --pdf FILE        write a PDF file instead of printing (no print server needed)\n"
        "  -P, --printer QUEUE   print on this queue (default: the system's default queue)\n"
        "      --paper a4|letter paper size (default: the queue's default; A4 for --pdf)\n"
        "      --pages FROM-TO   page range (index card, contact sheet)\n"
        "      --layout N        the layout box's item index, as stored in \"Layout\"\n"
        "                        (index card 0-9, contact sheet 0-25, back card 0-3)\n"
        "      --title TEXT      title\n"
        "      --color RRGGBB    label colour\n"
        "      --sort name|size|date\n"
        "      --no-file-names   leave out the file names (index card, contact sheet)\n"
        "      --no-dates        leave out the dates (contact sheet)\n"
        "      --rotate N        quarter turns clockwise, 0-3 (back card)\n"
        "  -h, --help            show this help and exit\n"
        "  -V, --version         show the version and exit\n"
        "\n"
        "Every setting not given comes from the job's section of Thumbnail.ini, as last saved\n"
        "in its settings window. Exit status: 0 printed, 1 failed, 2 bad usage.\n");
}

bool ParsePrintArguments(const QStringList& args, TPrintOptions& o, QString& error) {
    o = TPrintOptions();
    QStringList positional;
    bool kindGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        bool inlineValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            value = arg.section(QLatin1Char('='), 1);
            arg = arg.section(QLatin1Char('='), 0, 0);
            inlineValue = true;
        }
        const auto takeValue = [&](QString& out) {
            if (inlineValue) {
                out = value;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = QStringLiteral("the option %1 needs a value.").arg(arg);
                return false;
            }
            out = args[++i];
            return true;
        };
        const auto noValue = [&] {
            if (inlineValue)
                error = QStringLiteral("the option %1 takes no value.").arg(arg);
            return !inlineValue;
        };
        QString v;
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            o.Help = true;
            return true;
        } else if (arg == QLatin1String("-V") || arg == QLatin1String("--version")) {
            o.Version = true;
            return true;
        } else if (arg == QLatin1String("-o") || arg == QLatin1String("--pdf")) {
            if (!takeValue(v))
                return false;
            if (v.isEmpty()) {
                error = QStringLiteral("the option %1 needs a file name.").arg(arg);
                return false;
            }
            o.PdfFile = v;
        } else if (arg == QLatin1String("-P") || arg == QLatin1String("--printer")) {
            if (!takeValue(v))
                return false;
            o.Queue = v;
        } else if (arg == QLatin1String("--paper")) {
            if (!takeValue(v))
                return false;
            v = v.toLower();
            if (v != QLatin1String("a4") && v != QLatin1String("letter")) {
                error = QStringLiteral("invalid paper \"%1\" (a4 or letter).")
                            .arg(value.isEmpty() ? args[i] : value);
                return false;
            }
            o.Paper = v;
        } else if (arg == QLatin1String("--pages")) {
            if (!takeValue(v))
                return false;
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^(\\d{1,6})(?:-(\\d{1,6}))?$")).match(v);
            const int from = m.hasMatch() ? m.captured(1).toInt() : 0;
            const int to =
                m.hasMatch() ? (m.captured(2).isEmpty() ? from : m.captured(2).toInt()) : 0;
            if (!m.hasMatch() || from < 1 || to < from) {
                error = QStringLiteral("invalid page range \"%1\" (FROM-TO with 1 <= FROM <= TO, "
                                       "e.g. 2-3).")
                            .arg(v);
                return false;
            }
            o.FromPage = from;
            o.ToPage = to;
        } else if (arg == QLatin1String("--layout")) {
            if (!takeValue(v))
                return false;
            int n = 0;
            if (!ParseInt(v, n)) {
                error = QStringLiteral("invalid layout \"%1\" (a number).").arg(v);
                return false;
            }
            o.Layout = n;
        } else if (arg == QLatin1String("--title")) {
            if (!takeValue(v))
                return false;
            o.Title = v;
        } else if (arg == QLatin1String("--color") || arg == QLatin1String("--colour")) {
            if (!takeValue(v))
                return false;
            QString hex = v.startsWith(QLatin1Char('#')) ? v.mid(1) : v;
            bool ok = hex.size() == 6 &&
                      QRegularExpression(QStringLiteral("^[0-9A-Fa-f]{6}$")).match(hex).hasMatch();
            if (!ok) {
                error =
                    QStringLiteral("invalid colour \"%1\" (RRGGBB in hexadecimal, e.g. 9999FF).")
                        .arg(v);
                return false;
            }
            const uint32_t rgb = hex.toUInt(nullptr, 16);
            o.Color = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
        } else if (arg == QLatin1String("--sort")) {
            if (!takeValue(v))
                return false;
            const QStringList modes{"name", "size", "date"};
            const int mode = int(modes.indexOf(v.toLower()));
            if (mode < 0) {
                error = QStringLiteral("invalid sort order \"%1\" (name, size or date).").arg(v);
                return false;
            }
            o.Sort = mode;
        } else if (arg == QLatin1String("--no-file-names")) {
            if (!noValue())
                return false;
            o.NoFileNames = true;
        } else if (arg == QLatin1String("--no-dates")) {
            if (!noValue())
                return false;
            o.NoDates = true;
        } else if (arg == QLatin1String("--rotate")) {
            if (!takeValue(v))
                return false;
            int n = 0;
            if (!ParseInt(v, n) || n < 0 || n > 3) {
                error = QStringLiteral("invalid rotation \"%1\" (0 to 3 quarter turns).").arg(v);
                return false;
            }
            o.Rotate = n;
        } else if (arg == QLatin1String("--")) {
            positional << args.mid(i + 1);
            break;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            error = QStringLiteral("unknown option \"%1\".").arg(args[i]);
            return false;
        } else {
            positional << arg;
        }
    }
    if (positional.isEmpty()) {
        error = QStringLiteral("what to print is missing: index-card, contact-sheet or back-card.");
        return false;
    }
    const QString kind = positional.takeFirst();
    if (kind == QLatin1String("index-card"))
        o.Kind = TPrintKind::IndexCard;
    else if (kind == QLatin1String("contact-sheet"))
        o.Kind = TPrintKind::ContactSheet;
    else if (kind == QLatin1String("back-card"))
        o.Kind = TPrintKind::BackCard;
    else {
        error = QStringLiteral("unknown print job \"%1\" (index-card, contact-sheet or back-card).")
                    .arg(kind);
        return false;
    }
    kindGiven = true;
    const QString what =
        o.Kind == TPrintKind::BackCard ? QStringLiteral("IMAGE") : QStringLiteral("FOLDER");
    if (positional.isEmpty()) {
        error = QStringLiteral("the %1 to print is missing.").arg(what);
        return false;
    }
    if (positional.size() > 1) {
        error = QStringLiteral("only one %1 can be printed at a time (\"%2\" is one too many).")
                    .arg(what, positional[1]);
        return false;
    }
    o.Target = positional.first();
    if (!o.PdfFile.isEmpty() && !o.Queue.isEmpty()) {
        error = QStringLiteral("--pdf and --printer cannot be used together.");
        return false;
    }
    if (o.Layout && (*o.Layout < 0 || *o.Layout > LastLayout(o.Kind))) {
        error = QStringLiteral("invalid layout %1 for the %2 (0 to %3).")
                    .arg(*o.Layout)
                    .arg(KindName(o.Kind))
                    .arg(LastLayout(o.Kind));
        return false;
    }
    const auto notFor = [&](const char* option, const char* jobs) {
        error = QStringLiteral("%1 is for the %2 only.")
                    .arg(QLatin1String(option), QLatin1String(jobs));
        return false;
    };
    if (o.Kind == TPrintKind::BackCard && o.FromPage > 0)
        return notFor("--pages", "index card and the contact sheet");
    if (o.Kind == TPrintKind::BackCard && o.NoFileNames)
        return notFor("--no-file-names", "index card and the contact sheet");
    if (o.Kind != TPrintKind::ContactSheet && o.NoDates)
        return notFor("--no-dates", "contact sheet");
    if (o.Kind != TPrintKind::BackCard && o.Rotate)
        return notFor("--rotate", "back card");
    if (o.Kind == TPrintKind::BackCard && o.Sort)
        return notFor("--sort", "index card and the contact sheet");
    return kindGiven;
}

bool IsCommandLine(int argc, char** argv) {
    if (argc < 2)
        return false;
    const QByteArray first = argv[1];
    return first == "print" || first == "--help" || first == "-h" || first == "--version" ||
           first == "-V";
}

int RunCommandLine(int argc, char** argv, const std::function<void()>& setUp) {
    const QByteArray first = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (first == "--version" || first == "-V") {
        std::printf("%s\n", VersionText().toLocal8Bit().constData());
        return 0;
    }
    if (first != "print") {
        std::fputs(UsageText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    QStringList args;
    for (int i = 2; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    TPrintOptions options;
    QString error;
    if (!ParsePrintArguments(args, options, error)) {
        Print(QString::fromLatin1(Program) + error + QStringLiteral("\n\n") + UsageText());
        return 2;
    }
    if (options.Help) {
        std::fputs(UsageText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.Version) {
        std::printf("%s\n", VersionText().toLocal8Bit().constData());
        return 0;
    }

    // No display is needed: pages are drawn off screen, whatever the session has. Qt's own
    // notes about the session (no runtime folder, font fallbacks) would mix with the
    // command's messages, which scripts read: only its fatal errors pass.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtFatalMsg || type == QtCriticalMsg)
            Print(text + QLatin1Char('\n'));
    });
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false\nqt.qpa.*=false"));
    int argc0 = 1;
    QGuiApplication app(argc0, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Velmora"));
    if (setUp)
        setUp();
    EnsureIconTheme();
    try {
        return RunPrint(options);
    } catch (const TCommandError& e) {
        Print(QString::fromLatin1(Program) + e.Text + QLatin1Char('\n'));
        return e.Status;
    } catch (const std::exception& e) {
        Print(QString::fromLatin1(Program) + QString::fromUtf8(e.what()) + QLatin1Char('\n'));
        return 1;
    }
}
