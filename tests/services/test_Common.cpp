#include "services/CCommon.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <clocale>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <utime.h>

namespace {

void Touch(const QString& path, const QByteArray& data = "x") {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(data);
}

void SetMTime(const QString& path, const QDateTime& t) {
    struct utimbuf ut;
    ut.actime = ut.modtime = time_t(t.toSecsSinceEpoch());
    ASSERT_EQ(utime(QFile::encodeName(path).constData(), &ut), 0);
}

} // namespace

TEST(Common, StdDateTimeIsFixedFromTwoThreads) {
    const QDateTime t(QDate(2004, 3, 5), QTime(19, 8, 9));
    EXPECT_EQ(FormatStdDateTime(t), "2004/03/05 19:08:09");
    EXPECT_EQ(FormatStdDateTime(QDateTime(QDate(987, 1, 2), QTime(0, 0, 0))),
              "0987/01/02 00:00:00");
    // Text order is time order.
    EXPECT_LT(FormatStdDateTime(QDateTime(QDate(2004, 3, 5), QTime(9, 59, 59))),
              FormatStdDateTime(QDateTime(QDate(2004, 3, 5), QTime(10, 0, 0))));

    // The process-wide locale does not leak into the text.
    const char* old = setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(FormatStdDateTime(t), "2004/03/05 19:08:09");
    setlocale(LC_ALL, saved.c_str());

    std::atomic<int> bad{0};
    std::atomic<bool> go{false};
    auto worker = [&](const QDateTime& when, const QString& expected) {
        while (!go)
            std::this_thread::yield();
        for (int i = 0; i < 20000; ++i)
            if (FormatStdDateTime(when) != expected)
                ++bad;
    };
    std::thread a(worker, t, QString("2004/03/05 19:08:09"));
    std::thread b(worker, QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58)),
                  QString("1999/12/31 23:59:58"));
    go = true;
    a.join();
    b.join();
    EXPECT_EQ(bad, 0);
}

TEST(Common, JoinPath) {
    for (auto [folder, joined] : {std::pair{"/a/b", "/a/b/c.jpg"},
                                  {"/a/b/", "/a/b/c.jpg"},
                                  {"", "c.jpg"},
                                  {"/写真", "/写真/c.jpg"}})
        EXPECT_EQ(JoinPath(QString::fromUtf8(folder), "c.jpg"), QString::fromUtf8(joined));
}

TEST(Common, FileExistsExactAndAttributes) {
    QTemporaryDir tmp;
    const QString f = tmp.path() + "/a.html";
    Touch(f);
    EXPECT_TRUE(FileExistsExact(f));
    EXPECT_FALSE(FileExistsExact(tmp.path() + "/a.htm"));
    EXPECT_FALSE(FileExistsExact(tmp.path())) << "a folder is not a file";
    EXPECT_FALSE(FileExistsExact(""));

    const QByteArray nf = QFile::encodeName(f);
    chmod(nf.constData(), 0444);
    ClearReadOnly(f);
    struct stat st;
    ASSERT_EQ(stat(nf.constData(), &st), 0);
    if (geteuid() != 0) { // root may write anything, so nothing is read-only for it
        EXPECT_TRUE(st.st_mode & S_IWUSR);
    }
    chmod(nf.constData(), 0444);
    SetNormalAttributes(f);
    ASSERT_EQ(stat(nf.constData(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(Common, FileTimeAndSizeDropOddSeconds) {
    QTemporaryDir tmp;
    const QString f = tmp.path() + "/p.jpg";
    Touch(f, QByteArray(1234, 'z'));
    SetMTime(f, QDateTime(QDate(2004, 3, 5), QTime(19, 8, 9)));
    QString time;
    int32_t size = -1;
    ASSERT_TRUE(GetFileTimeAndSize(f, time, size));
    EXPECT_EQ(time, "2004/03/05 19:08:08");
    EXPECT_EQ(size, 1234);
    EXPECT_TRUE(SameFileTimeAndSize(f, "2004/03/05 19:08:08", 1234));
    EXPECT_FALSE(SameFileTimeAndSize(f, "2004/03/05 19:08:09", 1234));
    EXPECT_FALSE(SameFileTimeAndSize(f, "2004/03/05 19:08:08", 1235));

    // Touching the file changes the answer.
    SetMTime(f, QDateTime(QDate(2004, 3, 5), QTime(19, 8, 10)));
    EXPECT_FALSE(SameFileTimeAndSize(f, "2004/03/05 19:08:08", 1234));

    // Folders answer too; a missing entry gives empty text and size 0.
    EXPECT_TRUE(GetFileTimeAndSize(tmp.path(), time, size));
    EXPECT_EQ(size, 0);
    EXPECT_FALSE(GetFileTimeAndSize(tmp.path() + "/gone.jpg", time, size));
    EXPECT_EQ(time, "");
    EXPECT_EQ(size, 0);
    EXPECT_FALSE(SameFileTimeAndSize(tmp.path() + "/gone.jpg", "", 0));
}

TEST(Common, VolumeLabelAndSerial) {
    QTemporaryDir tmp;
    const QString f = tmp.path() + "/v.jpg";
    Touch(f);
    QString label = "old", serial = "old";
    EXPECT_TRUE(GetVolumeLabelAndSerial(f, label, serial));
    ASSERT_EQ(serial.size(), 9);
    EXPECT_EQ(serial[4], u'-');
    EXPECT_EQ(serial, serial.toUpper());
    EXPECT_TRUE(SameVolume(f, label, serial));
    EXPECT_FALSE(SameVolume(f, label + "x", serial));
    EXPECT_FALSE(SameVolume(f, label, "0000-000G"));

    // A file that is gone still lies on its folder's volume.
    QString l2, s2;
    EXPECT_TRUE(GetVolumeLabelAndSerial(tmp.path() + "/gone.jpg", l2, s2));
    EXPECT_EQ(s2, serial);

    // An empty name has no volume; the call still succeeds and two empty pairs are equal.
    EXPECT_TRUE(GetVolumeLabelAndSerial("", l2, s2));
    EXPECT_EQ(l2, "");
    EXPECT_EQ(s2, "");
    EXPECT_TRUE(SameVolume("", "", ""));
}
