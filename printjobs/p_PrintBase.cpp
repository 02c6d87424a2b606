#include "p_PrintBase.h"

#include "Common/c_PrintGeometry.h"

#include <QPainter>
#include <algorithm>

int TSilentJobHost::Message(const QString& text, bool) {
    Messages << text;
    return 1;
}

bool TSilentJobHost::PrintDialog(TPrintRange&, bool) {
    return true;
}

void TSilentJobHost::PreviewShowPage(const QImage& page, int number, int count) {
    LastPage = page;
    LastNumber = number;
    LastCount = count;
}

TprtPrintBase::TprtPrintBase(const QString& title, int width, int height,
                             TPrinterOrientation orientation)
    : FRep(std::make_unique<TLightRep>()) {
    FRep->BeginLoad();
    FRep->SetPaperSize(psNone);
    FRep->SetOrientation(orientation);
    FRep->SetBounds(0, 0, width, height);
    FRep->SetMargins(36);
    FRep->Title = title;
    FRep->OnSetPrinter = [this](TLRControl*) { LightRepSetPrinter(); };
    JobOrientation = orientation;
}

TprtPrintBase::~TprtPrintBase() = default;

void TprtPrintBase::FinishCreate() {
    FRep->Loaded();
    CurrentPage = 1;
    PageCount = 1;
    SyncWithPrinter();
}

TPrinter* TprtPrintBase::Printer() const {
    return FPrinter ? FPrinter : ::Printer();
}

void TprtPrintBase::SetPrinter(TPrinter* printer) {
    FPrinter = printer;
    FRep->SetPrinter(printer ? printer : ::Printer());
}

TPrintJobHost& TprtPrintBase::UseHost() {
    return Host ? *Host : FSilent;
}

bool TprtPrintBase::SyncWithPrinter() {
    TPrinter* printer = Printer();
    bool changed = false;
    if (printer) {
        printer->Refresh();
        const int index = printer->PrinterIndex();
        // The report's printer is usually the same object, so a printer chosen in the
        // print dialog shows only against the index of the last check.
        if (index != LastPrinterIndex)
            changed = true;
        LastPrinterIndex = index;
        TPrinter* reportPrinter = FRep->Printer();
        if (reportPrinter && reportPrinter->PrinterIndex() != index) {
            reportPrinter->SetPrinterIndex(index);
            changed = true;
        }
        const TPrinterOrientation o =
            printer->Orientation() == TPrinterOrientationKind::Landscape ? poLandscape : poPortrait;
        if (o != LastOrientation) {
            FRep->SetOrientation(o);
            if (SetReportPrinterOrientation && reportPrinter)
                reportPrinter->SetOrientation(printer->Orientation());
            LastOrientation = o;
            changed = true;
        }
        const TRect paper = PaperRect(printer);
        if (paper != LastPaperRect) {
            LastPaperRect = paper;
            changed = true;
        }
        const TRect printable = PrintableRect(printer);
        if (printable != LastPrintableRect) {
            LastPrintableRect = printable;
            changed = true;
        }
        if (RefreshAfterChange && changed)
            printer->Refresh();
    }
    // A printer that reports no paper leaves the report at the size it has.
    if (LastPaperRect.Width() > 0 && LastPaperRect.Height() > 0)
        FRep->SetBounds(FRep->Left(), FRep->Top(), LastPaperRect.Width(), LastPaperRect.Height());
    LayoutPanels(LastPrintableRect);
    return changed;
}

bool TprtPrintBase::ItemThumbnail(int index, const QString& path, int boxWidth, int boxHeight,
                                  QImage& picture) {
    if (!Pictures.Thumbnail)
        return false;
    if (FRep->State() != TReportState::Previewing)
        return Pictures.Thumbnail(path, picture) && !picture.isNull();
    // The file's size and date are part of the key, so a changed file is fetched again.
    const QStringList info = ItemList ? ItemList->ItemInfo(index) : QStringList();
    const QSize box(std::max(1, boxWidth * PreviewWindowZoom()),
                    std::max(1, boxHeight * PreviewWindowZoom()));
    const QString key = path + QLatin1Char('|') + info.value(3) + QLatin1Char('|') + info.value(4) +
                        QLatin1Char('|') + QString::number(box.width()) + QLatin1Char('x') +
                        QString::number(box.height());
    const auto found = FPictures.constFind(key);
    if (found != FPictures.constEnd()) {
        picture = *found;
        return true;
    }
    QImage full;
    if (!Pictures.Thumbnail(path, full) || full.isNull())
        return false;
    picture = full;
    if (full.width() > box.width() || full.height() > box.height()) {
        // A quick step to twice the box, then a smooth one: nearly the smooth result at a
        // fraction of its cost.
        if (full.width() > 4 * box.width() || full.height() > 4 * box.height())
            picture = full.scaled(box * 2, Qt::KeepAspectRatio, Qt::FastTransformation);
        picture = picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    // A bound on the kept pictures; past it they are all let go and kept afresh.
    constexpr qint64 MaxBytes = 96ll * 1024 * 1024;
    if (FPictureBytes + picture.sizeInBytes() > MaxBytes)
        ForgetPictures();
    FPictures.insert(key, picture);
    FPictureBytes += picture.sizeInBytes();
    return true;
}

QImage TprtPrintBase::CellPicture(int index, const QString& path, int boxWidth, int boxHeight) {
    const QString ext = path.mid(path.lastIndexOf(QLatin1Char('.')) + 1);
    QImage picture;
    if (ext.compare(QLatin1String("avi"), Qt::CaseInsensitive) != 0) {
        if (!ItemThumbnail(index, path, boxWidth, boxHeight, picture))
            throw Exception(QStringLiteral("No thumbnail: ") + path);
    } else {
        if (Pictures.FileIcon)
            Pictures.FileIcon(path, picture);
        if (picture.isNull())
            throw Exception(QStringLiteral("No icon: ") + path);
    }
    return picture;
}

void TprtPrintBase::ForgetPictures() {
    FPictures.clear();
    FPictureBytes = 0;
}

int TprtPrintBase::PreviewWindowZoom() const {
    return std::max(1, 2500 / std::max({FRep->Width(), FRep->Height(), 1}));
}

QImage TprtPrintBase::RenderBitmap(int zoom) {
    return RenderBitmap(zoom, Qt::white);
}

QImage TprtPrintBase::RenderBitmap(int zoom, const QColor& fill) {
    zoom = std::max(1, zoom);
    ClearRenderState();
    QImage bitmap(std::max(1, FRep->Width() * zoom), std::max(1, FRep->Height() * zoom),
                  QImage::Format_RGB32);
    bitmap.fill(fill);
    QPainter painter(&bitmap);
    TLRCanvas canvas(&painter, 96);
    FRep->PreviewZoom = zoom;
    FRep->BeginPreview();
    try {
        FRep->PreviewPage(canvas);
    } catch (...) {
        FRep->EndPreview();
        throw;
    }
    FRep->EndPreview();
    painter.end();
    return bitmap;
}

void TprtPrintBase::RenderPage() {
    TPrintJobHost& host = UseHost();
    host.BusyCursor(true);
    try {
        const QImage page = RenderBitmap(PreviewWindowZoom());
        host.PreviewShowPage(page, CurrentPage, PageCount);
    } catch (...) {
        host.BusyCursor(false);
        throw;
    }
    host.BusyCursor(false);
}

void TprtPrintBase::ShowPreview() {
    CurrentPage = 1;
    PageCount = ComputePageCount();
    RenderPage();
    TPreviewHooks hooks;
    hooks.Previous = [this] {
        if (CurrentPage > 1) {
            --CurrentPage;
            RenderPage();
        }
    };
    hooks.Next = [this] {
        if (CurrentPage < PageCount) {
            ++CurrentPage;
            RenderPage();
        }
    };
    hooks.First = [this] {
        CurrentPage = 1;
        RenderPage();
    };
    hooks.Last = [this] {
        CurrentPage = PageCount;
        RenderPage();
    };
    hooks.Print = [this] { Print(true); };
    UseHost().PreviewRun(hooks);
    CurrentPage = 1;
}

void TprtPrintBase::PrintPages() {
    TPrintJobHost& host = UseHost();
    CurrentPage = 1;
    PageCount = ComputePageCount();
    ClearRenderState();
    host.ProgressSet(0);
    host.ProgressShow();
    try {
        FRep->BeginDoc();
        for (int p = 1; p <= PageCount; ++p) {
            if (!((FromPage == 0 || p >= FromPage) && (ToPage == 0 || p <= ToPage)))
                continue;
            CurrentPage = p;
            FRep->PrintPage();
            host.ProgressSet(p * 100 / PageCount);
            if (host.ProgressCancelled()) {
                host.ProgressClose();
                FRep->Abort();
                return;
            }
            if (p != PageCount && (ToPage == 0 || p < ToPage))
                FRep->NewPage();
        }
        FRep->EndDoc();
    } catch (...) {
        // Nothing half-made stays open: the document is discarded, the window closed.
        host.ProgressClose();
        FRep->Abort();
        throw;
    }
    host.ProgressClose();
}

bool TprtPrintBase::Print(bool fromPreview) {
    TPrintJobHost& host = UseHost();
    host.Message(SelectPaperText, false);
    TPrintRange range;
    if (AllowPageRange) {
        range.PageNums = true;
        range.MinPage = 1;
        range.MaxPage = ComputePageCount();
        range.FromPage = 1;
        range.ToPage = range.MaxPage;
    }
    if (!host.PrintDialog(range, fromPreview))
        return false;
    if (TPrinter* printer = Printer())
        printer->SetOrientation(JobOrientation == poLandscape ? TPrinterOrientationKind::Landscape
                                                              : TPrinterOrientationKind::Portrait);
    if (SyncWithPrinter()) {
        if (fromPreview)
            RenderPage();
        else if (OnApplySettings)
            OnApplySettings();
        if (host.Message(PrinterChangedText, true) != 1)
            return false;
    }
    if (AllowPageRange) {
        ToPage = range.ToPage;
        FromPage = range.FromPage;
    }
    PrintJob();
    return true;
}

void TprtPrintBase::LightRepSetPrinter() {
    TPrinter* printer = FRep->Printer();
    if (!printer)
        throw ELRError(PaperSetupFailed);
    QString device, driver, port;
    TDeviceModeHandle mode;
    printer->GetPrinter(device, driver, port, mode);
    const int index = printer->PrinterIndex();
    const QStringList names = printer->Printers();
    if (index >= 0 && index < names.size())
        device = names[index];
    TDeviceMode* dm = mode ? printer->LockDeviceMode(mode) : nullptr;
    if (!dm)
        throw ELRError(PaperSetupFailed);
    if (!(dm->Fields & DM_PAPERSIZE)) {
        printer->UnlockDeviceMode(mode);
        return;
    }
    dm->Orientation = LastOrientation == poLandscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    printer->UnlockDeviceMode(mode);
    printer->SetPrinter(device, QStringLiteral("WINSPOOL"), QString(), mode);
}
