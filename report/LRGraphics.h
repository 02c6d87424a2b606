#pragma once
// The graphic kinds a picture item works with: the bitmap, the JPEG image and the
// device-independent bitmap, plus the picture holder. Icons and metafiles exist only so
// that a picture of such a kind can be recognised and refused.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>
#include <memory>

class TLRGraphic {
public:
    virtual ~TLRGraphic() = default;
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // The pixels as a 32-bit image (what copying into a bitmap gives).
    virtual QImage ToImage() const = 0;
    virtual std::unique_ptr<TLRGraphic> Clone() const = 0;
};

enum class TPixelFormat { pfDevice, pf1bit, pf24bit, pf32bit };

class TLRBitmap : public TLRGraphic {
public:
    TLRBitmap() = default;
    explicit TLRBitmap(const QImage& image) { SetImage(image); }

    bool Empty() const override { return FImage.isNull() || FImage.width() == 0; }
    int Width() const override { return FImage.width(); }
    int Height() const override { return FImage.height(); }
    QImage ToImage() const override;
    std::unique_ptr<TLRGraphic> Clone() const override;

    // A smaller size keeps the top-left part; new area is white.
    void SetWidth(int width) { SetSize(width, Height()); }
    void SetHeight(int height) { SetSize(Width(), height); }
    void SetSize(int width, int height);
    TPixelFormat PixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TPixelFormat format);

    // Copy of any accepted graphic, converted into a bitmap.
    void Assign(const TLRGraphic& source);
    void SetImage(const QImage& image);
    // The pixels, to draw on them directly (a QPainter on this image is the bitmap's canvas).
    QImage& Image() { return FImage; }
    const QImage& Image() const { return FImage; }
    // Releases the image memory while keeping the object.
    void FreeImage() { FImage = QImage(); }
    bool LoadFromFile(const QString& path);

private:
    QImage FImage;
    TPixelFormat FPixelFormat = TPixelFormat::pf32bit;
};

// A JPEG image: the compressed data, decoded by the imaging library's JPEG reader when it
// is copied.
class TLRJPEGImage : public TLRGraphic {
public:
    bool Empty() const override { return FData.isEmpty(); }
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    QImage ToImage() const override;
    std::unique_ptr<TLRGraphic> Clone() const override;
    // Throws Exception when the data is not a JPEG the reader can decode.
    void LoadFromData(const QByteArray& data);
    void LoadFromFile(const QString& path);
    const QByteArray& Data() const { return FData; }

private:
    QByteArray FData;
    int FWidth = 0, FHeight = 0;
};

// A device-independent bitmap: info header, colour table and pixel rows, as on the
// clipboard (format 8) or in a ".dib" file (which may carry a BMP file header).
class TDibImage : public TLRGraphic {
public:
    bool Empty() const override { return FImage.isNull(); }
    int Width() const override { return FImage.width(); }
    int Height() const override { return FImage.height(); }
    QImage ToImage() const override;
    std::unique_ptr<TLRGraphic> Clone() const override;
    void LoadFromData(const QByteArray& data);
    void LoadFromFile(const QString& path);

private:
    QImage FImage;
};

// Kinds the picture item refuses.
class TLRIcon : public TLRGraphic {
public:
    explicit TLRIcon(const QImage& image = QImage()) : FImage(image) {}
    bool Empty() const override { return FImage.isNull(); }
    int Width() const override { return FImage.width(); }
    int Height() const override { return FImage.height(); }
    QImage ToImage() const override { return FImage.convertToFormat(QImage::Format_RGB32); }
    std::unique_ptr<TLRGraphic> Clone() const override { return std::make_unique<TLRIcon>(*this); }

private:
    QImage FImage;
};

class TLRMetafile : public TLRGraphic {
public:
    bool Empty() const override { return true; }
    int Width() const override { return 0; }
    int Height() const override { return 0; }
    QImage ToImage() const override { return QImage(); }
    std::unique_ptr<TLRGraphic> Clone() const override {
        return std::make_unique<TLRMetafile>(*this);
    }
};

// A picture holder: owns at most one graphic.
class TLRPicture {
public:
    TLRPicture() = default;
    TLRPicture(const TLRPicture& other) { Assign(other); }
    TLRPicture& operator=(const TLRPicture& other) {
        Assign(other);
        return *this;
    }

    TLRGraphic* Graphic() const { return FGraphic.get(); }
    void SetGraphic(std::unique_ptr<TLRGraphic> graphic) { FGraphic = std::move(graphic); }
    void Clear() { FGraphic.reset(); }
    // Copies the other holder's graphic.
    void Assign(const TLRPicture& other);
    // The held bitmap; a holder with another kind (or none) gets a new empty bitmap.
    TLRBitmap& Bitmap();
    int Width() const { return FGraphic ? FGraphic->Width() : 0; }
    int Height() const { return FGraphic ? FGraphic->Height() : 0; }

    // Loads a file by its extension through the registered graphic kinds
    // ("bmp", "jpg", "jpeg", and "dib" once the DIB kind has registered itself).
    void LoadFromFile(const QString& path);

    using TGraphicFactory = std::function<std::unique_ptr<TLRGraphic>(const QByteArray&)>;
    static void RegisterFileFormat(const QString& extension, const QString& description,
                                   TGraphicFactory factory);
    static void UnregisterFileFormat(const QString& extension);
    static bool FileFormatRegistered(const QString& extension, QString* description = nullptr);
    static void RegisterClipboardFormat(int format, TGraphicFactory factory);
    static void UnregisterClipboardFormat(int format);
    static bool ClipboardFormatRegistered(int format);
    // Builds a graphic from clipboard data of a registered format.
    void LoadFromClipboardFormat(int format, const QByteArray& data);

private:
    std::unique_ptr<TLRGraphic> FGraphic;
};

// The clipboard's device-independent bitmap format.
constexpr int CF_DIB = 8;
