// Velmora installed: `cmake --install` into a scratch prefix and the Debian package unpacked
// into a throw-away root give a program that runs from there, keeps its files in the per-user
// folder, and brings a desktop entry and AppStream metadata the validators accept.
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TResult {
    int Status = -1;
    QString Output;
};

TResult RunTool(const QString& program, const QStringList& args,
                const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                const QString& dir = QString()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForFinished(300000))
        p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAll())};
}

// Checks an installed tree under root + prefix: validators, files, the program.
void CheckInstalled(const QString& root, const QString& prefix, const QString& work) {
    const QString share = root + prefix + "/share";
    const QString desktop = share + "/applications/example.velmora.Velmora.desktop";
    const QString metainfo = share + "/metainfo/example.velmora.Velmora.metainfo.xml";
    TResult r = RunTool("desktop-file-validate", {desktop});
    EXPECT_TRUE(r.Status == 0 && r.Output.isEmpty()) << r.Output.toStdString();
    r = RunTool("appstreamcli", {"validate", "--no-net", "--explain", metainfo});
    EXPECT_TRUE(r.Status == 0 && !r.Output.contains("E: ") && !r.Output.contains("W: "))
        << r.Output.toStdString();
    for (const char* file : {"/icons/hicolor/48x48/apps/velmora.png", "/velmora/ReadMe.txt",
                             "/fontconfig/conf.avail/60-velmora-fonts.conf", "/man/man1/velmora.1"})
        EXPECT_GT(QFileInfo(share + file).size(), 0) << file;

    // The installed program runs; its files go to the user's data folder, not beside it,
    // even where this user could write there.
    const QString program = root + prefix + "/bin/velmora";
    const QString home = work + "/home";
    // A user's environment: no VELMORA_HOME, no display, no print server.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"VELMORA_HOME", "XDG_DATA_HOME", "DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    env.insert("HOME", home);
    env.insert("CUPS_SERVER", home + "/no-cups.sock");
    QDir().mkpath(home + "/photos");
    ASSERT_TRUE(QFile::copy(TestDataPath("seed.png"), home + "/photos/p.png"));
    r = RunTool(program, {"--version"}, env);
    EXPECT_EQ(r.Output, QString("velmora %1\n").arg(VELMORA_VERSION));
    r = RunTool(program, {"print", "contact-sheet", "photos", "-o", "photos.pdf"}, env, home);
    EXPECT_EQ(r.Status, 0) << r.Output.toStdString();
    EXPECT_TRUE(ReadAll(home + "/photos.pdf").startsWith("%PDF"));
    EXPECT_TRUE(QFile::exists(home + "/.local/share/velmora/Temp/_TDB0100/_TDBCache.dat"));
    EXPECT_FALSE(QFile::exists(root + prefix + "/bin/Thumbnail.ini"));
}

} // namespace

TEST(Install, IntoAPrefixAndFromThePackageTheProgramAndItsDesktopFilesAreWhole) {
    QTemporaryDir work;
    TResult r = RunTool("cmake", {"--install", BuildDirPath(), "--prefix", work.path() + "/pre"});
    ASSERT_EQ(r.Status, 0) << r.Output.toStdString();
    CheckInstalled(QString(), work.path() + "/pre", work.path());
    if (QStandardPaths::findExecutable("dpkg-deb").isEmpty() ||
        QStandardPaths::findExecutable("cpack").isEmpty())
        GTEST_SKIP() << "no dpkg-deb or cpack on this machine: the package is not checked";
    const QString out = work.path() + "/package";
    r = RunTool("cpack", {"-G", "DEB", "--config", BuildDirPath("CPackConfig.cmake"), "-B", out},
                QProcessEnvironment::systemEnvironment(), BuildDirPath());
    ASSERT_EQ(r.Status, 0) << r.Output.toStdString();
    const QStringList debs = QDir(out).entryList({"velmora_*.deb"}, QDir::Files);
    ASSERT_EQ(debs.size(), 1) << r.Output.toStdString();
    const QString deb = out + "/" + debs.first();
    // The packages it loads at run time, which shlibdeps cannot find.
    r = RunTool("dpkg-deb", {"--field", deb, "Depends"});
    EXPECT_TRUE(r.Output.contains("fonts-ipafont-gothic") &&
                r.Output.contains("qt6-image-formats-plugins"))
        << r.Output.toStdString();
    r = RunTool("dpkg-deb", {"-x", deb, work.path() + "/root"});
    ASSERT_EQ(r.Status, 0) << r.Output.toStdString();
    CheckInstalled(work.path() + "/root", "/usr", work.path() + "/root");
    // Whether apt would install it here, without installing anything.
    r = RunTool("apt-get", {"install", "--simulate", "--no-install-recommends", deb});
    EXPECT_TRUE(r.Status == 0 && r.Output.contains("Inst velmora")) << r.Output.toStdString();
}
