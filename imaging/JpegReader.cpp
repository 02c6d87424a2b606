#include "JpegReader.h"

#include "QtImageReader.h"
#include "services/CException.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace {

// Progressive files with more scans than this are refused: each scan walks the whole
// coefficient buffer again, so a crafted file could keep the decoder busy for minutes.
constexpr int kMaxProgressiveScans = 500;
// The decoder's own working memory (whole-image coefficient buffers of progressive files).
constexpr long kMaxDecoderMemory = 1L << 30;
// Files larger than this are not read into memory.
constexpr int64_t kMaxJpegFileSize = int64_t(1) << 30;

struct TJpegError {
    jpeg_error_mgr Pub;
    jmp_buf Jump;
    char Text[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->Text);
    longjmp(err->Jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0)
        return; // trace messages
    // A file that ends early is an error, not a picture with a grey bottom.
    if (cinfo->err->msg_code == JWRN_JPEG_EOF)
        ErrorExit(cinfo);
    cinfo->err->num_warnings++;
}

void OutputMessage(j_common_ptr) {} // never to the terminal

void ProgressMonitor(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor)
        return;
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->progressive_mode && d->input_scan_number > kMaxProgressiveScans) {
        auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
        std::snprintf(err->Text, sizeof err->Text, "Progressive JPEG with more than %d scans",
                      kMaxProgressiveScans);
        longjmp(err->Jump, 1);
    }
}

// One decoder per thread, with its buffers, kept from file to file.
struct TJpegContext {
    jpeg_decompress_struct Cinfo;
    TJpegError Err;
    jpeg_progress_mgr Progress;
    bool Ready = false;
    std::vector<uchar> File;
    std::vector<uchar> Row; // CMYK rows before conversion

    TJpegContext() {
        std::memset(&Cinfo, 0, sizeof Cinfo);
        Cinfo.err = jpeg_std_error(&Err.Pub);
        Err.Pub.error_exit = ErrorExit;
        Err.Pub.emit_message = EmitMessage;
        Err.Pub.output_message = OutputMessage;
        Err.Text[0] = 0;
        Progress = {};
        Progress.progress_monitor = ProgressMonitor;
        if (setjmp(Err.Jump) == 0) {
            jpeg_create_decompress(&Cinfo);
            Cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
            Cinfo.progress = &Progress;
            Ready = true;
        }
    }
    ~TJpegContext() {
        if (Ready)
            jpeg_destroy_decompress(&Cinfo);
    }
};

TJpegContext& Context() {
    thread_local TJpegContext context;
    return context;
}

// The three steps that call into libjpeg; each returns false with the error text set. No
// object with a destructor lives in these frames, so leaving them by longjmp is safe.
bool ReadHeader(TJpegContext& c, const uchar* data, size_t size) {
    if (setjmp(c.Err.Jump) != 0)
        return false;
    jpeg_mem_src(&c.Cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&c.Cinfo, TRUE);
    return true;
}

bool Start(TJpegContext& c) {
    if (setjmp(c.Err.Jump) != 0)
        return false;
    jpeg_start_decompress(&c.Cinfo);
    return true;
}

void CmykToRgb(const uchar* src, uchar* dst, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, src += 4, dst += 3) {
        int cc = src[0], m = src[1], y = src[2], k = src[3];
        if (!inverted) { // plain CMYK stores ink amounts
            cc = 255 - cc;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        dst[0] = uchar(cc * k / 255);
        dst[1] = uchar(m * k / 255);
        dst[2] = uchar(y * k / 255);
    }
}

bool ReadPixels(TJpegContext& c, uchar* bits, qsizetype bpl, bool cmyk) {
    if (setjmp(c.Err.Jump) != 0)
        return false;
    j_decompress_ptr ci = &c.Cinfo;
    const bool inverted = ci->saw_Adobe_marker;
    const size_t rowBytes = size_t(ci->output_width) * 4;
    JSAMPROW rows[16];
    while (ci->output_scanline < ci->output_height) {
        const JDIMENSION first = ci->output_scanline;
        const int n = std::min<int>(16, int(ci->output_height - first));
        for (int i = 0; i < n; ++i)
            rows[i] = cmyk ? c.Row.data() + size_t(i) * rowBytes : bits + (first + i) * bpl;
        const JDIMENSION got = jpeg_read_scanlines(ci, rows, JDIMENSION(n));
        if (got == 0) {
            std::snprintf(c.Err.Text, sizeof c.Err.Text, "Premature end of JPEG file");
            return false;
        }
        if (cmyk)
            for (JDIMENSION i = 0; i < got; ++i)
                CmykToRgb(rows[i], bits + (first + i) * bpl, ci->output_width, inverted);
    }
    jpeg_finish_decompress(ci);
    return true;
}

QString SystemMessage(int code) {
    return QString::fromStdString(std::system_category().message(code));
}

// Reads the whole file into the thread's buffer; returns its size.
size_t ReadWholeFile(const QString& fileName, std::vector<uchar>& buffer) {
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Exception(
            QStringLiteral("Cannot open image file %1: %2").arg(fileName, SystemMessage(errno)));
    struct stat st;
    if (fstat(fd, &st) != 0) {
        const int e = errno;
        close(fd);
        throw Exception(
            QStringLiteral("Cannot read image file %1: %2").arg(fileName, SystemMessage(e)));
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        throw Exception(QStringLiteral("Cannot read image file %1: not a file").arg(fileName));
    }
    if (int64_t(st.st_size) > kMaxJpegFileSize) {
        close(fd);
        throw Exception(QStringLiteral("Image file %1 is too large").arg(fileName));
    }
    const size_t expected = size_t(st.st_size);
    if (buffer.size() < expected + 1)
        buffer.resize(expected + 1);
    size_t got = 0;
    for (;;) {
        // One byte more than expected, to notice a file that grew while being read.
        if (got == buffer.size()) {
            if (int64_t(got) > kMaxJpegFileSize) {
                close(fd);
                throw Exception(QStringLiteral("Image file %1 is too large").arg(fileName));
            }
            buffer.resize(buffer.size() * 2);
        }
        const ssize_t n = read(fd, buffer.data() + got, buffer.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int e = errno;
            close(fd);
            throw Exception(
                QStringLiteral("Cannot read image file %1: %2").arg(fileName, SystemMessage(e)));
        }
        if (n == 0)
            break;
        got += size_t(n);
    }
    close(fd);
    return got;
}

} // namespace

int JpegScaleDenominator(int boxWidth, int boxHeight, int imageWidth, int imageHeight) {
    if (boxWidth <= 0 || boxHeight <= 0 || imageWidth <= 0 || imageHeight <= 0)
        return 1;
    const QSize fit = FitIntoBox(boxWidth, boxHeight, imageWidth, imageHeight);
    for (int d : {8, 4, 2}) {
        const int w = (imageWidth + d - 1) / d, h = (imageHeight + d - 1) / d;
        if (w >= fit.width() && h >= fit.height())
            return d;
    }
    return 1;
}

bool LooksLikeJpeg(const uchar* data, size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool LooksLikeJpeg(const QString& fileName) {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    uchar head[3];
    return f.read(reinterpret_cast<char*>(head), 3) == 3 && LooksLikeJpeg(head, 3);
}

void DecodeJpegData(const uchar* data, size_t size, const QString& name, int boxWidth,
                    int boxHeight, int& width, int& height, QImage& raster, int* denominator) {
    if (size == 0)
        throw Exception(QStringLiteral("Image file %1 is empty").arg(name));
    TJpegContext& c = Context();
    if (!c.Ready)
        throw Exception(QStringLiteral("The JPEG decoder could not be set up"));
    auto fail = [&](const QString& text) {
        jpeg_abort_decompress(&c.Cinfo);
        throw Exception(QStringLiteral("JPEG error in %1: %2").arg(name, text));
    };
    c.Err.Text[0] = 0;
    c.Err.Pub.num_warnings = 0;
    if (!ReadHeader(c, data, size))
        fail(QString::fromLocal8Bit(c.Err.Text));

    j_decompress_ptr ci = &c.Cinfo;
    const int w = int(ci->image_width), h = int(ci->image_height);
    if (w <= 0 || h <= 0)
        fail(QStringLiteral("the image has no pixels"));
    if (int64_t(w) * h > kMaxImagePixels)
        fail(QStringLiteral("the image is too large (%1 x %2 pixels; at most %3 pixels are "
                            "decoded)")
                 .arg(w)
                 .arg(h)
                 .arg(kMaxImagePixels));

    const bool cmyk = ci->jpeg_color_space == JCS_CMYK || ci->jpeg_color_space == JCS_YCCK;
    ci->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    const int d = JpegScaleDenominator(boxWidth, boxHeight, w, h);
    ci->scale_num = 1;
    ci->scale_denom = unsigned(d);
    ci->dct_method = JDCT_ISLOW;
    ci->do_fancy_upsampling = TRUE;
    ci->quantize_colors = FALSE;
    if (!Start(c))
        fail(QString::fromLocal8Bit(c.Err.Text));

    const int ow = int(ci->output_width), oh = int(ci->output_height);
    const int comps = ci->output_components;
    if (ow <= 0 || oh <= 0 || comps != (cmyk ? 4 : 3))
        fail(QStringLiteral("unsupported colour layout"));
    QImage out;
    try {
        out = AcquireRaster(ow, oh);
        if (cmyk && c.Row.size() < size_t(ow) * 4 * 16)
            c.Row.resize(size_t(ow) * 4 * 16);
    } catch (...) {
        jpeg_abort_decompress(&c.Cinfo);
        throw;
    }
    if (!ReadPixels(c, out.bits(), out.bytesPerLine(), cmyk))
        fail(QString::fromLocal8Bit(c.Err.Text));
    width = w;
    height = h;
    raster = std::move(out);
    if (denominator)
        *denominator = d;
}

void DecodeJpegFile(const QString& fileName, int boxWidth, int boxHeight, int& width, int& height,
                    QImage& raster, int* denominator) {
    TJpegContext& c = Context();
    const size_t size = ReadWholeFile(fileName, c.File);
    DecodeJpegData(c.File.data(), size, fileName, boxWidth, boxHeight, width, height, raster,
                   denominator);
}

std::unique_ptr<TGraphicReader> TJpegReader::Create() {
    return std::make_unique<TJpegReader>();
}

void TJpegReader::LoadFromFile(const QString& fileName) {
    FRaster = QImage();
    FWidth = FHeight = 0;
    FDenominator = 1;
    TJpegContext& c = Context();
    const size_t size = ReadWholeFile(fileName, c.File);
    if (size == 0)
        throw Exception(QStringLiteral("Image file %1 is empty").arg(fileName));
    if (!LooksLikeJpeg(c.File.data(), size)) {
        // Named as a JPEG but something else: decode by content when Qt knows the format.
        QString format;
        if (QtCanDecode(fileName, &format)) {
            DecodeQtImageFile(fileName, FBoxWidth, FBoxHeight, FWidth, FHeight, FRaster);
            FFormat = format;
            return;
        }
        throw Exception(QStringLiteral("JPEG error in %1: Not a JPEG file: starts with 0x%2 0x%3")
                            .arg(fileName)
                            .arg(c.File[0], 2, 16, QLatin1Char('0'))
                            .arg(size > 1 ? c.File[1] : 0, 2, 16, QLatin1Char('0')));
    }
    FFormat = QStringLiteral("JPEG");
    DecodeJpegData(c.File.data(), size, fileName, FBoxWidth, FBoxHeight, FWidth, FHeight, FRaster,
                   &FDenominator);
}
