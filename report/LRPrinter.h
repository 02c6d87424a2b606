#pragma once
// The printer service the print engine and the print jobs drive: one application-wide
// printer object, its device mode, document control, canvas and device capabilities.
// The Qt/CUPS implementation lives in platform/PPrinter; tests install a recording one.
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

class QPainter;

// Device capability indices (the values the print engine and the geometry code ask for).
enum : int {
    HORZRES = 8,
    VERTRES = 10,
    LOGPIXELSX = 88,
    LOGPIXELSY = 90,
    PHYSICALWIDTH = 110,
    PHYSICALHEIGHT = 111,
    PHYSICALOFFSETX = 112,
    PHYSICALOFFSETY = 113,
};

// Device-mode field bits and codes.
enum : uint32_t {
    DM_ORIENTATION = 0x00000001,
    DM_PAPERSIZE = 0x00000002,
    DM_SCALE = 0x00000010,
};
enum : int16_t {
    DMORIENT_PORTRAIT = 1,
    DMORIENT_LANDSCAPE = 2,
    DMPAPER_LETTER = 1,
    DMPAPER_A3 = 8,
    DMPAPER_A4 = 9,
    DMPAPER_A5 = 11,
    DMPAPER_B4 = 12,
    DMPAPER_B5 = 13,
};

// The printer's device mode record: which fields are valid, paper, orientation, scale.
struct TDeviceMode {
    uint32_t Fields = 0;
    int16_t PaperSize = 0;
    int16_t Orientation = 0;
    int16_t Scale = 100;
};

// A handle to a device mode. A null handle handed to SetPrinter resets the printer to the
// driver's defaults.
using TDeviceModeHandle = std::shared_ptr<TDeviceMode>;

enum class TPrinterOrientationKind { Portrait, Landscape };

class TPrinter {
public:
    virtual ~TPrinter() = default;

    // Printer list, re-read from the system by Refresh.
    virtual QStringList Printers() const = 0;
    virtual void Refresh() = 0;
    // Index of the selected printer in Printers(), -1 when there is none.
    virtual int PrinterIndex() const = 0;
    virtual void SetPrinterIndex(int index) = 0;

    // The selected printer as device, driver and port names and its device mode.
    virtual void GetPrinter(QString& device, QString& driver, QString& port,
                            TDeviceModeHandle& mode) = 0;
    virtual void SetPrinter(const QString& device, const QString& driver, const QString& port,
                            const TDeviceModeHandle& mode) = 0;
    // Locks a device mode for writing; null when it cannot be locked.
    virtual TDeviceMode* LockDeviceMode(const TDeviceModeHandle& mode) { return mode.get(); }
    virtual void UnlockDeviceMode(const TDeviceModeHandle&) {}

    virtual TPrinterOrientationKind Orientation() const = 0;
    virtual void SetOrientation(TPrinterOrientationKind orientation) = 0;

    // Document control: one spooled job per BeginDoc ... EndDoc; Abort discards it.
    virtual QString Title() const = 0;
    virtual void SetTitle(const QString& title) = 0;
    virtual void BeginDoc() = 0;
    virtual void NewPage() = 0;
    virtual void EndDoc() = 0;
    virtual void Abort() = 0;
    virtual bool Printing() const = 0;

    // The painter of the open document, in device pixels with the origin at the top-left
    // corner of the printable area; null when no document is open.
    virtual QPainter* Canvas() = 0;
    // A device capability (see the indices above); 0 when it cannot be read.
    virtual int GetDeviceCaps(int index) const = 0;

    // Sends a picture so that the whole of it fills dest (device pixels) on the open page.
    virtual void StretchDIBits(const QRect& dest, const QImage& image);
};

// The picture that StretchDIBits hands to the device: the picture itself, or, where it holds
// more pixels than dest has device pixels, the picture smoothly reduced to dest's size. The
// device could not show the extra pixels, and a PDF spooler would carry every one of them.
QImage DeviceImage(const QSize& dest, const QImage& image);

// Paper codes to Qt page size ids (QPageSize::PageSizeId) and back: 0 when a size has no
// code, -1 when a code has no size.
// A device capability of a printer with the given resolution, whole paper and printable
// area in device pixels (both measured from the paper's corner); 0 for other indexes.
int PageDeviceCaps(int index, int resolution, const QRect& paper, const QRect& page);

int PaperCodeOf(int pageSizeId);
int PageSizeIdOf(int paperCode);

// The application's printer object (null until one is installed at start-up).
TPrinter* Printer();
// Installs the application's printer object; returns the previous one. Not owned.
TPrinter* SetApplicationPrinter(TPrinter* printer);
