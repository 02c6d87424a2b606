// File facts and the program's date text: what the cache compares to know a picture again.
#include "services/CCommon.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <clocale>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <utime.h>

TEST(Common, StdDateTimeIsFixedWhateverTheLocaleAndFromTwoThreads) {
    const QDateTime t(QDate(2004, 3, 5), QTime(19, 8, 9));
    EXPECT_EQ(FormatStdDateTime(QDateTime(QDate(987, 1, 2), QTime(0, 0, 0))),
              "0987/01/02 00:00:00");
    const std::string saved = setlocale(LC_ALL, nullptr) ? setlocale(LC_ALL, nullptr) : "C";
    setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(FormatStdDateTime(t), "2004/03/05 19:08:09");
    setlocale(LC_ALL, saved.c_str());

    std::atomic<int> bad{0};
    auto worker = [&](const QDateTime& when, const QString& expected) {
        for (int i = 0; i < 20000; ++i)
            bad += FormatStdDateTime(when) != expected;
    };
    std::thread a(worker, t, QString("2004/03/05 19:08:09"));
    std::thread b(worker, QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58)),
                  QString("1999/12/31 23:59:58"));
    a.join();
    b.join();
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(JoinPath("/a/b/", "c.jpg"), "/a/b/c.jpg");
    EXPECT_EQ(JoinPath("", "c.jpg"), "c.jpg");
}

TEST(Common, FileFactsDropOddSecondsAndFollowTheFile) {
    QTemporaryDir tmp;
    const QString f = tmp.path() + "/p.jpg";
    WriteRaw(f, QByteArray(1234, 'z'));
    EXPECT_TRUE(FileExistsExact(f));
    EXPECT_FALSE(FileExistsExact(tmp.path() + "/p.jp"));
    EXPECT_FALSE(FileExistsExact(tmp.path())) << "a folder is not a file";
    struct utimbuf ut;
    ut.actime = ut.modtime = QDateTime(QDate(2004, 3, 5), QTime(19, 8, 9)).toSecsSinceEpoch();
    ASSERT_EQ(utime(QFile::encodeName(f).constData(), &ut), 0);
    QString time;
    int32_t size = -1;
    ASSERT_TRUE(GetFileTimeAndSize(f, time, size));
    EXPECT_EQ(time, "2004/03/05 19:08:08");
    EXPECT_EQ(size, 1234);
    EXPECT_TRUE(SameFileTimeAndSize(f, "2004/03/05 19:08:08", 1234));
    EXPECT_FALSE(SameFileTimeAndSize(f, "2004/03/05 19:08:09", 1234));
    EXPECT_FALSE(SameFileTimeAndSize(f, "2004/03/05 19:08:08", 1235));
    EXPECT_FALSE(GetFileTimeAndSize(tmp.path() + "/gone.jpg", time, size));
    EXPECT_EQ(time, "");
    EXPECT_EQ(size, 0);
    EXPECT_FALSE(SameFileTimeAndSize(tmp.path() + "/gone.jpg", "", 0));

    // A read-only file gets its write permission back.
    chmod(QFile::encodeName(f).constData(), 0444);
    SetNormalAttributes(f);
    struct stat st;
    ASSERT_EQ(stat(QFile::encodeName(f).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    QString label = "old", serial = "old", l2, s2;
    EXPECT_TRUE(GetVolumeLabelAndSerial(f, label, serial));
    ASSERT_EQ(serial.size(), 9);
    EXPECT_EQ(serial, serial.toUpper());
    EXPECT_TRUE(SameVolume(f, label, serial));
    EXPECT_FALSE(SameVolume(f, label + "x", serial));
    EXPECT_FALSE(SameVolume(f, label, "0000-000G"));
    // A file that is gone still lies on its folder's volume.
    EXPECT_TRUE(GetVolumeLabelAndSerial(tmp.path() + "/gone.jpg", l2, s2));
    EXPECT_EQ(s2, serial);
    EXPECT_TRUE(GetVolumeLabelAndSerial("", l2, s2));
    EXPECT_EQ(s2, "");
}
