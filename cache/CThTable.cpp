#include "CThTable.h"

#include "CTextFile.h"
#include "platform/PRegularFile.h"
#include "services/CCommon.h"
#include "services/CDirList.h"
#include "services/CException.h"
#include "services/CThDebug.h"
#include "services/CThDebugLog.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file's last-write time to the nanosecond; -1 when it cannot be read.
int64_t WriteStampNs(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

void Log(const QString& message) {
    ThDebugLog.Write(message);
}

bool Logging() {
    return ThDebugLog.Enabled();
}

QString LineTag(int lineNo) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "L%.5d ", lineNo);
    return QString::fromLatin1(buf);
}

int Ms(const QElapsedTimer& t) {
    return int(t.elapsed());
}

QString NilArgument(const char* where) {
    return ThFormat(QStringLiteral("引数がnilです。%1"), QLatin1String(where));
}

// Makes a rename in the folder survive a power cut.
void SyncDirectory(const QString& dir) {
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

TThTable::TThTable() : FCurrent(&FList.SearchKey()) {
    if (Logging())
        Log(ThFormat(QStringLiteral("設定 Saveカウント上限=%1 予約個数=%2"), FList.MaxID,
                     FList.IDBlock));
}

TThTable::~TThTable() = default;

void TThTable::Load() {
    QElapsedTimer timer;
    timer.start();
    const QString path = Location().IndexFile();
    FIndexStamp = -1;
    FSaveBlocked = false;
    if (!FileExistsExact(path))
        return;
    FIndexStamp = WriteStampNs(path);
    TInputTextFile in(path);
    FLineCount = 0;
    int comments = 0;
    const bool logLines = IsDebugFlag(DebugLoadRec) && Logging();
    QByteArray line;
    try {
        in.Open();
        while (!in.Eof()) {
            const int64_t pos = in.Position();
            ++FLineCount;
            in.ReadLine(line);
            if (logLines)
                Log(LineTag(FLineCount) + QString::fromUtf8(line));
            if (line.isEmpty())
                continue;
            if (line[0] == 'T') {
                if (TThImage* image = FList.AddFromText(line)) {
                    image->LineNo = FLineCount;
                    image->FilePos = pos > INT32_MAX ? INT32_MAX : int32_t(pos);
                }
            } else if (line[0] != 'D') {
                ++comments;
            }
        }
        in.Close();
    } catch (const Exception& e) {
        in.Close();
        SetIndexAside(path, e.Message());
        return;
    }
    if (Logging())
        Log(ThFormat(QStringLiteral("管理情報ロード：%1ミリ秒、%2レコード (コメント%3レコード) %4"),
                     Ms(timer), FLineCount, comments, path));
    FList.Dirty = false;
}

namespace {

// The highest ID among the bitmap files of the cache folder, or -1.
int32_t HighestStoredID(const QString& cacheDir) {
    int32_t highest = -1;
    static const QRegularExpression folderName(QStringLiteral("^A\\d{5}$"));
    static const QRegularExpression fileName(QStringLiteral("^A(\\d{7})\\.bmp$"));
    const QStringList folders = QDir(cacheDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& folder : folders) {
        if (!folderName.match(folder).hasMatch())
            continue;
        for (const QString& file : QDir(JoinPath(cacheDir, folder)).entryList(QDir::Files)) {
            const QRegularExpressionMatch m = fileName.match(file);
            if (m.hasMatch())
                highest = std::max(highest, m.captured(1).toInt());
        }
    }
    return highest;
}

} // namespace

void TThTable::SetIndexAside(const QString& path, const QString& error) {
    // The cache starts empty for this run; nothing read before the failure is kept, so the
    // next save cannot put a partial list in the old index's place.
    FList.Clear();
    FCurrent = &FList.SearchKey();
    FLineCount = 0;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
    QString aside = path + QStringLiteral(".unreadable-") + stamp;
    for (int n = 1; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = path + QStringLiteral(".unreadable-%1-%2").arg(stamp).arg(n);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) == 0) {
        SyncDirectory(Location().CacheDir());
        FIndexProblem = ThFormat(QStringLiteral("%1 (kept as %2)"), error, aside);
        // New bitmaps must not take the files the kept index still points to.
        FList.LatestID = HighestStoredID(Location().CacheDir());
    } else {
        // It cannot even be moved: leave it and the folder as they are for this run.
        FSaveBlocked = true;
        FList.Disabled = true;
        FIndexProblem = error;
    }
    if (Logging())
        Log(ThFormat(QStringLiteral("管理情報ロード失敗 %1"), FIndexProblem));
}

QString TThTable::TakeIndexProblem() {
    QString text;
    std::swap(text, FIndexProblem);
    return text;
}

void TThTable::Save() {
    if (FSaveBlocked)
        return;
    if (!FList.Dirty || ReadOnly) {
        if (Logging())
            Log(QStringLiteral("管理情報格納なし"));
        return;
    }
    QElapsedTimer timer;
    timer.start();
    const QString dir = Location().CacheDir();
    ForceDirectories(dir);
    const QString path = Location().IndexFile();
    const QString temp = path + QStringLiteral(".tmp");
    const bool logLines = IsDebugFlag(DebugSaveRec) && Logging();
    try {
        TOutputTextFile out(temp);
        out.Open();
        FLineCount = 0;
        if (IsDebugFlag(DebugTitle)) {
            ++FLineCount;
            out.WriteLine(QByteArray(IndexHeaderLine));
        }
        if (logLines)
            Log(QStringLiteral("管理情報格納 ") + QLatin1String(IndexHeaderLine));
        QByteArray line;
        TThImageIterator it(FList);
        while (it.Next()) {
            ++FLineCount;
            it.CurrentItem()->ToText(line);
            out.WriteLine(line);
            if (logLines)
                Log(LineTag(FLineCount) + QString::fromUtf8(line));
        }
        out.Flush(true);
        out.Close();
        if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) != 0)
            throw Exception(ThFormat(QStringLiteral("ファイル \"%1\" を置き換えられません。%2"),
                                     path, QString::fromLocal8Bit(std::strerror(errno))));
    } catch (...) {
        QFile::remove(temp);
        throw;
    }
    SyncDirectory(dir);
    if (Logging())
        Log(ThFormat(QStringLiteral("管理情報格納：%1ミリ秒、%2レコード %3"), Ms(timer), FLineCount,
                     path));
    FList.Dirty = false;
}

void TThTable::RemoveImage(TThImage* image) {
    if (FCurrent == image)
        FCurrent = &FList.SearchKey();
    FList.Remove(image);
}

bool TThTable::Lookup(const QString& fileName, int32_t width, int32_t height) {
    TThImage& key = FList.SearchKey();
    key.OrgFileName = fileName;
    key.ReqWidth = width;
    key.ReqHeight = height;
    FCurrent = &key;

    QElapsedTimer timer;
    timer.start();
    TThImage* found = static_cast<TThImage*>(FList.Find(key));
    if (IsDebugFlag(DebugFindTime) && Logging())
        Log(ThFormat(QStringLiteral("検索 %1ミリ秒 %2 %3/%4 %5"), Ms(timer),
                     found ? QStringLiteral("Found") : QStringLiteral("not Found"),
                     FList.SearchSteps, FList.Count(), found ? found->OrgFileName : QString()));
    if (!found)
        return false;

    bool loaded = false, unreadable = false;
    try {
        loaded = LoadThBitmap(found, &FHitBitmap);
    } catch (const Exception&) {
        unreadable = true;
    }
    if (loaded) {
        FList.MoveToEnd(found);
        FCurrent = found;
        return true;
    }
    const QString path = Location().BitmapFile(found->SaveID);
    if (unreadable) {
        // A damaged bitmap is dropped like a vanished one, so the thumbnail is made again.
        if (Logging())
            Log(ThFormat(QStringLiteral("レコード削除 元画像 %1 サムネイル(%2)読込不可 Line=%3"),
                         found->OrgFileName, path, found->LineNo));
        RemoveImage(found);
        try {
            DeleteThBitmapFile(path);
        } catch (const Exception&) {
            // Logged, and storing is now off; the lookup is still a plain miss.
        }
    } else {
        if (Logging())
            Log(ThFormat(QStringLiteral("レコード削除 元画像 %1 サムネイル(%2)なし Line=%3"),
                         found->OrgFileName, path, found->LineNo));
        RemoveImage(found);
    }
    return false;
}

bool TThTable::LoadThBitmap(TThImage* image, QImage* bitmap) {
    if (!bitmap)
        throw Exception(NilArgument("LoadThBitmap"));
    const QString path = Location().BitmapFile(image->SaveID);
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return false;
    if (ReadOnly && WriteStampNs(path) > FIndexStamp)
        return false; // written by the cache's writer since: perhaps for another picture
    QFile file;
    QString why;
    QImage loaded;
    if (!POpenRegularFile(file, path, &why) ||
        !ReadCachedBitmap(file, image->ThFileSize, image->ReqWidth, image->ReqHeight, loaded, why))
        throw Exception(
            ThFormat(QStringLiteral("ビットマップファイル%1を読み込めません：%2"), path, why));
    *bitmap = loaded;
    return true;
}

bool ReadCachedBitmap(QIODevice& device, qint64 storedSize, int32_t reqWidth, int32_t reqHeight,
                      QImage& bitmap, QString& error) {
    QImage loaded;
    QImageReader reader(&device, "BMP");
    reader.setAutoDetectImageFormat(false);
    const bool ok = reader.read(&loaded);
    // What was stored is a BMP of exactly the stored size that fits the box; anything
    // else is a damaged or foreign file.
    if (!ok || loaded.isNull() || device.size() != storedSize || loaded.width() > reqWidth ||
        loaded.height() > reqHeight) {
        error = ok ? QStringLiteral("不正な内容") : reader.errorString();
        return false;
    }
    bitmap = loaded;
    return true;
}

void TThTable::StoreThumbnail(const QString& fileName, const QImage* bitmap, int32_t reqWidth,
                              int32_t reqHeight, int32_t orgWidth, int32_t orgHeight,
                              const QString& exifDateTimeOriginal, const QString& exifDateTime,
                              const QString& fileTime, int32_t fileSize, const QString& volumeLabel,
                              const QString& volumeSerial) {
    if (ReadOnly)
        return;
    CheckSize();
    if (FList.Disabled)
        return;
    TThImage* image = new TThImage(&FList);
    image->OrgFileName = fileName;
    image->ReqWidth = reqWidth;
    image->ReqHeight = reqHeight;
    image->OrgWidth = orgWidth;
    image->OrgHeight = orgHeight;
    image->OrgCreateTime = exifDateTimeOriginal;
    image->OrgUpdateTime = exifDateTime;
    image->OrgFileTime = fileTime;
    image->OrgFileSize = fileSize;
    image->OrgVolLabel = volumeLabel;
    image->OrgVolSer = volumeSerial;
    image->LastAccess = FormatStdDateTime(QDateTime::currentDateTime());
    image->FilePos = -1;
    try {
        SaveThBitmap(image, bitmap);
    } catch (...) {
        delete image;
        throw;
    }
    FList.Add(image);
    FCurrent = image;
}

bool TThTable::SaveThBitmap(TThImage* image, const QImage* bitmap) {
    if (!bitmap)
        throw Exception(NilArgument("SaveThBitmap"));
    if (FList.Disabled)
        return false;
    image->SaveID = NextID();
    const QString path = Location().BitmapFile(image->SaveID);
    const QString dir = Location().BitmapDir(image->SaveID);
    QString error;
    if (!ForceDirectories(dir)) {
        error = ThFormat(QStringLiteral("フォルダ%1を作成できません"), dir);
    } else {
        QImageWriter writer(path, "BMP");
        if (!writer.write(*bitmap)) {
            error = writer.errorString();
            QFile::remove(path); // no half-written bitmap is left behind
        }
    }
    if (!error.isEmpty()) {
        const QString text = ThFormat(
            QStringLiteral("ビットマップファイル%1格納時にエラーが発生しました：%2"), path, error);
        if (Logging())
            Log(text);
        FList.Disabled = true;
        throw Exception(text);
    }
    return GetFileTimeAndSize(path, image->ThFileTime, image->ThFileSize);
}

int32_t TThTable::NextID() {
    int32_t id = FList.LatestID + 1;
    if (id >= FList.MaxID || id < 0)
        id = 0;
    FList.LatestID = id;
    if (id % FList.IDBlock == 0) {
        QElapsedTimer timer;
        timer.start();
        const int32_t end = id + FList.IDBlock;
        int removed = 0;
        TThImageReverseIterator it(FList);
        while (it.Next()) {
            TThImage* image = it.CurrentItem();
            if (image->SaveID >= id && image->SaveID < end) {
                DeleteThBitmap(image);
                RemoveImage(image);
                ++removed;
            }
        }
        if (Logging())
            Log(ThFormat(QStringLiteral("ID予約 %1～%2 %3ミリ秒 %4エントリ削除"), id, end,
                         Ms(timer), removed));
    }
    return id;
}

void TThTable::DeleteThBitmapFile(const QString& path) {
    if (ReadOnly)
        return;
    const QFileInfo info(path);
    if (info.exists() && !QFile::remove(path)) {
        const QString text =
            ThFormat(QStringLiteral("ビットマップファイル%1を削除できません"), path);
        if (Logging())
            Log(text);
        FList.Disabled = true;
        throw Exception(text);
    }
    const QString dir = info.path();
    if (DirectoryExists(dir) && !DirectoryHasEntries(dir))
        PRemoveDir(dir);
}

void TThTable::DeleteThBitmap(TThImage* image) {
    DeleteThBitmapFile(Location().BitmapFile(image->SaveID));
}

void TThTable::CheckSize() {
    const int64_t upper = Location().UpperLimit();
    if (FList.TotalBytes <= upper)
        return;
    if (Logging())
        Log(ThFormat(QStringLiteral("サイズオーバー Curr=%1KB UpperLimit=%2KB"),
                     FList.TotalBytes / 1024, upper / 1024));
    Evict(100);
}

void TThTable::Evict(int count) {
    const int64_t lower = Location().LowerLimit();
    if (FList.Disabled || FList.TotalBytes <= lower)
        return;
    QElapsedTimer timer;
    timer.start();
    int removed = 0;
    bool reached = false;
    while (removed < count) {
        TThImage* image = FList.First();
        if (!image)
            break;
        DeleteThBitmap(image);
        RemoveImage(image);
        ++removed;
        if (FList.TotalBytes <= lower) {
            reached = true;
            break;
        }
    }
    if (Logging()) {
        Log(ThFormat(
            QStringLiteral("サイズオーバーにより%1個のビットマップを削除しました。%2ミリ秒 "
                           "Curr=%3KB LowerLimit=%4KB"),
            removed, Ms(timer), FList.TotalBytes / 1024, lower / 1024));
        Log(ThFormat(QStringLiteral("サイズオーバーのビットマップは%1"),
                     removed == count && !reached ? QStringLiteral("まだ残っています")
                                                  : QStringLiteral("もう残っていません")));
    }
}

bool TThTable::RemoveThumbnail(const QString& fileName, int32_t width, int32_t height) {
    TThImage& key = FList.SearchKey();
    key.OrgFileName = fileName;
    key.ReqWidth = width;
    key.ReqHeight = height;
    TThImage* found = static_cast<TThImage*>(FList.Find(key));
    if (!found)
        return false;
    if (Logging())
        Log(ThFormat(QStringLiteral("レコード削除 元画像 %1 "), found->OrgFileName));
    DeleteThBitmap(found);
    RemoveImage(found);
    return true;
}

void TThTable::ClearCache() {
    const QString dir = Location().CacheDir();
    if (ReadOnly)
        throw Exception(
            ThFormat(QStringLiteral("キャッシュは他のプロセスが使用中です。Dir=%1"), dir));
    const QString name = QFileInfo(dir).fileName();
    if (name != QStringLiteral("_TDB") + Location().Version)
        throw Exception(ThFormat(QStringLiteral("キャッシュ情報名が不正です。Dir=%1"), dir));
    QElapsedTimer timer;
    timer.start();
    const int records = FList.Count();
    FList.Clear();
    FCurrent = &FList.SearchKey();
    DeleteFolderTree(dir);
    if (Logging())
        Log(ThFormat(QStringLiteral("キャッシュクリア：%1ミリ秒、%2レコード %3"), Ms(timer),
                     records, dir));

    const QString base = Location().BaseDir;
    if (base.isEmpty())
        return;
    const QString version = Location().Version;
    int count = 0;
    for (int round = 0; round < 11; ++round) {
        QString found;
        TDirList list(base);
        list.SetMode(1);
        while (list.Next()) {
            const QString n = list.Name();
            if (!n.startsWith(QStringLiteral("_TDB"), Qt::CaseInsensitive))
                continue;
            const QString v = n.mid(4, 4);
            if (v.compare(QStringLiteral("0000")) >= 0 && v.compare(version) < 0) {
                found = n;
                break;
            }
        }
        if (found.isEmpty())
            break;
        const QString path = JoinPath(base, found);
        if (!found.startsWith(QStringLiteral("_TDB")))
            throw Exception(ThFormat(QStringLiteral("旧キャッシュ情報名が不正です。Dir=%1"), path));
        QElapsedTimer oldTimer;
        oldTimer.start();
        DeleteFolderTree(path);
        ++count;
        if (Logging())
            Log(ThFormat(QStringLiteral("旧キャッシュ情報削除：%1ミリ秒 %2"), Ms(oldTimer), path));
    }
    if (count >= 10)
        throw Exception(ThFormat(QStringLiteral("旧キャッシュ情報が多すぎます。Count=%1"), count));
}

void TThTable::SetCacheDirectory(const QString& baseDir) {
    if (baseDir.isEmpty())
        throw Exception(QStringLiteral("空文字列のキャッシュディレクトリ名が要求されました"));
    QElapsedTimer timer;
    timer.start();
    const QString old = Location().BaseDir;
    // Folder names compare the platform's way: byte for byte on Linux.
    if (baseDir == old)
        return;
    if (Logging())
        Log(ThFormat(QStringLiteral("設定 キャッシュディレクトリ： %1 to %2"), old, baseDir));
    if (!old.isEmpty()) {
        Save();
        FList.Clear();
        FCurrent = &FList.SearchKey();
    }
    Location().BaseDir = baseDir;
    Load();
    if (Logging())
        Log(ThFormat(QStringLiteral("キャッシュ切り換え終了：%1ミリ秒 %2 to %3"), Ms(timer), old,
                     baseDir));
}
