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

// The names in listing order, folders marked with a trailing slash.
QStringList Enumerate(TDirList& list) {
    QStringList names;
    while (list.Next())
        names.append(list.Name() + (list.IsDirectory() ? "/" : ""));
    return names;
}

QStringList Sorted(QStringList l) {
    l.sort();
    return l;
}

} // namespace

TEST(DirList, ModesMasksAndFoldersFirst) {
    TDirList missing("/nonexistent/velmora/folder");
    EXPECT_FALSE(missing.Next());
    EXPECT_FALSE(DirectoryHasEntries("/nonexistent/velmora/folder"));
    QTemporaryDir tmp;
    const QString d = tmp.path();
    for (const char* sub : {"sub", "folder.jpg", ".hiddendir"})
        QDir(d).mkdir(sub);
    for (const char* n : {"a.jpg", "b.JPG", "c.jpeg", "d.jpgx", "e.png", "noext", ".profile",
                          "sub/inner.jpg", ".hiddendir/.keep"})
        WriteRaw(d + "/" + n, "x");
    const QStringList all = {"a.jpg", "b.JPG", "c.jpeg", "d.jpgx", "e.png", "noext"};
    // Mode 2 (the default): every folder before any file, dot names never; in it the folder
    // pass ignores the mask and the file pass uses it.
    TDirList both(d);
    const QStringList names = Enumerate(both);
    EXPECT_EQ(Sorted(names.mid(0, 2)), QStringList({"folder.jpg/", "sub/"}));
    EXPECT_EQ(Sorted(names.mid(2)), all);
    both.SetMask("*.jpg");
    EXPECT_EQ(Sorted(Enumerate(both)), QStringList({"a.jpg", "b.JPG", "folder.jpg/", "sub/"}));
    TDirList dirs(d);
    dirs.SetMode(1);
    EXPECT_EQ(Sorted(Enumerate(dirs)), QStringList({"folder.jpg/", "sub/"}));

    // Mode 0, files only: masks are exact about the extension's length and blind to case.
    TDirList files(d);
    files.SetMode(0);
    int changes = 0;
    files.OnChange = [&] { ++changes; };
    for (const auto& [mask, names] :
         {std::pair{"*.jpg", QStringList{"a.jpg", "b.JPG"}},
          {"*.j*", QStringList{"a.jpg", "b.JPG", "c.jpeg", "d.jpgx"}}, // no length filter
          {"*.*", all}}) {
        files.SetMask(mask);
        EXPECT_EQ(Sorted(Enumerate(files)), names) << mask;
    }
    // Setting the mask again starts over.
    files.SetMask("*.png");
    ASSERT_TRUE(files.Next());
    files.SetMask("*.png");
    EXPECT_EQ(Enumerate(files), QStringList({"e.png"}));
    EXPECT_EQ(changes, 5);
    // Path joins the folder and the entry while enumerating, then falls back to the folder.
    files.SetMask("a.jpg");
    ASSERT_TRUE(files.Next());
    EXPECT_EQ(files.Path(), d + "/a.jpg");
    EXPECT_FALSE(files.Next());
    EXPECT_EQ(files.Path(), d);

    EXPECT_TRUE(DirectoryHasEntries(d));
    EXPECT_FALSE(DirectoryHasEntries(d + "/.hiddendir")) << "only dot names: empty";
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
