// Folder listings: folders before files, masks, letter case, and removing a whole tree.
#include "services/CDirList.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

TEST(DirList, ModesFoldersFirstAndDotNamesNeverListed) {
    TDirList missing("/nonexistent/velmora/folder");
    EXPECT_FALSE(missing.Next());
    EXPECT_FALSE(DirectoryHasEntries("/nonexistent/velmora/folder"));

    QTemporaryDir tmp;
    const QString d = tmp.path();
    for (const char* sub : {"sub1", "sub2", ".hiddendir"})
        QDir(d).mkdir(sub);
    for (const char* f : {"/a.jpg", "/b.txt", "/.profile", "/sub1/inner.jpg"})
        WriteRaw(d + f, "x");
    TDirList all(d);
    QList<bool> isDir;
    const QStringList names = Enumerate(all, &isDir);
    ASSERT_EQ(names.size(), 4) << names.join(",").toStdString();
    EXPECT_EQ(isDir, (QList<bool>{true, true, false, false})) << "every folder before any file";
    EXPECT_EQ(Sorted(names.mid(0, 2)), QStringList({"sub1", "sub2"}));
    EXPECT_EQ(Sorted(names.mid(2)), QStringList({"a.jpg", "b.txt"}));
    TDirList files(d);
    files.SetMode(0);
    EXPECT_EQ(Sorted(Enumerate(files)), QStringList({"a.jpg", "b.txt"}));
    TDirList dirs(d);
    dirs.SetMode(1);
    EXPECT_EQ(Sorted(Enumerate(dirs)), QStringList({"sub1", "sub2"}));

    // Path joins the folder and the entry while enumerating, then falls back to the folder.
    files.SetMask("a.jpg");
    ASSERT_TRUE(files.Next());
    EXPECT_EQ(files.Path(), d + "/a.jpg");
    EXPECT_FALSE(files.Next());
    EXPECT_EQ(files.Path(), d);

    EXPECT_TRUE(DirectoryHasEntries(d));
    WriteRaw(d + "/sub2/.keep", "x"); // only dot names: empty
    EXPECT_FALSE(DirectoryHasEntries(d + "/sub2"));
}

TEST(DirList, MasksAreExactAboutTheExtensionLength) {
    QTemporaryDir tmp;
    const QString d = tmp.path();
    for (const char* n : {"a.jpg", "b.JPG", "c.jpeg", "d.jpgx", "e.png", "noext"})
        WriteRaw(d + "/" + n, "x");
    QDir(d).mkdir("folder.jpg");
    TDirList list(d);
    list.SetMode(0);
    int changes = 0;
    list.OnChange = [&] { ++changes; };
    struct {
        const char* Mask;
        QStringList Names;
    } const cases[] = {{"*.jpg", {"a.jpg", "b.JPG"}},
                       {"*.j*", {"a.jpg", "b.JPG", "c.jpeg", "d.jpgx"}}, // no length filter
                       {"*.*", {"a.jpg", "b.JPG", "c.jpeg", "d.jpgx", "e.png", "noext"}}};
    for (const auto& c : cases) {
        list.SetMask(c.Mask);
        EXPECT_EQ(Sorted(Enumerate(list)), c.Names) << c.Mask;
    }
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
        WriteRaw(d + "/" + n, "x");
    QDir(d).mkdir("Zeta");
    QDir(d).mkdir("alpha");
    TFileList all(d);
    EXPECT_EQ(all.Files(), QStringList({"a.exe", "B.exe", "c.EXE", "readme.txt"}));
    EXPECT_EQ(all.Dirs(), QStringList({"alpha", "Zeta"}));
    EXPECT_EQ(all.FilePath(1), d + "/B.exe");
    EXPECT_EQ(all.FilePath(4), "");
    EXPECT_EQ(TFileList(d, "*.exe").Files(), QStringList({"a.exe", "B.exe", "c.EXE"}));
    // Two files whose names differ only in case are both kept.
    WriteRaw(d + "/A.exe", "x");
    EXPECT_EQ(TFileList(d, "*.exe").Files().size(), 4);
}

TEST(DirList, DeleteFolderTreeRemovesReadOnlyEntries) {
    if (geteuid() == 0 && !IsUnprivilegedRerun()) {
        EXPECT_TRUE(RerunUnprivileged("DirList.DeleteFolderTreeRemovesReadOnlyEntries"))
            << "the same test failed when run as an unprivileged user";
    }
    QTemporaryDir tmp, outside;
    const QString root = tmp.path() + "/tree";
    EXPECT_FALSE(ForceDirectories(""));
    ASSERT_TRUE(ForceDirectories(root + "/ro/deeper") && ForceDirectories(root + "/.git/objects") &&
                ForceDirectories(root + "/sub"));
    EXPECT_TRUE(ForceDirectories(root + "/ro/deeper")) << "already there";
    for (const char* f : {"/file.jpg", "/ro/readonly.txt", "/ro/deeper/x.bmp",
                          "/.git/objects/.keep", "/sub/..double"})
        WriteRaw(root + f, "x");
    EXPECT_FALSE(ForceDirectories(root + "/file.jpg/below"));
    // A link to a folder outside the tree is removed, its target left alone.
    WriteRaw(outside.path() + "/keep.txt", "x");
    ASSERT_EQ(symlink(QFile::encodeName(outside.path()).constData(),
                      QFile::encodeName(root + "/link").constData()),
              0);
    chmod(QFile::encodeName(root + "/ro/readonly.txt").constData(), 0444);
    for (const char* ro : {"/ro/deeper", "/ro", ""})
        chmod(QFile::encodeName(root + ro).constData(), 0555);

    EXPECT_TRUE(DeleteFolderTree(root));
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_TRUE(QFile::exists(outside.path() + "/keep.txt"));
    EXPECT_FALSE(DeleteFolderTree(root)) << "a folder that is not there is not removed";
}
