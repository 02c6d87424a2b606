// File facts and the program's date text: what the cache compares to know a picture again.
#include "services/CCommon.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <clocale>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

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
