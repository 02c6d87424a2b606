// Thumbnail making over a folder of real photographs: 512 x 512 box, one thread, every JPEG
// of the folder (bench/make-corpus builds it). Measured in the same run and printed as
// ratios:
//   - Velmora's thumbnail maker (TThGraphic::MakeThumbnail);
//   - vipsthumbnail -s 512x512 over all files in one process (VIPS_CONCURRENCY=1);
//   - a full-size libjpeg decode plus the same nearest-neighbour stretch;
//   - a bare TurboJPEG loop: tjDecompress2 at the smallest scale still at least the fitted
//     size, then the same stretch: what decoding alone costs.
// Every contender reads each file itself; the files are read once beforehand so that all
// come from the page cache. Each round runs all four in turn; the best round counts.
//
//   thumbnail_bench [folder] [--rounds N] [--other-formats]
//
// It ends with PNG and TIFF copies of some photographs against plain QImageReader
// (--other-formats runs only that part).
#include "cache/CThGraphic.h"
#include "imaging/GraphicReader.h"
#include "services/CDirList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kBox = 512;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double ThreadCpu() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

struct TFile {
    QString Path;
    bool Progressive = false;
    int Width = 0, Height = 0;
    int64_t Bytes = 0;
};

struct TResult {
    double Wall = 1e30, Cpu = 1e30;
    std::vector<double> PerFile; // of the best round
};

// Reads a whole file into a buffer kept between calls.
size_t ReadInto(const QString& path, std::vector<unsigned char>& buf) {
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const off_t size = lseek(fd, 0, SEEK_END);
    lseek(fd, 0, SEEK_SET);
    if (buf.size() < size_t(size))
        buf.resize(size_t(size));
    size_t got = 0;
    while (got < size_t(size)) {
        const ssize_t n = read(fd, buf.data() + got, size_t(size) - got);
        if (n <= 0)
            break;
        got += size_t(n);
    }
    close(fd);
    return got;
}

bool IsProgressive(const std::vector<unsigned char>& d, size_t n, int& w, int& h) {
    for (size_t i = 2; i + 9 < n;) {
        if (d[i] != 0xFF)
            return false;
        const int m = d[i + 1];
        const size_t len = (size_t(d[i + 2]) << 8) | d[i + 3];
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
            h = (d[i + 5] << 8) | d[i + 6];
            w = (d[i + 7] << 8) | d[i + 8];
            return m == 0xC2 || m == 0xC6 || m == 0xCA || m == 0xCE;
        }
        i += 2 + len;
    }
    return false;
}

// ---- contender: Velmora ----------------------------------------------------------------

void RunVelmora(const std::vector<TFile>& files, TResult& r, long& check) {
    TThGraphic g;
    g.SetBoxWidth(kBox);
    g.SetBoxHeight(kBox);
    std::vector<double> per;
    const double c0 = ThreadCpu(), w0 = Now();
    for (const TFile& f : files) {
        const double t = Now();
        g.MakeThumbnail(f.Path);
        per.push_back(Now() - t);
        check += g.Thumbnail().width() + g.Thumbnail().height();
    }
    const double wall = Now() - w0, cpu = ThreadCpu() - c0;
    if (wall < r.Wall) {
        r.Wall = wall;
        r.PerFile = per;
    }
    r.Cpu = std::min(r.Cpu, cpu);
}

// ---- other formats: Velmora against plain QImageReader ------------------------------------

// Seconds for the thumbnails of every file (Velmora), or for reading each file whole with a
// fresh QImageReader (Qt's own reader: the reference).
double RunOtherFormat(const QStringList& files, bool velmora, long& check) {
    TThGraphic g;
    g.SetBoxWidth(kBox);
    g.SetBoxHeight(kBox);
    const double w0 = Now();
    for (const QString& f : files) {
        if (velmora) {
            g.MakeThumbnail(f);
            check += g.Thumbnail().width();
        } else {
            QImageReader reader(f);
            const QImage image = reader.read();
            check += image.width();
        }
    }
    return Now() - w0;
}

// ---- contender: full-size libjpeg decode + nearest neighbour ------------------------------

struct TBenchJpegError {
    jpeg_error_mgr Pub;
    jmp_buf Jump;
};

void BenchErrorExit(j_common_ptr c) {
    longjmp(reinterpret_cast<TBenchJpegError*>(c->err)->Jump, 1);
}
void BenchOutputMessage(j_common_ptr) {}

struct TFullDecoder {
    jpeg_decompress_struct Cinfo;
    TBenchJpegError Err;
    std::vector<unsigned char> File, Pixels;
    TFullDecoder() {
        Cinfo.err = jpeg_std_error(&Err.Pub);
        Err.Pub.error_exit = BenchErrorExit;
        Err.Pub.output_message = BenchOutputMessage;
        jpeg_create_decompress(&Cinfo);
    }
    ~TFullDecoder() { jpeg_destroy_decompress(&Cinfo); }

    // Decodes at full size into Pixels; false on error.
    bool Decode(size_t n, int& w, int& h) {
        if (setjmp(Err.Jump)) {
            jpeg_abort_decompress(&Cinfo);
            return false;
        }
        jpeg_mem_src(&Cinfo, File.data(), static_cast<unsigned long>(n));
        jpeg_read_header(&Cinfo, TRUE);
        Cinfo.out_color_space = JCS_RGB;
        jpeg_start_decompress(&Cinfo);
        w = int(Cinfo.output_width);
        h = int(Cinfo.output_height);
        const size_t bpl = size_t(w) * 3;
        if (Pixels.size() < bpl * size_t(h))
            Pixels.resize(bpl * size_t(h));
        while (Cinfo.output_scanline < Cinfo.output_height) {
            JSAMPROW rows[16];
            const JDIMENSION first = Cinfo.output_scanline;
            const int k = std::min<int>(16, int(Cinfo.output_height - first));
            for (int i = 0; i < k; ++i)
                rows[i] = Pixels.data() + (first + i) * bpl;
            jpeg_read_scanlines(&Cinfo, rows, JDIMENSION(k));
        }
        jpeg_finish_decompress(&Cinfo);
        return true;
    }
};

QImage Stretch(unsigned char* pixels, int w, int h, int pitch, int fullW, int fullH) {
    const QImage src(pixels, w, h, pitch, QImage::Format_RGB888);
    const QSize fit = FitIntoBox(kBox, kBox, fullW, fullH);
    QImage thumb(fit, QImage::Format_RGB888);
    StretchDrawNearest(src, thumb, QRect(QPoint(0, 0), fit));
    return thumb;
}

void RunFull(const std::vector<TFile>& files, TFullDecoder& dec, TResult& r, long& check) {
    std::vector<double> per;
    const double c0 = ThreadCpu(), w0 = Now();
    for (const TFile& f : files) {
        const double t = Now();
        const size_t n = ReadInto(f.Path, dec.File);
        int w = 0, h = 0;
        if (n && dec.Decode(n, w, h)) {
            const QImage thumb = Stretch(dec.Pixels.data(), w, h, w * 3, w, h);
            check += thumb.width() + thumb.height();
        }
        per.push_back(Now() - t);
    }
    const double wall = Now() - w0, cpu = ThreadCpu() - c0;
    if (wall < r.Wall) {
        r.Wall = wall;
        r.PerFile = per;
    }
    r.Cpu = std::min(r.Cpu, cpu);
}

// ---- contender: bare TurboJPEG scaled decode + nearest neighbour ---------------------------

void RunTurbo(const std::vector<TFile>& files, tjhandle tj, std::vector<unsigned char>& file,
              std::vector<unsigned char>& out, TResult& r, long& check) {
    std::vector<double> per;
    const double c0 = ThreadCpu(), w0 = Now();
    for (const TFile& f : files) {
        const double t = Now();
        const size_t n = ReadInto(f.Path, file);
        int w = 0, h = 0, sub = 0, cs = 0;
        if (n && tjDecompressHeader3(tj, file.data(), n, &w, &h, &sub, &cs) == 0) {
            const QSize fit = FitIntoBox(kBox, kBox, w, h);
            tjscalingfactor sf{1, 1};
            for (int d : {8, 4, 2}) {
                const tjscalingfactor s{1, d};
                if (TJSCALED(w, s) >= fit.width() && TJSCALED(h, s) >= fit.height()) {
                    sf = s;
                    break;
                }
            }
            const int sw = TJSCALED(w, sf), sh = TJSCALED(h, sf);
            if (out.size() < size_t(sw) * 3 * size_t(sh))
                out.resize(size_t(sw) * 3 * size_t(sh));
            if (tjDecompress2(tj, file.data(), n, out.data(), sw, 0, sh, TJPF_RGB, 0) == 0) {
                const QImage thumb = Stretch(out.data(), sw, sh, sw * 3, w, h);
                check += thumb.width() + thumb.height();
            }
        }
        per.push_back(Now() - t);
    }
    const double wall = Now() - w0, cpu = ThreadCpu() - c0;
    if (wall < r.Wall) {
        r.Wall = wall;
        r.PerFile = per;
    }
    r.Cpu = std::min(r.Cpu, cpu);
}

// ---- contender: vipsthumbnail ---------------------------------------------------------------

bool RunVips(const std::vector<TFile>& files, const QString& outDir, TResult& r) {
    std::vector<std::string> args = {"vipsthumbnail", "-s", "512x512", "-o",
                                     (outDir + "/%s.v").toStdString()};
    for (const TFile& f : files)
        args.push_back(f.Path.toStdString());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const double w0 = Now();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("VIPS_CONCURRENCY", "1", 1);
        execvp("vipsthumbnail", argv.data());
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    if (pid < 0 || wait4(pid, &status, 0, &ru) != pid)
        return false;
    const double wall = Now() - w0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    const double cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                       (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
    r.Wall = std::min(r.Wall, wall);
    r.Cpu = std::min(r.Cpu, cpu);
    return true;
}

double Sum(const std::vector<double>& v, const std::vector<TFile>& files, int progressive) {
    double s = 0;
    for (size_t i = 0; i < v.size(); ++i)
        if (progressive < 0 || int(files[i].Progressive) == progressive)
            s += v[i];
    return s;
}

} // namespace

// The JPEG contenders of the corpus, with their table and ratios.
void RunJpegContenders(const std::vector<TFile>& files, int rounds, int progressive, long& check) {
    const int count = int(files.size());
    TResult velmora, full, turbo, vips;
    TFullDecoder dec;
    tjhandle tj = tjInitDecompress();
    std::vector<unsigned char> tjFile, tjOut;
    QTemporaryDir vipsOut;
    bool vipsOk = true;
    for (int round = 0; round < rounds; ++round) {
        // Rotate the order so that no contender always runs right after another.
        for (int k = 0; k < 4; ++k) {
            switch ((round + k) % 4) {
            case 0:
                RunVelmora(files, velmora, check);
                break;
            case 1:
                RunFull(files, dec, full, check);
                break;
            case 2:
                RunTurbo(files, tj, tjFile, tjOut, turbo, check);
                break;
            default:
                vipsOk = RunVips(files, vipsOut.path(), vips) && vipsOk;
                break;
            }
        }
    }
    tjDestroy(tj);

    auto row = [&](const char* name, const TResult& r) {
        std::printf("  %-34s %9.2f %11.1f %14.2f\n", name, r.Wall * 1000 / count, r.Wall * 1000,
                    r.Cpu * 1000 / count);
    };
    std::printf("  %-34s %9s %11s %14s\n", "", "ms/image", "total ms", "cpu ms/image");
    row("Velmora TThGraphic::MakeThumbnail", velmora);
    row("bare TurboJPEG scaled decode + NN", turbo);
    row("full-size libjpeg decode + NN", full);
    if (vipsOk)
        row("vipsthumbnail (one process)", vips);
    else
        std::printf("  vipsthumbnail: not run (install libvips-tools: bench/make-corpus)\n");

    std::printf("\nratios (same run, wall clock):\n");
    if (vipsOk)
        std::printf("  vipsthumbnail / Velmora        %5.2f x  (target >= 2.00)\n",
                    vips.Wall / velmora.Wall);
    std::printf("  full decode / Velmora          %5.2f x  (target >= 1.25)\n",
                full.Wall / velmora.Wall);
    std::printf("  Velmora / bare TurboJPEG       %5.2f    (target <= 1.10)\n",
                velmora.Wall / turbo.Wall);
    std::printf("\nby kind (best round, ms/image):\n");
    for (int p : {0, 1}) {
        const int n = p ? progressive : count - progressive;
        if (n == 0)
            continue;
        const double v = Sum(velmora.PerFile, files, p), f = Sum(full.PerFile, files, p),
                     t = Sum(turbo.PerFile, files, p);
        std::printf("  %-11s Velmora %7.2f  TurboJPEG %7.2f  full decode %7.2f  full/Velmora "
                    "%5.2f x\n",
                    p ? "progressive" : "baseline", v * 1000 / n, t * 1000 / n, f * 1000 / n,
                    f / v);
    }
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString folder = QString(VELMORA_SOURCE_DIR) + "/bench/corpus/thumbnail";
    int rounds = 5;
    bool otherOnly = false; // only the PNG and TIFF comparison
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == "--rounds" && i + 1 < argc)
            rounds = std::max(1, atoi(argv[++i]));
        else if (a == "--other-formats")
            otherOnly = true;
        else
            folder = a;
    }
    TFileList list(folder, "*.jpg");
    std::vector<TFile> files;
    std::vector<unsigned char> buf;
    int64_t bytes = 0;
    double mpx = 0;
    int progressive = 0;
    for (int i = 0; i < list.Files().size(); ++i) {
        TFile f;
        f.Path = list.FilePath(i);
        const size_t n = ReadInto(f.Path, buf); // also brings it into the page cache
        f.Bytes = int64_t(n);
        f.Progressive = IsProgressive(buf, n, f.Width, f.Height);
        bytes += f.Bytes;
        mpx += f.Width * double(f.Height) / 1e6;
        progressive += f.Progressive;
        files.push_back(f);
    }
    if (files.empty()) {
        std::fprintf(stderr, "No JPEG files in %s; run bench/make-corpus first.\n",
                     qPrintable(folder));
        return 1;
    }
    const int count = int(files.size());
    std::printf("corpus: %s\n  %d JPEG photographs (%d baseline, %d progressive), %.1f MB, "
                "%.1f megapixels in all (%.1f on average)\n",
                qPrintable(folder), count, count - progressive, progressive, bytes / 1048576.0, mpx,
                mpx / count);
    std::printf("box %d x %d, one thread, best of %d rounds\n\n", kBox, kBox, rounds);

    long check = 0;
    if (!otherOnly)
        RunJpegContenders(files, rounds, progressive, check);

    // PNG and TIFF copies of up to eight photographs of the corpus: formats that Qt reads
    // whole (TIFF) or reduces while reading (PNG), against Qt's own reader on the same files.
    QTemporaryDir other;
    QStringList pngs, tiffs;
    for (int i = 0; i < count && pngs.size() < 8; i += std::max(1, count / 8)) {
        QImage photo(files[size_t(i)].Path);
        if (photo.isNull())
            continue;
        const QString base = other.filePath(QString("photo%1").arg(i));
        if (photo.save(base + ".png", "PNG") && photo.save(base + ".tif", "TIFF")) {
            pngs << base + ".png";
            tiffs << base + ".tif";
        }
    }
    std::printf("\nother formats: %d photographs as PNG and as TIFF, best of %d rounds\n",
                int(pngs.size()), rounds);
    for (const auto& [name, list] : {std::pair{"PNG", pngs}, std::pair{"TIFF", tiffs}}) {
        for (const QString& f : list)
            ReadInto(f, buf); // into the page cache
        double v = 1e30, q = 1e30;
        for (int round = 0; round < rounds; ++round) {
            const bool velmoraFirst = round % 2 == 0;
            const double a = RunOtherFormat(list, velmoraFirst, check);
            const double b = RunOtherFormat(list, !velmoraFirst, check);
            v = std::min(v, velmoraFirst ? a : b);
            q = std::min(q, velmoraFirst ? b : a);
        }
        const int n = std::max(1, int(list.size()));
        std::printf("  %-5s Velmora %7.2f ms/image, QImageReader %7.2f ms/image: Velmora / "
                    "QImageReader %5.2f  (target <= 1.00)\n",
                    name, v * 1000 / n, q * 1000 / n, v / q);
    }
    std::printf("\n(check %ld)\n", check);
    return 0;
}
