#pragma once
// Small helpers shared by the test suites.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A file under tests/data.
QString TestDataPath(const QString& name);
// The build tree, where tests leave screenshots and other things to look at.
QString BuildDirPath(const QString& name = QString());
// The program binary of this build tree.
QString VelmoraBinPath();
// CUPS_SERVER of the private print server, or empty when it is not running.
QString PrivateCupsServer();
// DISPLAY of the test Xvfb, or empty when it is not running.
QString XvfbDisplay();

// The bytes of a file; "<missing>" when it cannot be read, so that a missing file never
// equals any expected content.
QByteArray ReadAll(const QString& path);
// Writes the bytes as the whole file (a failed test when it cannot).
void WriteRaw(const QString& path, const QByteArray& data);

// Runs the given test again as the unprivileged user "nobody" and reports whether it passed
// there: file permissions bind nobody but root. The rerun sees IsUnprivilegedRerun().
bool RerunUnprivileged(const char* filter);
bool IsUnprivilegedRerun();

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value);
    ~ScopedEnv();

private:
    QByteArray FName, FOld;
    bool FHadOld;
};

// A fresh folder used as VELMORA_HOME (the program folder) for one test.
class TempHome {
public:
    TempHome();
    QString Path() const { return FDir.path() + "/"; }

private:
    QTemporaryDir FDir;
    ScopedEnv FEnv;
};
