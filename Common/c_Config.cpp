#include "c_Config.h"

#include "c_Other.h"
#include "platform/PSystem.h"
#include "services/CException.h"
#include "services/CIniFile.h"

#include <QDir>
#include <QFileInfo>

TIniFile* IniFile = nullptr;
QString AppDir;
QString TempDir;
QString CacheDir;
int CacheSizeKB = 0;
bool ApplyOrientation = true;
const QStringList ExtensionList = QString("bmp,jpg,jpeg,tif,tiff,png,avi").split(',');
const TSizeTableRow SizeTable[3] = {
    {" Large", 256, 256}, {" Medium", 128, 128}, {" Small", 96, 96}};

namespace {

QString WithSlash(const QString& dir) {
    return dir.endsWith('/') ? dir : dir + "/";
}

bool FolderExists(const QString& dir) {
    // An empty name would mean the current folder; it names no folder here.
    return !dir.trimmed().isEmpty() && QFileInfo(dir).isDir();
}

// Settings writes at start-up never stop the program; the values read stand.
void TryWrite(const QString& section, const QString& key, const QString& value) {
    try {
        IniFile->WriteString(section, key, value);
    } catch (const Exception&) {
    }
}

} // namespace

QString ResolveAppDir() {
    const QString home = qEnvironmentVariable("VELMORA_HOME");
    if (!home.isEmpty()) {
        QDir().mkpath(home);
        return WithSlash(QFileInfo(home).absoluteFilePath());
    }
    const QString own = PProgramDir();
    if (PIsWritableDir(own) && InstalledDataDir().isEmpty())
        return own;
    const QString user = PUserDataDir();
    QDir().mkpath(user);
    return user;
}

QString InstalledDataDir() {
    const QString dir =
        QDir::cleanPath(PProgramDir() + QStringLiteral("../share/velmora")) + QLatin1Char('/');
    return QFileInfo::exists(dir + QStringLiteral("ReadMe.txt")) ? dir : QString();
}

void LoadConfiguration() {
    AppDir = ResolveAppDir();
    const QString iniName = AppDir + "Thumbnail.ini";
    delete IniFile;
    IniFile = new TIniFile(iniName);
    if (!QFileInfo::exists(iniName))
        TryWrite("APP", "APPName", QString::fromUtf8("ヴェルモラ"));

    TempDir = AppDir + "Temp";

    CacheDir = IniFile->ReadString("Cache", "Directory", TempDir);
    if (!FolderExists(CacheDir)) {
        // A missing settings file counts as read-only here.
        const bool readOnly = !QFileInfo::exists(iniName) || PIsReadOnlyFile(iniName);
        if (!readOnly)
            TryWrite("Cache", "Directory", TempDir);
        CacheDir = TempDir;
        // One level only; a failure shows when the cache is first used.
        if (!QFileInfo(TempDir).isDir())
            QDir().mkdir(TempDir);
    }

    // -1 means "not set"; any other negative value is no limit either (it would make every
    // store evict), so it counts as not set too.
    const int size = IniFile->ReadInteger("Cache", "Size", -1);
    CacheSizeKB = size < 0 ? DefaultCacheSize(CacheDir) * 1024 : size;

    ApplyOrientation = IniFile->ReadInteger("Thumbnail", "Orientation", 1) != 0;
}
