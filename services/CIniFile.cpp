#include "CIniFile.h"

#include "CException.h"
#include "platform/PRegularFile.h"
#include "platform/PSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QStringDecoder>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A settings file larger than this is not a settings file: reads give the defaults and
// writes are refused rather than copying it around.
constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

struct TLine {
    QByteArray Text; // without its line end
    QByteArray Eol;  // "\n", "\r\n", or "" for a last line without one
};

struct TContent {
    QList<TLine> Lines;
    QByteArray Eol = "\n"; // used for lines we add
};

// Writers in this process take turns, so two writes on one file never lose each other.
QMutex& WriteLock() {
    static QMutex lock;
    return lock;
}

TContent Split(const QByteArray& data) {
    TContent c;
    qsizetype pos = 0;
    if (data.startsWith("\xEF\xBB\xBF"))
        pos = 3; // the byte-order mark is kept on its own "line" below
    if (pos)
        c.Lines.append({data.left(3), QByteArray()});
    bool first = true;
    while (pos < data.size()) {
        qsizetype nl = data.indexOf('\n', pos);
        TLine line;
        if (nl < 0) {
            line.Text = data.mid(pos);
            pos = data.size();
        } else {
            qsizetype end = nl;
            if (end > pos && data[end - 1] == '\r') {
                --end;
                line.Eol = "\r\n";
            } else {
                line.Eol = "\n";
            }
            line.Text = data.mid(pos, end - pos);
            pos = nl + 1;
            if (first)
                c.Eol = line.Eol;
            first = false;
        }
        c.Lines.append(line);
    }
    return c;
}

QByteArray Join(const TContent& c) {
    QByteArray out;
    for (const TLine& l : c.Lines)
        out += l.Text + l.Eol;
    return out;
}

bool IsBom(const TLine& l) {
    return l.Eol.isEmpty() && l.Text == "\xEF\xBB\xBF";
}

// Text of the file as UTF-8, keeping a leading U+FEFF: QString::fromUtf8 drops it, so a name
// or value beginning with one would read back as another than was written.
QString Utf8Text(const QByteArray& bytes) {
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decode(bytes);
}

// "[name]" → true with the trimmed name.
bool SectionName(const QByteArray& text, QString& name) {
    const QByteArray t = text.trimmed();
    if (!t.startsWith('['))
        return false;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return false;
    name = Utf8Text(t.mid(1, close - 1).trimmed());
    return true;
}

// "key=value" → true with the trimmed key and value; comments and other lines → false.
bool KeyValue(const QByteArray& text, QString* key, QByteArray* value) {
    const qsizetype eq = text.indexOf('=');
    if (eq < 0)
        return false;
    const QByteArray k = text.left(eq).trimmed();
    if (k.isEmpty() || k.startsWith(';'))
        return false;
    if (key)
        *key = Utf8Text(k);
    if (value)
        *value = text.mid(eq + 1).trimmed();
    return true;
}

bool Same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The whole file, or an empty content when it is missing, unreadable or too large.
TContent Load(const QString& fileName) {
    QFile f;
    if (!POpenRegularFile(f, fileName) || f.size() > MaxFileSize)
        return {};
    return Split(f.readAll());
}

// Calls visit(index, key, value) for every key line of every block of the section, in
// file order; stops when visit returns false.
template <typename F> void ForEachKey(const TContent& c, const QString& section, F visit) {
    bool inside = false;
    for (qsizetype i = 0; i < c.Lines.size(); ++i) {
        QString name;
        if (SectionName(c.Lines[i].Text, name)) {
            inside = Same(name, section);
            continue;
        }
        if (!inside)
            continue;
        QString key;
        QByteArray value;
        if (KeyValue(c.Lines[i].Text, &key, &value) && !visit(i, key, value))
            return;
    }
}

bool FindValue(const TContent& c, const QString& section, const QString& key, QByteArray& out) {
    bool found = false;
    ForEachKey(c, section, [&](qsizetype, const QString& k, const QByteArray& v) {
        if (!Same(k, key))
            return true;
        out = v;
        found = true;
        return false;
    });
    return found;
}

// Line breaks in a name or value would split the line and could plant other keys.
QByteArray OneLine(const QString& text) {
    QByteArray b = text.toUtf8();
    b.replace('\r', ' ');
    b.replace('\n', ' ');
    return b;
}

QString Truncated(const QString& value) {
    if (value.size() <= TIniFile::MaxValueLength)
        return value;
    qsizetype units = 0;
    int chars = 0;
    while (units < value.size() && chars < TIniFile::MaxValueLength) {
        units += (value[units].isHighSurrogate() && units + 1 < value.size() &&
                  value[units + 1].isLowSurrogate())
                     ? 2
                     : 1;
        ++chars;
    }
    return value.left(units);
}

[[noreturn]] void Refuse(const QString& fileName, int err) {
    throw Exception(QString("Unable to write to %1 (%2)")
                        .arg(fileName, QString::fromLocal8Bit(std::strerror(err))));
}

bool WriteAll(int fd, const QByteArray& data) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Loads the file, lets edit change it (edit returns false when nothing changed) and puts
// the result in place through a flushed temporary file renamed over the old one.
void Rewrite(const QString& fileName, const std::function<bool(TContent&)>& edit,
             bool createWhenMissing) {
    QMutexLocker locker(&WriteLock());
    // Through a symbolic link the file it names is replaced, not the link.
    QString target = fileName;
    const QFileInfo link(fileName);
    if (link.isSymLink())
        target = link.symLinkTarget();
    const QByteArray path = QFile::encodeName(target);

    struct stat st {};
    const bool exists = ::stat(path.constData(), &st) == 0;
    if (!exists && !createWhenMissing)
        return;
    TContent content;
    if (exists) {
        if (!S_ISREG(st.st_mode))
            Refuse(fileName, EISDIR);
        // The new file replaces the old one by a rename, which the folder allows even for a
        // file we may not write; a read-only file must stay as it is.
        if (PIsReadOnlyFile(target))
            Refuse(fileName, EACCES);
        if (st.st_size > MaxFileSize)
            Refuse(fileName, EFBIG);
        QFile f;
        if (!POpenRegularFile(f, target))
            Refuse(fileName, EACCES);
        content = Split(f.readAll());
    }
    if (!edit(content))
        return;
    const QByteArray data = Join(content);

    const QFileInfo fi(target);
    static std::atomic<unsigned> counter{0};
    QByteArray tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = QFile::encodeName(fi.absolutePath() + "/." + fi.fileName() + "." +
                                QString::number(::getpid()) + "." +
                                QString::number(counter.fetch_add(1)) + ".tmp");
        fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            Refuse(fileName, errno);
    }
    if (fd < 0)
        Refuse(fileName, EEXIST);
    int err = 0;
    if (exists && ::fchmod(fd, st.st_mode & 07777) != 0)
        err = errno;
    if (!err && !WriteAll(fd, data))
        err = errno;
    if (!err && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    if (!err && ::rename(tmp.constData(), path.constData()) != 0)
        err = errno;
    if (err) {
        ::unlink(tmp.constData());
        Refuse(fileName, err);
    }
    // The rename itself is on disk only once the folder is.
    const int dir = ::open(QFile::encodeName(fi.absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace

TIniFile::TIniFile(const QString& fileName) : FFileName(fileName) {}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
    QByteArray value;
    if (!FindValue(Load(FFileName), section, key, value))
        return def;
    return Truncated(Utf8Text(value));
}

bool TIniFile::ParseInteger(const QString& text, int& value) {
    const QString t = text.trimmed();
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        quint64 v = 0;
        for (qsizetype i = 2; i < t.size(); ++i) {
            const char16_t c = t[i].unicode();
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return false;
            v = v * 16 + static_cast<quint64>(d);
            if (v > 0xFFFFFFFFull)
                return false;
        }
        // Eight hex digits fill the 32 bits, as colours written in hex do.
        value = static_cast<int>(static_cast<quint32>(v));
        return true;
    }
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) {
        negative = t[i] == '-';
        ++i;
    }
    if (i >= t.size())
        return false;
    qint64 v = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c.unicode() - '0');
        if (v > 2147483648LL)
            return false;
    }
    if (negative)
        v = -v;
    if (v > 2147483647LL)
        return false;
    value = static_cast<int>(v);
    return true;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const {
    int value = def;
    if (!ParseInteger(ReadString(section, key, QString()), value))
        return def;
    return value;
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QByteArray sectionBytes = OneLine(section);
    const QByteArray keyBytes = OneLine(key);
    const QByteArray line = keyBytes + "=" + OneLine(value);
    const QString sectionName = Utf8Text(sectionBytes.trimmed());
    const QString keyName = Utf8Text(keyBytes.trimmed());
    Rewrite(
        FFileName,
        [&](TContent& c) {
            qsizetype at = -1;
            ForEachKey(c, sectionName, [&](qsizetype i, const QString& k, const QByteArray&) {
                if (!Same(k, keyName))
                    return true;
                at = i;
                return false;
            });
            if (at >= 0) {
                if (c.Lines[at].Text == line)
                    return false;
                c.Lines[at].Text = line;
                return true;
            }
            // A new key goes after the last non-blank line of the section's first block.
            qsizetype head = -1;
            for (qsizetype i = 0; i < c.Lines.size() && head < 0; ++i) {
                QString name;
                if (SectionName(c.Lines[i].Text, name) && Same(name, sectionName))
                    head = i;
            }
            // Only a first line can be the byte-order mark; the same bytes ending the file
            // are a line like any other and need their line end before a new line.
            if (!c.Lines.isEmpty() && c.Lines.last().Eol.isEmpty() &&
                !(c.Lines.size() == 1 && IsBom(c.Lines.last())))
                c.Lines.last().Eol = c.Eol;
            if (head < 0) {
                c.Lines.append({"[" + sectionBytes + "]", c.Eol});
                c.Lines.append({line, c.Eol});
                return true;
            }
            qsizetype last = head;
            for (qsizetype i = head + 1; i < c.Lines.size(); ++i) {
                QString name;
                if (SectionName(c.Lines[i].Text, name))
                    break;
                if (!c.Lines[i].Text.trimmed().isEmpty())
                    last = i;
            }
            c.Lines.insert(last + 1, {line, c.Eol});
            return true;
        },
        true);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(const QString& section) {
    Rewrite(
        FFileName,
        [&](TContent& c) {
            bool inside = false, changed = false;
            QList<TLine> kept;
            for (const TLine& l : c.Lines) {
                QString name;
                if (SectionName(l.Text, name))
                    inside = Same(name, section);
                if (inside)
                    changed = true;
                else
                    kept.append(l);
            }
            c.Lines = kept;
            return changed;
        },
        false);
}

void TIniFile::DeleteKey(const QString& section, const QString& key) {
    Rewrite(
        FFileName,
        [&](TContent& c) {
            QList<qsizetype> drop;
            ForEachKey(c, section, [&](qsizetype i, const QString& k, const QByteArray&) {
                if (Same(k, key))
                    drop.append(i);
                return true;
            });
            for (qsizetype n = drop.size() - 1; n >= 0; --n)
                c.Lines.removeAt(drop[n]);
            return !drop.isEmpty();
        },
        false);
}

bool TIniFile::SectionExists(const QString& section) const {
    return ReadSections().contains(section, Qt::CaseInsensitive);
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const {
    QByteArray value;
    return FindValue(Load(FFileName), section, key, value);
}

QStringList TIniFile::ReadSection(const QString& section) const {
    QStringList keys;
    ForEachKey(Load(FFileName), section, [&](qsizetype, const QString& k, const QByteArray&) {
        if (!keys.contains(k, Qt::CaseInsensitive))
            keys.append(k);
        return true;
    });
    return keys;
}

QStringList TIniFile::ReadSections() const {
    QStringList names;
    const TContent c = Load(FFileName);
    for (const TLine& l : c.Lines) {
        QString name;
        if (SectionName(l.Text, name) && !names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    return names;
}
