#include "PFileSystem.h"
#include "PRegularFile.h"

#include <QFile>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

static QByteArray Native(const QString& path) {
    return PEncodeName(path);
}

// The length of the well-formed UTF-8 character at s (n bytes available), or 0 when the
// bytes there are not one: a stray continuation byte, a truncated sequence, an overlong
// form, an encoded surrogate or a code point past U+10FFFF.
static int Utf8Length(const uchar* s, qsizetype n, char32_t& cp) {
    const uchar c = s[0];
    int len;
    char32_t min;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        len = 2, min = 0x80, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3, min = 0x800, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4, min = 0x10000, cp = c & 0x07;
    } else {
        return 0;
    }
    if (n < len)
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

QString PDecodeName(const char* data, qsizetype size) {
    const uchar* s = reinterpret_cast<const uchar*>(data);
    qsizetype i = 0;
    while (i < size && s[i] < 0x80)
        ++i;
    if (i == size)
        return QString::fromLatin1(data, size);
    QString out;
    out.reserve(size);
    out.append(QLatin1String(data, i));
    while (i < size) {
        char32_t cp = 0;
        const int len = Utf8Length(s + i, size - i, cp);
        if (len == 0) {
            out.append(QChar(char16_t(0xDC00 + s[i]))); // a byte of 0x80 or more
            ++i;
        } else {
            if (cp >= 0x10000) {
                out.append(QChar(char16_t(0xD800 + ((cp - 0x10000) >> 10))));
                out.append(QChar(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF))));
            } else {
                out.append(QChar(char16_t(cp)));
            }
            i += len;
        }
    }
    return out;
}

QByteArray PEncodeName(const QString& name) {
    const char16_t* u = reinterpret_cast<const char16_t*>(name.utf16());
    const qsizetype n = name.size();
    QByteArray out;
    out.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = u[i];
        char32_t cp = c;
        if (c < 0x80) {
            out.append(char(c));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out.append(char(c - 0xDC00)); // a byte kept from the file system
            continue;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            cp = 0xFFFD; // no file system name holds it
        }
        if (cp < 0x800) {
            out.append(char(0xC0 | (cp >> 6)));
        } else if (cp < 0x10000) {
            out.append(char(0xE0 | (cp >> 12)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        } else {
            out.append(char(0xF0 | (cp >> 18)));
            out.append(char(0x80 | ((cp >> 12) & 0x3F)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        }
        out.append(char(0x80 | (cp & 0x3F)));
    }
    return out;
}

int POpenRead(const QString& path) {
    // A pipe or device of a picture's name must never block the reader.
    return POpenRegularFile(path);
}

bool POpenRead(const QString& path, QFile& file, QString* error) {
    const int fd = POpenRead(path);
    if (fd < 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (error)
            *error = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
}

// Iterative wildcard match with single-star backtracking; both sides case-folded.
static bool Glob(const QString& name, const QString& mask) {
    qsizetype n = 0, m = 0, starM = -1, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == u'?' || mask[m] == name[n])) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == u'*') {
            starM = m++;
            starN = n;
        } else if (starM >= 0) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

bool PMatchMask(const QString& name, const QString& mask) {
    const QString n = name.toCaseFolded();
    const QString k = mask.toCaseFolded();
    if (k.isEmpty() || k == u"*" || k == u"*.*")
        return true;
    if (Glob(n, k))
        return true;
    // "name.*" also stands for a name that has no extension at all.
    return k.endsWith(u".*") && !n.contains(u'.') && Glob(n, k.left(k.size() - 2));
}

static void FillEntry(const QString& name, const QByteArray& path, const struct stat& st,
                      PFileEntry& e) {
    struct stat lst;
    e.Name = name;
    e.IsLink = lstat(path.constData(), &lst) == 0 && S_ISLNK(lst.st_mode);
    e.IsDir = S_ISDIR(st.st_mode);
    e.Hidden = name.startsWith(u'.');
    e.ReadOnly = access(path.constData(), W_OK) != 0;
    e.Size = e.IsDir ? 0 : int64_t(st.st_size);
    e.MTime = int64_t(st.st_mtime);
    e.MTimeNsec = int32_t(st.st_mtim.tv_nsec);
}

static bool StatPath(const QByteArray& path, struct stat& st) {
    // Links are followed; a dangling link still shows as an entry of its own.
    return stat(path.constData(), &st) == 0 || lstat(path.constData(), &st) == 0;
}

PDirSearch::~PDirSearch() {
    Close();
}

bool PDirSearch::Open(const QString& dir, const QString& mask) {
    Close();
    FPath = dir.endsWith(u'/') ? dir : dir + u'/';
    FMask = mask;
    FDir = opendir(Native(dir).constData());
    return FDir != nullptr;
}

bool PDirSearch::Next(PFileEntry& entry) {
    if (!FDir)
        return false;
    while (struct dirent* d = readdir(static_cast<DIR*>(FDir))) {
        if (strcmp(d->d_name, ".") == 0 || strcmp(d->d_name, "..") == 0)
            continue;
        const QString name = PDecodeName(d->d_name, qsizetype(strlen(d->d_name)));
        if (!PMatchMask(name, FMask))
            continue;
        const QByteArray path = Native(FPath + name);
        struct stat st;
        if (!StatPath(path, st))
            continue; // vanished since the folder was read
        FillEntry(name, path, st, entry);
        return true;
    }
    return false;
}

void PDirSearch::Close() {
    if (FDir)
        closedir(static_cast<DIR*>(FDir));
    FDir = nullptr;
}

bool PListNames(const QString& dir, QList<PNameEntry>& entries) {
    entries.clear();
    const QByteArray native = Native(dir);
    DIR* d = opendir(native.constData());
    if (!d)
        return false;
    const QByteArray prefix = native.endsWith('/') ? native : native + '/';
    while (struct dirent* e = readdir(d)) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        PNameEntry entry;
        entry.Name = PDecodeName(e->d_name, qsizetype(strlen(e->d_name)));
        if (e->d_type == DT_DIR) {
            entry.IsDir = true;
        } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st;
            entry.IsDir = stat((prefix + e->d_name).constData(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        entries.append(std::move(entry));
    }
    closedir(d);
    return true;
}

bool PStatEntry(const QString& path, PFileEntry& entry) {
    if (path.isEmpty())
        return false;
    const QByteArray p = Native(path);
    struct stat st;
    if (!StatPath(p, st))
        return false;
    QString name = path;
    while (name.size() > 1 && name.endsWith(u'/'))
        name.chop(1);
    FillEntry(name.mid(name.lastIndexOf(u'/') + 1), p, st, entry);
    return true;
}

bool PIsDirectory(const QString& path) {
    struct stat st;
    return !path.isEmpty() && stat(Native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PIsWritable(const QString& path) {
    return access(Native(path).constData(), W_OK) == 0;
}

bool PAddOwnerWrite(const QString& path) {
    const QByteArray p = Native(path);
    struct stat st;
    if (lstat(p.constData(), &st) != 0 || S_ISLNK(st.st_mode))
        return false; // a link's target is not ours to change
    mode_t mode = st.st_mode | S_IWUSR;
    if (S_ISDIR(st.st_mode))
        mode |= S_IRUSR | S_IXUSR;
    return chmod(p.constData(), mode & 07777) == 0;
}

bool PRemoveFile(const QString& path) {
    return unlink(Native(path).constData()) == 0;
}

bool PRemoveDir(const QString& path) {
    return rmdir(Native(path).constData()) == 0;
}

bool PMakeDir(const QString& path) {
    return mkdir(Native(path).constData(), 0777) == 0;
}

// by-label names escape unusual bytes as \xHH.
static QString DecodeLabel(const char* s) {
    QByteArray out;
    for (size_t i = 0; s[i]; ++i) {
        if (s[i] == '\\' && s[i + 1] == 'x' && isxdigit(uint8_t(s[i + 2])) &&
            isxdigit(uint8_t(s[i + 3]))) {
            const char hex[3] = {s[i + 2], s[i + 3], 0};
            out.append(char(strtol(hex, nullptr, 16)));
            i += 3;
        } else {
            out.append(s[i]);
        }
    }
    return QString::fromUtf8(out);
}

static QString ScanLabelOfDevice(dev_t dev) {
    DIR* d = opendir("/dev/disk/by-label");
    if (!d)
        return {};
    QString label;
    while (struct dirent* e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        const QByteArray p = QByteArray("/dev/disk/by-label/") + e->d_name;
        struct stat st;
        if (stat(p.constData(), &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == dev) {
            label = DecodeLabel(e->d_name);
            break;
        }
    }
    closedir(d);
    return label;
}

// The label of a device, looked up once per device: the by-label folder is scanned again
// only when it has changed since (a disk relabelled or plugged in), so the cache's hit test
// costs one stat here instead of a scan of the folder.
static QString LabelOfDevice(dev_t dev) {
    static std::mutex lock;
    static std::map<dev_t, QString> labels;
    static struct timespec seen = {-1, 0};
    struct stat folder;
    struct timespec now = {0, 0};
    if (stat("/dev/disk/by-label", &folder) == 0)
        now = folder.st_mtim;
    std::lock_guard<std::mutex> guard(lock);
    if (now.tv_sec != seen.tv_sec || now.tv_nsec != seen.tv_nsec) {
        labels.clear();
        seen = now;
    }
    auto it = labels.find(dev);
    if (it == labels.end())
        it = labels.emplace(dev, ScanLabelOfDevice(dev)).first;
    return it->second;
}

bool PVolumeInfo(const QString& path, QString& label, uint32_t& serial) {
    label.clear();
    serial = 0;
    QString p = path;
    struct stat st;
    // The volume of a path that is gone is the volume of the folder that held it.
    while (!p.isEmpty() && stat(Native(p).constData(), &st) != 0) {
        const qsizetype slash = p.lastIndexOf(u'/', p.size() - 2);
        if (slash < 0)
            p = p == u"." ? QString() : QStringLiteral(".");
        else
            p = slash == 0 ? QStringLiteral("/") : p.left(slash);
    }
    if (p.isEmpty())
        return false;
    struct statvfs vfs;
    if (statvfs(Native(p).constData(), &vfs) != 0)
        return false;
    serial = uint32_t(vfs.f_fsid);
    label = LabelOfDevice(st.st_dev);
    return true;
}
