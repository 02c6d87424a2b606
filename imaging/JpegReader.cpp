#include "JpegReader.h"

#include "QtImageReader.h"
#include "platform/PRegularFile.h"
#include "services/CException.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
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
// Buffers larger than these are given back after the file instead of kept for the next
// (a photo browser should not hold hundreds of megabytes for one unusual file).
constexpr size_t kMaxKeptBlockMemory = size_t(128) << 20;
constexpr size_t kMaxKeptFileBuffer = size_t(64) << 20;

bool PruneScans = true; // see SetJpegScanPruning
thread_local int ScansLeftOut = 0;

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

// Leaves the library with our own text (called from within libjpeg's frames).
[[noreturn]] void FailWithText(j_common_ptr cinfo, const char* text) {
    auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
    std::snprintf(err->Text, sizeof err->Text, "%s", text);
    longjmp(err->Jump, 1);
}

void ProgressMonitor(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor)
        return;
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->progressive_mode && d->input_scan_number > kMaxProgressiveScans) {
        char text[80];
        std::snprintf(text, sizeof text, "Progressive JPEG with more than %d scans",
                      kMaxProgressiveScans);
        FailWithText(cinfo, text);
    }
}

// One whole-image coefficient array (multi-scan files keep every block until the end).
struct TVirtBlocks {
    TVirtBlocks* Next;
    JDIMENSION BlocksPerRow, NumRows;
    boolean PreZero;
    JBLOCKROW* Rows; // set when the arrays are realised
};

// One decoder per thread, with its buffers, kept from file to file.
struct TJpegContext {
    jpeg_decompress_struct Cinfo;
    TJpegError Err;
    jpeg_progress_mgr Progress;
    bool Ready = false;
    std::vector<uchar> File;
    std::vector<uchar> Row;    // CMYK rows before conversion
    std::vector<uchar> Pruned; // the stream without the scans nobody will use
    // The library's own memory methods; the coefficient arrays are served from Blocks,
    // which stays from one file to the next.
    jpeg_memory_mgr Library;
    TVirtBlocks* Arrays = nullptr;
    uchar* Blocks = nullptr;
    size_t BlocksCapacity = 0;

    void ReleaseBlocks() {
        std::free(Blocks);
        Blocks = nullptr;
        BlocksCapacity = 0;
    }
    void TrimKeptMemory() {
        if (BlocksCapacity > kMaxKeptBlockMemory)
            ReleaseBlocks();
        if (File.capacity() > kMaxKeptFileBuffer)
            std::vector<uchar>().swap(File);
        if (Pruned.capacity() > kMaxKeptFileBuffer)
            std::vector<uchar>().swap(Pruned);
    }

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
            Cinfo.client_data = this;
            InstallMemoryMethods();
            Ready = true;
        }
    }
    ~TJpegContext() {
        if (Ready)
            jpeg_destroy_decompress(&Cinfo);
        ReleaseBlocks();
    }
    void InstallMemoryMethods();
};

TJpegContext* ContextOf(j_common_ptr cinfo) {
    return static_cast<TJpegContext*>(cinfo->client_data);
}

jvirt_barray_ptr RequestBlocks(j_common_ptr cinfo, int pool, boolean preZero,
                               JDIMENSION blocksPerRow, JDIMENSION numRows, JDIMENSION) {
    TJpegContext* c = ContextOf(cinfo);
    if (pool != JPOOL_IMAGE)
        FailWithText(cinfo, "Invalid memory pool");
    auto* a = static_cast<TVirtBlocks*>(c->Library.alloc_small(cinfo, pool, sizeof(TVirtBlocks)));
    a->Next = c->Arrays;
    a->BlocksPerRow = blocksPerRow;
    a->NumRows = numRows;
    a->PreZero = preZero;
    a->Rows = nullptr;
    c->Arrays = a;
    return reinterpret_cast<jvirt_barray_ptr>(a);
}

void RealizeArrays(j_common_ptr cinfo) {
    TJpegContext* c = ContextOf(cinfo);
    c->Library.realize_virt_arrays(cinfo); // sample arrays, if any
    uint64_t total = 0;
    for (TVirtBlocks* a = c->Arrays; a; a = a->Next) {
        total += (uint64_t(a->BlocksPerRow) * a->NumRows * sizeof(JBLOCK) + 63) & ~uint64_t(63);
        if (total > uint64_t(kMaxDecoderMemory))
            FailWithText(cinfo, "The image needs more decoder memory than is allowed");
    }
    if (total > c->BlocksCapacity) {
        c->ReleaseBlocks();
        const size_t want = std::min<size_t>(size_t(total) + size_t(total) / 8, kMaxDecoderMemory);
        c->Blocks = static_cast<uchar*>(std::aligned_alloc(64, (want + 63) & ~size_t(63)));
        if (!c->Blocks)
            FailWithText(cinfo, "Out of memory for the decoder");
        c->BlocksCapacity = (want + 63) & ~size_t(63);
    }
    uchar* next = c->Blocks;
    for (TVirtBlocks* a = c->Arrays; a; a = a->Next) {
        const size_t rowBytes = size_t(a->BlocksPerRow) * sizeof(JBLOCK);
        const size_t bytes = rowBytes * a->NumRows;
        a->Rows = static_cast<JBLOCKROW*>(c->Library.alloc_small(
            cinfo, JPOOL_IMAGE, std::max<size_t>(1, a->NumRows) * sizeof(JBLOCKROW)));
        for (JDIMENSION r = 0; r < a->NumRows; ++r)
            a->Rows[r] = reinterpret_cast<JBLOCKROW>(next + r * rowBytes);
        if (a->PreZero)
            std::memset(next, 0, bytes);
        next += (bytes + 63) & ~size_t(63);
    }
}

JBLOCKARRAY AccessBlocks(j_common_ptr cinfo, jvirt_barray_ptr ptr, JDIMENSION startRow,
                         JDIMENSION numRows, boolean) {
    auto* a = reinterpret_cast<TVirtBlocks*>(ptr);
    if (!a->Rows || uint64_t(startRow) + numRows > a->NumRows)
        FailWithText(cinfo, "Bogus virtual array access");
    return a->Rows + startRow;
}

void FreePool(j_common_ptr cinfo, int pool) {
    TJpegContext* c = ContextOf(cinfo);
    if (pool == JPOOL_IMAGE)
        c->Arrays = nullptr; // their memory stays for the next file
    c->Library.free_pool(cinfo, pool);
}

void TJpegContext::InstallMemoryMethods() {
    Library = *Cinfo.mem;
    Cinfo.mem->request_virt_barray = RequestBlocks;
    Cinfo.mem->realize_virt_arrays = RealizeArrays;
    Cinfo.mem->access_virt_barray = AccessBlocks;
    Cinfo.mem->free_pool = FreePool;
}

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

bool CalcDimensions(TJpegContext& c, bool* multipleScans = nullptr) {
    if (setjmp(c.Err.Jump) != 0)
        return false;
    jpeg_calc_output_dimensions(&c.Cinfo);
    if (multipleScans)
        *multipleScans = jpeg_has_multiple_scans(&c.Cinfo);
    return true;
}

// The whole-image coefficient memory a file of several scans needs (what RealizeArrays
// will be asked for), from the component sizes of its header.
uint64_t CoefficientBytes(j_decompress_ptr ci) {
    uint64_t total = 0;
    for (int i = 0; i < ci->num_components; ++i) {
        const jpeg_component_info& comp = ci->comp_info[i];
        const uint64_t h = std::max(1, comp.h_samp_factor), v = std::max(1, comp.v_samp_factor);
        const uint64_t cols = (uint64_t(comp.width_in_blocks) + h - 1) / h * h;
        const uint64_t rows = (uint64_t(comp.height_in_blocks) + v - 1) / v * v;
        total += cols * rows * sizeof(JBLOCK);
    }
    return total;
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
    QString why;
    const int fd = POpenRegularFile(fileName, &why);
    if (fd < 0)
        throw Exception(QStringLiteral("Cannot open image file %1: %2").arg(fileName, why));
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

// A progressive file decoded so small that some components keep one pixel per block needs
// only the DC coefficients of those components. Their AC scans are left out of the stream
// the decoder sees: it would entropy-decode them and then use none of it, and they are most
// of a progressive file. Leaving out every AC scan of a component is safe because no later
// scan of that component refines what they sent. Returns false, leaving the stream as it
// is, when there is nothing to leave out or the stream is not one this can follow safely
// (then the decoder sees the original and reports what is wrong with it).
void Append(std::vector<uchar>& out, const uchar* from, const uchar* to) {
    const size_t at = out.size();
    out.resize(at + size_t(to - from));
    std::memcpy(out.data() + at, from, size_t(to - from));
}

bool PruneAcScans(const uchar* data, size_t size, const bool dcOnly[256], std::vector<uchar>& out,
                  int& leftOut) {
    leftOut = 0;
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    out.clear();
    out.reserve(size);
    Append(out, data, data + 2);
    size_t pos = 2;
    for (;;) {
        if (pos + 1 >= size || data[pos] != 0xFF)
            return false;
        const uchar marker = data[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xD9) {
            out.push_back(0xFF);
            out.push_back(0xD9);
            return leftOut > 0;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8) || pos + 4 > size)
            return false;
        const size_t len = (size_t(data[pos + 2]) << 8) | data[pos + 3];
        const size_t segEnd = pos + 2 + len;
        if (len < 2 || segEnd > size)
            return false;
        if (marker != 0xDA) {
            Append(out, data + pos, data + segEnd);
            pos = segEnd;
            continue;
        }
        // Start of scan: its header, then entropy-coded data up to the next marker.
        const size_t ns = len >= 3 ? data[pos + 4] : 0;
        if (ns < 1 || ns > 4 || len != 6 + 2 * ns)
            return false;
        const uchar ss = data[pos + 5 + 2 * ns];
        bool drop = ss > 0;
        for (size_t i = 0; i < ns; ++i)
            drop = drop && dcOnly[data[pos + 5 + 2 * i]];
        size_t q = segEnd;
        size_t scanEnd = 0;
        while (!scanEnd) {
            const void* ff = q < size ? std::memchr(data + q, 0xFF, size - q) : nullptr;
            if (!ff)
                return false; // no end: a cut file is the decoder's to report
            const size_t p = size_t(static_cast<const uchar*>(ff) - data);
            if (p + 1 >= size)
                return false;
            const uchar b = data[p + 1];
            if (b == 0x00 || (b >= 0xD0 && b <= 0xD7))
                q = p + 2;
            else if (b == 0xFF)
                q = p + 1;
            else
                scanEnd = p;
        }
        if (drop)
            ++leftOut;
        else
            Append(out, data + pos, data + scanEnd);
        pos = scanEnd;
    }
}

} // namespace

void SetJpegScanPruning(bool enabled) {
    PruneScans = enabled;
}

int JpegScansLeftOut() {
    return ScansLeftOut;
}

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
    QFile f;
    if (!POpenRegularFile(f, fileName))
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
        c.TrimKeptMemory();
        throw Exception(QStringLiteral("JPEG error in %1: %2").arg(name, text));
    };
    c.Err.Text[0] = 0;
    c.Err.Pub.num_warnings = 0;
    ScansLeftOut = 0;
    if (!ReadHeader(c, data, size))
        fail(QString::fromLocal8Bit(c.Err.Text));

    j_decompress_ptr ci = &c.Cinfo;
    const int w = int(ci->image_width), h = int(ci->image_height);
    if (w <= 0 || h <= 0)
        fail(QStringLiteral("the image has no pixels"));

    const bool cmyk = ci->jpeg_color_space == JCS_CMYK || ci->jpeg_color_space == JCS_YCCK;
    const int d = JpegScaleDenominator(boxWidth, boxHeight, w, h);
    auto setParameters = [&] {
        ci->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
        ci->scale_num = 1;
        ci->scale_denom = unsigned(d);
        ci->dct_method = JDCT_ISLOW;
        ci->do_fancy_upsampling = TRUE;
        ci->quantize_colors = FALSE;
    };
    setParameters();
    if (PruneScans && ci->progressive_mode && d == 8) {
        bool dcOnly[256] = {};
        bool any = false;
        if (!CalcDimensions(c))
            fail(QString::fromLocal8Bit(c.Err.Text));
        for (int i = 0; i < ci->num_components; ++i) {
            const jpeg_component_info& comp = ci->comp_info[i];
            if (comp.DCT_scaled_size == 1)
                any = dcOnly[comp.component_id & 0xFF] = true;
        }
        int leftOut = 0;
        if (any && PruneAcScans(data, size, dcOnly, c.Pruned, leftOut)) {
            ScansLeftOut = leftOut;
            // The same file without the unused scans: read its header again.
            jpeg_abort_decompress(ci);
            if (!ReadHeader(c, c.Pruned.data(), c.Pruned.size()))
                fail(QString::fromLocal8Bit(c.Err.Text));
            setParameters();
            // What smoothing would estimate for the missing coefficients is never drawn.
            ci->do_block_smoothing = FALSE;
        }
    }
    // The limits bind what the decoder really allocates: the raster at the scale decoded
    // (a 200-megapixel photograph needs an eighth of each side for its thumbnail) and, for
    // a file of several scans, the coefficients of the whole image it keeps until the end.
    bool multipleScans = false;
    if (!CalcDimensions(c, &multipleScans))
        fail(QString::fromLocal8Bit(c.Err.Text));
    if (int64_t(ci->output_width) * ci->output_height > kMaxImagePixels)
        fail(QStringLiteral("the image is too large (%1 x %2 pixels, %3 x %4 decoded; at most "
                            "%5 pixels are decoded)")
                 .arg(w)
                 .arg(h)
                 .arg(ci->output_width)
                 .arg(ci->output_height)
                 .arg(kMaxImagePixels));
    if (multipleScans) {
        const uint64_t bytes = CoefficientBytes(ci);
        if (bytes > uint64_t(kMaxDecoderMemory))
            fail(QStringLiteral("the image is too large (%1 x %2 pixels; decoding it needs %3 MB "
                                "of coefficients, at most %4 MB are allowed)")
                     .arg(w)
                     .arg(h)
                     .arg(bytes >> 20)
                     .arg(kMaxDecoderMemory >> 20));
    }
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
    c.TrimKeptMemory();
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
