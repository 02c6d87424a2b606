// Files and folders: listings (folders before files, masks, letter case), removing a whole
// tree, and the file facts and date text the cache compares to know a picture again.
#include "services/CCommon.h"
#include "services/CDirList.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <clocale>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

// The names listed, folders marked with a trailing slash and sorted first; a folder listed
// after a file fails.
QStringList Enumerate(TDirList& list) {
    QStringList names;
    while (list.Next())
        names.append(list.Name() + (list.IsDirectory() ? "/" : ""));
    auto folder = [](const QString& n) { return n.endsWith('/'); };
    EXPECT_TRUE(std::is_partitioned(names.begin(), names.end(), folder))
        << names.join(' ').toStdString();
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        return folder(a) != folder(b) ? folder(a) : a < b;
    });
    return names;
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
    // Mode 2 (the default): every folder before any file, dot names never; the folder pass
    // ignores the mask. Mode 1: folders only. Mode 0: files only; masks are exact about the
    // extension's length and blind to case.
    TDirList list(d);
    const QStringList folders = {"folder.jpg/", "sub/"};
    for (const auto& [mode, mask, names] :
         {std::tuple{2, "*", folders + all},
          {2, "*.jpg", folders + QStringList{"a.jpg", "b.JPG"}},
          {1, "*", folders},
          {0, "*.jpg", QStringList{"a.jpg", "b.JPG"}},
          {0, "*.j*", QStringList{"a.jpg", "b.JPG", "c.jpeg", "d.jpgx"}},
          {0, "*.*", all}}) {
        list.SetMode(mode);
        list.SetMask(mask);
        EXPECT_EQ(Enumerate(list), names) << mode << " " << mask;
    }
    // Setting the mask again starts over; Path joins the folder and the entry.
    list.SetMask("a.jpg");
    ASSERT_TRUE(list.Next());
    list.SetMask("a.jpg");
    ASSERT_TRUE(list.Next());
    EXPECT_EQ(list.Path(), d + "/a.jpg");

    EXPECT_TRUE(DirectoryHasEntries(d));
    EXPECT_FALSE(DirectoryHasEntries(d + "/.hiddendir")) << "only dot names: empty";
}

TEST(DirList, FileListSortsWithoutLetterCase) {
    QTemporaryDir tmp;
    const QString d = tmp.path();
    for (const char* n : {"B.exe", "a.exe", "c.EXE", "readme.txt", "A.exe"})
        WriteRaw(d + "/" + n, "x");
    QDir(d).mkdir("Zeta");
    QDir(d).mkdir("alpha");
    TFileList all(d);
    EXPECT_EQ(all.Files().mid(2), QStringList({"B.exe", "c.EXE", "readme.txt"}));
    EXPECT_EQ(all.Dirs(), QStringList({"alpha", "Zeta"}));
    // Two files whose names differ only in case are both kept.
    EXPECT_EQ(TFileList(d, "*.exe").Files().size(), 4);
}

TEST(DirList, DeleteFolderTreeRemovesReadOnlyEntries) {
    if (geteuid() == 0 && !IsUnprivilegedRerun()) {
        EXPECT_TRUE(RerunUnprivileged("DirList.DeleteFolderTreeRemovesReadOnlyEntries"));
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
    ASSERT_TRUE(QFile::link(outside.path(), root + "/link"));
    chmod(QFile::encodeName(root + "/ro/readonly.txt").constData(), 0444);
    for (const char* ro : {"/ro/deeper", "/ro", ""})
        chmod(QFile::encodeName(root + ro).constData(), 0555);

    EXPECT_TRUE(DeleteFolderTree(root));
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_TRUE(QFile::exists(outside.path() + "/keep.txt"));
    EXPECT_FALSE(DeleteFolderTree(root)) << "a folder that is not there is not removed";
}

TEST(Common, FileFactsDropOddSecondsWhateverTheLocaleAndFollowTheFile) {
    const std::string saved = setlocale(LC_ALL, nullptr);
    setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(FormatStdDateTime(QDateTime(QDate(987, 1, 2), QTime(0, 0))), "0987/01/02 00:00:00");
    setlocale(LC_ALL, saved.c_str());

    QTemporaryDir tmp;
    const QString f = tmp.path() + "/p.jpg", gone = tmp.path() + "/gone.jpg";
    WriteRaw(f, QByteArray(1234, 'z'));
    EXPECT_TRUE(FileExistsExact(f));
    EXPECT_FALSE(FileExistsExact(tmp.path())) << "a folder is not a file";
    struct utimbuf ut;
    ut.actime = ut.modtime = QDateTime(QDate(2004, 3, 5), QTime(19, 8, 9)).toSecsSinceEpoch();
    ASSERT_EQ(utime(QFile::encodeName(f).constData(), &ut), 0);
    QString time, label, serial, l2, s2;
    int32_t size = -1;
    ASSERT_TRUE(GetFileTimeAndSize(f, time, size));
    EXPECT_EQ(time, "2004/03/05 19:08:08");
    EXPECT_EQ(size, 1234);
    EXPECT_EQ((QList<bool>{SameFileTimeAndSize(f, "2004/03/05 19:08:08", 1234),
                           SameFileTimeAndSize(f, "2004/03/05 19:08:09", 1234),
                           SameFileTimeAndSize(f, "2004/03/05 19:08:08", 1235),
                           SameFileTimeAndSize(gone, "", 0), GetFileTimeAndSize(gone, time, size)}),
              (QList<bool>{true, false, false, false, false}));
    EXPECT_EQ(time + QString::number(size), "0");
    chmod(QFile::encodeName(f).constData(), 0444);
    SetNormalAttributes(f);
    EXPECT_TRUE(QFileInfo(f).permissions() & QFile::WriteOwner);

    EXPECT_TRUE(GetVolumeLabelAndSerial(f, label, serial));
    ASSERT_EQ(serial.size(), 9);
    EXPECT_EQ((QList<bool>{SameVolume(f, label, serial), SameVolume(f, label + "x", serial),
                           SameVolume(f, label, "0000-000G")}),
              (QList<bool>{true, false, false}));
    // A file that is gone still lies on its folder's volume.
    EXPECT_TRUE(GetVolumeLabelAndSerial(gone, l2, s2));
    EXPECT_EQ(s2, serial);
}
