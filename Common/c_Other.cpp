#include "c_Other.h"

#include "platform/PFileSystem.h"
#include "platform/PSystem.h"
#include "services/CException.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>

namespace {

QMutex& IconLock() {
    static QMutex lock;
    return lock;
}

TFreeSpaceQuery& FreeSpaceQuery() {
    static TFreeSpaceQuery query;
    return query;
}

TFileIconLookup& IconLookup() {
    static TFileIconLookup lookup;
    return lookup;
}

// Icons already drawn, by MIME type: the theme is asked once per type.
QHash<QString, QImage>& IconCache() {
    static QHash<QString, QImage> cache;
    return cache;
}

QIcon ThemeIcon(const QString& fileName) {
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(mime.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(mime.genericIconName());
    if (icon.isNull()) {
        static QFileIconProvider provider;
        icon = provider.icon(QFileInfo(fileName));
    }
    return icon;
}

} // namespace

QString GetLowerExt(const QString& fileName) {
    QString ext = fileName.mid(fileName.lastIndexOf('.') + 1);
    for (QChar& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    return ext;
}

QStringList ListImageFiles(const QString& folder, const QStringList& extensions) {
    // One pass over the folder, grouped afterwards by extension in the order of the list,
    // each group in the order the file system gives: what a pass per extension would give,
    // without reading the folder once for each.
    QStringList names;
    QList<PNameEntry> entries;
    if (!PListNames(folder.endsWith('/') ? folder : folder + "/", entries))
        return names;
    QList<QStringList> groups(extensions.size());
    for (PNameEntry& entry : entries) {
        if (entry.IsDir || !entry.Name.contains(u'.')) // "*.jpg" needs the dot
            continue;
        const qsizetype group = extensions.indexOf(GetLowerExt(entry.Name));
        if (group >= 0)
            groups[group].append(std::move(entry.Name));
    }
    for (const QStringList& group : groups)
        names += group;
    return names;
}

void SetFreeSpaceQuery(TFreeSpaceQuery query) {
    FreeSpaceQuery() = std::move(query);
}

int DefaultCacheSize(const QString& path) {
    uint64_t bytes = 0;
    const bool ok = FreeSpaceQuery() ? FreeSpaceQuery()(path, bytes) : PFreeDiskSpace(path, bytes);
    if (!ok)
        bytes = 0;
    const uint64_t megabytes = bytes / 1024 / 1024;
    if (megabytes >= 1000)
        return 250;
    return static_cast<int>(megabytes / 4);
}

void SetFileIconLookup(TFileIconLookup lookup) {
    QMutexLocker locker(&IconLock());
    IconLookup() = std::move(lookup);
    IconCache().clear();
}

void EnsureIconTheme() {
    // Some platforms (the offscreen one among them) look only in the program's resources.
    QStringList paths = QIcon::themeSearchPaths();
    QStringList wanted = {QDir::homePath() + "/.icons"};
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + "/.local/share";
    wanted.append(dataHome + "/icons");
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = "/usr/local/share:/usr/share";
    for (const QString& d : dataDirs.split(':', Qt::SkipEmptyParts))
        wanted.append(d + "/icons");
    bool added = false;
    for (const QString& w : wanted)
        if (!paths.contains(w) && QFileInfo(w).isDir()) {
            paths.append(w);
            added = true;
        }
    if (added)
        QIcon::setThemeSearchPaths(paths);
    const QString theme = QIcon::themeName();
    if (theme.isEmpty() || theme == "hicolor")
        QIcon::setThemeName("Adwaita");
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == "hicolor")
        QIcon::setFallbackThemeName("Adwaita");
}

void DrawFileIcon(const QString& fileName, QImage& bitmap) {
    QMutexLocker locker(&IconLock());
    const QString type =
        IconLookup()
            ? fileName
            : QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).name();
    QImage icon = IconCache().value(type);
    if (icon.isNull()) {
        EnsureIconTheme();
        const QIcon found = IconLookup() ? IconLookup()(fileName) : ThemeIcon(fileName);
        if (!found.isNull())
            icon = found.pixmap(FileIconSize, FileIconSize)
                       .toImage()
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // Icons come in one size everywhere; a theme that only has other sizes is scaled.
        if (!icon.isNull() && icon.size() != QSize(FileIconSize, FileIconSize))
            icon = icon.scaled(FileIconSize, FileIconSize, Qt::IgnoreAspectRatio,
                               Qt::SmoothTransformation);
        if (icon.isNull())
            throw Exception("Assertion failure (c_Other.cpp, line 119)");
        IconCache().insert(type, icon);
    }
    QImage out(icon.width() + 16, icon.height() + 16, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawImage((out.width() - icon.width()) / 2, (out.height() - icon.height()) / 2, icon);
    p.end();
    bitmap = out;
}

int StrToIntInRange(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        negative = t[i++] == '-';
    if (i >= t.size())
        return 0;
    int value = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9')
            return 0;
        value = qMin(value * 10 + (t[i].unicode() - '0'), 1000); // past the range is enough
    }
    if (negative)
        value = -value;
    return value >= 3 && value <= 28 ? value : 0;
}
