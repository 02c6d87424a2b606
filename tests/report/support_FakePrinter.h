#pragma once
// A recording printer for the engine tests: it keeps a log of the calls, the device modes
// handed back, the pictures sent, and draws each sheet onto an image.
#include "report/LRPrinter.h"

#include <QImage>
#include <QMap>
#include <QPainter>
#include <QStringList>
#include <memory>
#include <vector>

class TFakePrinter : public TPrinter {
public:
    QStringList Names{"Fake-A", "Fake-B"};
    int Index = 0, Dpi = 600;
    QSize Paper{4961, 7016};    // physical page in dots (A4 at 600 dpi)
    QPoint Offset{0, 0};        // physical offset of the printable area
    QSize CanvasSize{800, 800}; // how much of each sheet is kept as an image
    bool LockFails = false, CapsUnreadable = false;
    static TDeviceMode Defaults() {
        return {DM_PAPERSIZE | DM_ORIENTATION | DM_SCALE, DMPAPER_A4, DMORIENT_PORTRAIT, 100};
    }
    TDeviceMode Mode = Defaults();

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
        device = Names.value(Index), driver = "FAKE", port = "";
        mode = std::make_shared<TDeviceMode>(Mode);
    }
    void SetPrinter(const QString& device, const QString& driver, const QString& port,
                    const TDeviceModeHandle& mode) override {
        const QString to = QString("SetPrinter %1,%2,%3 ").arg(device, driver, port);
        Log << (mode ? to + QString("paper %1 orientation %2")
                                .arg(mode->PaperSize)
                                .arg(mode->Orientation)
                     : to + "defaults");
        Mode = mode ? *mode : Defaults();
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
        Sheets.clear(), Sent.clear();
        FPrinting = true;
        StartSheet();
    }
    void NewPage() override {
        Log << "NewPage";
        EndSheet(), StartSheet();
    }
    void EndDoc() override {
        Log << "EndDoc";
        EndSheet();
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
        const QMap<int, int> caps{{LOGPIXELSX, Dpi},
                                  {LOGPIXELSY, Dpi},
                                  {PHYSICALWIDTH, Paper.width()},
                                  {PHYSICALHEIGHT, Paper.height()},
                                  {PHYSICALOFFSETX, Offset.x()},
                                  {PHYSICALOFFSETY, Offset.y()},
                                  {HORZRES, Paper.width() - 2 * Offset.x()},
                                  {VERTRES, Paper.height() - 2 * Offset.y()}};
        return CapsUnreadable ? 0 : caps.value(index);
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
    void EndSheet() { FPainter.end(), Sheets.push_back(FSheet); }
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
