#pragma once
// A recording printer for the engine tests: it keeps a log of the calls, the device modes
// handed back, the pictures sent, and draws each sheet onto an image.
#include "report/LRPrinter.h"

#include <QImage>
#include <QPainter>
#include <QStringList>
#include <memory>
#include <vector>

class TFakePrinter : public TPrinter {
public:
    QStringList Names{"Fake-A", "Fake-B"};
    int Index = 0;
    int Dpi = 600;
    QSize Paper{4961, 7016};    // physical page in dots (A4 at 600 dpi)
    QPoint Offset{0, 0};        // physical offset of the printable area
    QSize CanvasSize{800, 800}; // how much of each sheet is kept as an image
    bool LockFails = false;
    bool CapsUnreadable = false;
    TDeviceMode Mode{DM_PAPERSIZE | DM_ORIENTATION | DM_SCALE, DMPAPER_A4, DMORIENT_PORTRAIT, 100};

    QStringList Log;
    struct TSent {
        QRect Dest;
        QImage Image;
        int Sheet;
    };
    std::vector<TSent> Sent;
    std::vector<QImage> Sheets; // finished sheets of the last document

    QStringList Printers() const override { return Names; }
    void Refresh() override { Log << "Refresh"; }
    int PrinterIndex() const override { return Index; }
    void SetPrinterIndex(int index) override { Index = index; }
    void GetPrinter(QString& device, QString& driver, QString& port,
                    TDeviceModeHandle& mode) override {
        device = Names.value(Index);
        driver = "FAKE";
        port = "";
        mode = std::make_shared<TDeviceMode>(Mode);
    }
    void SetPrinter(const QString& device, const QString& driver, const QString& port,
                    const TDeviceModeHandle& mode) override {
        const QString to = QString("SetPrinter %1,%2,%3 ").arg(device, driver, port);
        Log << (mode ? to + QString("paper %1 orientation %2")
                                .arg(mode->PaperSize)
                                .arg(mode->Orientation)
                     : to + "defaults");
        Mode = mode ? *mode
                    : TDeviceMode{DM_PAPERSIZE | DM_ORIENTATION | DM_SCALE, DMPAPER_A4,
                                  DMORIENT_PORTRAIT, 100};
    }
    TDeviceMode* LockDeviceMode(const TDeviceModeHandle& mode) override {
        return LockFails ? nullptr : mode.get();
    }
    TPrinterOrientationKind Orientation() const override {
        return Mode.Orientation == DMORIENT_LANDSCAPE ? TPrinterOrientationKind::Landscape
                                                      : TPrinterOrientationKind::Portrait;
    }
    void SetOrientation(TPrinterOrientationKind o) override {
        Mode.Orientation =
            o == TPrinterOrientationKind::Landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    }
    QString Title() const override { return FTitle; }
    void SetTitle(const QString& title) override { FTitle = title; }
    void BeginDoc() override {
        Log << "BeginDoc " + FTitle;
        Sheets.clear();
        Sent.clear();
        FPrinting = true;
        StartSheet();
    }
    void NewPage() override {
        Log << "NewPage";
        FPainter.end();
        Sheets.push_back(FSheet);
        StartSheet();
    }
    void EndDoc() override {
        Log << "EndDoc";
        FPainter.end();
        Sheets.push_back(FSheet);
        FPrinting = false;
    }
    void Abort() override {
        Log << "Abort";
        FPainter.end();
        Sheets.clear();
        FPrinting = false;
    }
    bool Printing() const override { return FPrinting; }
    QPainter* Canvas() override { return FPrinting ? &FPainter : nullptr; }
    int GetDeviceCaps(int index) const override {
        if (CapsUnreadable)
            return 0;
        switch (index) {
        case LOGPIXELSX:
        case LOGPIXELSY:
            return Dpi;
        case PHYSICALWIDTH:
            return Paper.width();
        case PHYSICALHEIGHT:
            return Paper.height();
        case PHYSICALOFFSETX:
            return Offset.x();
        case PHYSICALOFFSETY:
            return Offset.y();
        case HORZRES:
            return Paper.width() - 2 * Offset.x();
        case VERTRES:
            return Paper.height() - 2 * Offset.y();
        default:
            return 0;
        }
    }
    void StretchDIBits(const QRect& dest, const QImage& image) override {
        Sent.push_back({dest, image, int(Sheets.size())});
        TPrinter::StretchDIBits(dest, image);
    }

private:
    void StartSheet() {
        FSheet = QImage(CanvasSize, QImage::Format_RGB32);
        FSheet.fill(Qt::white);
        FPainter.begin(&FSheet);
    }
    QString FTitle;
    bool FPrinting = false;
    QImage FSheet;
    QPainter FPainter;
};

// Installs a fake as the application printer for the life of the object.
class TScopedFakePrinter {
public:
    TScopedFakePrinter() { FOld = SetApplicationPrinter(&Fake); }
    ~TScopedFakePrinter() { SetApplicationPrinter(FOld); }
    TFakePrinter Fake;

private:
    TPrinter* FOld;
};
