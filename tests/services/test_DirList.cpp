#include "services/CDirList.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void Touch(const QString& path, const QByteArray& data = "x") {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(data);
}

QStringList Enumerate(TDirList& list, QList<bool>* isDir = nullptr) {
    QStringList names;
    while (list.Next()) {
        names.append(list.Name());
        if (isDir)
            isDir->append(list.IsDirectory());
    }
    return names;
}

QStringList Sorted(QStringList l) {
    l.sort();
    return l;
}

} // namespace

TEST(DirList, MissingFolderListsNothing) {
    TDirList list("/nonexistent/velmora/folder");
    EXPECT_EQ(list.State(), 2);
    EXPECT_FALSE(list.Next());
    EXPECT_FALSE(list.IsDirectory());
    EXPECT_EQ(list.Name(), "folder");
    EXPECT_EQ(list.Path(), "/nonexistent/velmora/folder");
    EXPECT_FALSE(DirectoryHasEntries("/nonexistent/velmora/folder"));
}

TEST(DirList, ModesFoldersFirstAndDotNamesNeverListed) {
    QTemporaryDir tmp;
    const QString d = tmp.path();
    QDir(d).mkdir("sub1");
    QDir(d).mkdir("sub2");
    QDir(d).mkdir(".hiddendir");
    Touch(d + "/a.jpg");
    Touch(d + "/b.txt");
    Touch(d + "/.profile");
    Touch(d + "/sub1/inner.jpg");

    TDirList all(d);
    QList<bool> isDir;
    const QStringList names = Enumerate(all, &isDir);
    ASSERT_EQ(names.size(), 4) << names.join(",").toStdString();
    // Every folder before any file.
    EXPECT_TRUE(isDir[0] && isDir[1] && !isDir[2] && !isDir[3]);
    EXPECT_EQ(Sorted(names.mid(0, 2)), QStringList({"sub1", "sub2"}));
    EXPECT_EQ(Sorted(names.mid(2)), QStringList({"a.jpg", "b.txt"}));
    EXPECT_FALSE(all.Next());

    TDirList files(d);
    files.SetMode(0);
    EXPECT_EQ(Sorted(Enumerate(files)), QStringList({"a.jpg", "b.txt"}));

    TDirList dirs(d);
    dirs.SetMode(1);
    EXPECT_EQ(Sorted(Enumerate(dirs)), QStringList({"sub1", "sub2"}));

    // Path joins the folder and the entry while enumerating, then falls back to the folder.
    TDirList one(d);
    one.SetMode(0);
    one.SetMask("a.jpg");
    ASSERT_TRUE(one.Next());
    EXPECT_EQ(one.Path(), d + "/a.jpg");
    EXPECT_FALSE(one.IsDirectory());
    EXPECT_FALSE(one.Next());
    EXPECT_EQ(one.Path(), d);
    EXPECT_TRUE(one.IsDirectory());

    EXPECT_TRUE(DirectoryHasEntries(d));
    EXPECT_FALSE(DirectoryHasEntries(d + "/sub2"));
    // A folder holding only dot names counts as empty.
    Touch(d + "/sub2/.keep");
    EXPECT_FALSE(DirectoryHasEntries(d + "/sub2"));
}

TEST(DirList, MasksAreExactAboutTheExtensionLength) {
    QTemporaryDir tmp;
    const QString d = tmp.path();
    for (const char* n : {"a.jpg", "b.JPG", "c.jpeg", "d.jpgx", "e.png", "noext"})
        Touch(d + "/" + n);
    QDir(d).mkdir("folder.jpg");

    TDirList list(d);
    list.SetMode(0);
    int changes = 0;
    list.OnChange = [&] { ++changes; };
    list.SetMask("*.jpg");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(Sorted(Enumerate(list)), QStringList({"a.jpg", "b.JPG"}));
    EXPECT_EQ(list.ExtLength(), 4);

    // A "*" in the extension means no length filter.
    list.SetMask("*.j*");
    EXPECT_EQ(Sorted(Enumerate(list)), QStringList({"a.jpg", "b.JPG", "c.jpeg", "d.jpgx"}));
    EXPECT_EQ(list.ExtLength(), 0);

    list.SetMask("*.*");
    EXPECT_EQ(Enumerate(list).size(), 6);

    // Setting the mask again starts over.
    list.SetMask("*.png");
    ASSERT_TRUE(list.Next());
    list.SetMask("*.png");
    EXPECT_EQ(Enumerate(list), QStringList({"e.png"}));
    EXPECT_EQ(changes, 5);

    // In mode 2 the folder pass ignores the mask, the file pass uses it.
    TDirList both(d);
    both.SetMask("*.jpg");
    EXPECT_EQ(Sorted(Enumerate(both)), QStringList({"a.jpg", "b.JPG", "folder.jpg"}));
}

TEST(DirList, FileListSortsWithoutLetterCase) {
    QTemporaryDir tmp;
    const QString d = tmp.path();
    for (const char* n : {"B.exe", "a.exe", "c.EXE", "readme.txt"})
        Touch(d + "/" + n);
    QDir(d).mkdir("Zeta");
    QDir(d).mkdir("alpha");

    TFileList all(d);
    EXPECT_EQ(all.Files(), QStringList({"a.exe", "B.exe", "c.EXE", "readme.txt"}));
    EXPECT_EQ(all.Dirs(), QStringList({"alpha", "Zeta"}));
    EXPECT_EQ(all.FilePath(1), d + "/B.exe");
    EXPECT_EQ(all.FilePath(-1), "");
    EXPECT_EQ(all.FilePath(all.Files().size()), "");

    TFileList exes(d, "*.exe");
    EXPECT_EQ(exes.Files(), QStringList({"a.exe", "B.exe", "c.EXE"}));

    // Two files whose names differ only in case are both kept.
    Touch(d + "/A.exe");
    TFileList twins(d, "*.exe");
    EXPECT_EQ(twins.Files().size(), 4);
}

TEST(DirList, DeleteFolderTreeRemovesReadOnlyEntries) {
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("VELMORA_UNPRIVILEGED_RUN")) {
        EXPECT_TRUE(RerunUnprivileged("DirList.DeleteFolderTreeRemovesReadOnlyEntries"))
            << "the same test failed when run as an unprivileged user";
    }
    QTemporaryDir tmp;
    const QString root = tmp.path() + "/tree";
    ASSERT_TRUE(ForceDirectories(root + "/ro/deeper"));
    EXPECT_TRUE(DirectoryExists(root + "/ro/deeper"));
    Touch(root + "/file.jpg");
    Touch(root + "/ro/readonly.txt");
    Touch(root + "/ro/deeper/x.bmp");
    chmod(QFile::encodeName(root + "/ro/readonly.txt").constData(), 0444);
    chmod(QFile::encodeName(root + "/ro/deeper").constData(), 0555);
    chmod(QFile::encodeName(root + "/ro").constData(), 0555);
    chmod(QFile::encodeName(root).constData(), 0555);

    // A link to a folder outside the tree is removed, its target left alone.
    QTemporaryDir outside;
    Touch(outside.path() + "/keep.txt");
    chmod(QFile::encodeName(root).constData(), 0755);
    ASSERT_EQ(symlink(QFile::encodeName(outside.path()).constData(),
                      QFile::encodeName(root + "/link").constData()),
              0);
    chmod(QFile::encodeName(root).constData(), 0555);

    EXPECT_TRUE(DeleteFolderTree(root));
    EXPECT_FALSE(DirectoryExists(root));
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_TRUE(QFile::exists(outside.path() + "/keep.txt"));
    EXPECT_FALSE(DeleteFolderTree(root)) << "a folder that is not there is not removed";
}

TEST(DirList, ForceDirectoriesAndExistence) {
    QTemporaryDir tmp;
    EXPECT_FALSE(ForceDirectories(""));
    EXPECT_TRUE(ForceDirectories(tmp.path() + "/a/b/c"));
    EXPECT_TRUE(ForceDirectories(tmp.path() + "/a/b/c")) << "already there";
    Touch(tmp.path() + "/a/file");
    EXPECT_FALSE(DirectoryExists(tmp.path() + "/a/file"));
    EXPECT_FALSE(ForceDirectories(tmp.path() + "/a/file/below"));
    EXPECT_FALSE(DirectoryExists(""));
}
