#include "TestSupport.h"

#include <QFile>
#include <cstdlib>
#include <grp.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

QString TestDataPath(const QString& name) {
    return QString(VELMORA_TEST_DATA "/") + name;
}

QString BuildDirPath(const QString& name) {
    return name.isEmpty() ? QString(VELMORA_BUILD_DIR) : QString(VELMORA_BUILD_DIR "/") + name;
}

QString VelmoraBinPath() {
    return QStringLiteral(VELMORA_BIN);
}

static QString ReadFirstLine(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readLine()).trimmed();
}

QString PrivateCupsServer() {
    return ReadFirstLine(BuildDirPath("cups/server"));
}

QString XvfbDisplay() {
    return ReadFirstLine(BuildDirPath("xvfb/display"));
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteRaw(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(data), data.size());
}

bool RerunUnprivileged(const char* filter) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("VELMORA_UNPRIVILEGED_RUN", "1", 1);
        const std::string arg = std::string("--gtest_filter=") + filter;
        if (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0)
            execl("/proc/self/exe", "test", arg.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool IsUnprivilegedRerun() {
    return qEnvironmentVariableIsSet("VELMORA_UNPRIVILEGED_RUN");
}

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
