#include "TestSupport.h"

#include <QFile>
#include <cstdlib>

QString TestDataPath(const QString& name) { return QString(VELMORA_TEST_DATA "/") + name; }

QString BuildDirPath(const QString& name) {
    return name.isEmpty() ? QString(VELMORA_BUILD_DIR) : QString(VELMORA_BUILD_DIR "/") + name;
}

static QString ReadFirstLine(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readLine()).trimmed();
}

QString PrivateCupsServer() { return ReadFirstLine(BuildDirPath("cups/server")); }

QString XvfbDisplay() { return ReadFirstLine(BuildDirPath("xvfb/display")); }

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value)
    : FName(name), FHadOld(qEnvironmentVariableIsSet(name)) {
    if (FHadOld)
        FOld = qgetenv(name);
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv() {
    if (FHadOld)
        qputenv(FName.constData(), FOld);
    else
        qunsetenv(FName.constData());
}

TempHome::TempHome() : FEnv("VELMORA_HOME", QByteArray()) {
    qputenv("VELMORA_HOME", (FDir.path() + "/").toUtf8());
}
