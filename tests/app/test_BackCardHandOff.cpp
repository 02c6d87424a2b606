// The main window's hand-off to the back card: the selected item's cached thumbnail (a
// video's file-type icon) and the folder reach the back card window; without a selection, or
// with a picture that cannot be read, the window does not open and the user is told why.
#include "Common/c_Other.h"
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "app/i_Thumbnail.h"
#include "cache/CThumbnailDB.h"
#include "platform/PDialogSeam.h"
#include "printjobs/c_PrintItems.h"
#include "printjobs/i_JacketPrint.h"
#include "printjobs/p_JacketPrint.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(BackCardHandOff, SelectedItemsPictureAndFolderReachTheWindow) {
    TempHome home;
    QTemporaryDir user;
    ScopedEnv homeEnv("HOME", user.path().toUtf8());
    const QString folder = user.path() + "/photos";
    QDir().mkpath(folder);
    QImage photo(400, 300, QImage::Format_RGB32);
    photo.fill(QColor(200, 40, 40));
    for (int x = 0; x < 200; ++x)
        for (int y = 0; y < 150; ++y)
            photo.setPixelColor(x, y, QColor(40, 40, 200));
    ASSERT_TRUE(photo.save(folder + "/a_photo.jpg", "JPG", 95));
    WriteRaw(folder + "/b_clip.avi", QByteArray("RIFF\x10\0\0\0AVI LIST", 16) + QByteArray(400, 0));
    WriteRaw(folder + "/c_damaged.jpg", QByteArray(600, '\x7F'));

    struct TSeen {
        bool Opened = false;
        QImage Picture;
        QString Folder;
    } seen;
    QStringList messages;
    SetDialogAnswerer([&](TDialogRequest& r) {
        if (r.Kind == "back card") {
            seen.Opened = true;
            seen.Picture = frmJacketPrint->SourcePicture;
            seen.Folder = frmJacketPrint->FolderPath;
        } else {
            messages << r.Text;
        }
        return 0;
    });
    {
        TfrmThumbnail w;
        prtJacketPrint = new TprtJacketPrint;
        prtJacketPrint->Pictures = DatabasePictures(ThumbnailDB);
        prtJacketPrint->Pictures.FileIcon = DrawFileIcon;
        frmJacketPrint = new TfrmJacketPrint(prtJacketPrint, &w);
        w.SelectFolder(folder);
        ASSERT_TRUE(WaitFor([&] {
            return w.LoadThread->Idle() && !w.LoadingRunning() && w.ThumbList->Count() == 3;
        }));

        struct TCase {
            const char* Name;
            int Selected;
            std::function<QImage()> Expected; // null: the window stays closed
            QString Message;
        };
        const QString path0 = w.ThumbList->Item(0)->Info.value(2);
        const QString path1 = w.ThumbList->Item(1)->Info.value(2);
        const TCase cases[] = {
            {"nothing selected", -1, nullptr,
             "Before printing the back card, click one of the displayed images to select it."},
            {"photograph: its cached thumbnail",
             0,
             [&] {
                 EXPECT_TRUE(ThumbnailDB->GetThumbnail(path0));
                 return ThumbnailDB->ThumbnailInfo().Bitmap->copy();
             },
             {}},
            {"video: its file type's icon",
             1,
             [&] {
                 QImage icon;
                 DrawFileIcon(path1, icon);
                 return icon;
             },
             {}},
            {"damaged picture", 2, nullptr,
             "The selected image cannot be read:\n" + folder + "/c_damaged.jpg"},
        };
        for (const TCase& c : cases) {
            SCOPED_TRACE(c.Name);
            seen = {};
            messages.clear();
            w.ThumbList->SetSelected(c.Selected);
            w.BtnPrintJacketClick();
            EXPECT_EQ(seen.Opened, bool(c.Expected));
            if (c.Expected) {
                const QImage expected = c.Expected();
                ASSERT_FALSE(expected.isNull());
                EXPECT_EQ(seen.Picture.convertToFormat(QImage::Format_RGB888),
                          expected.convertToFormat(QImage::Format_RGB888));
                EXPECT_EQ(seen.Folder, w.CurrentFolder());
                EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
            } else {
                EXPECT_EQ(messages, QStringList{c.Message});
            }
        }
        delete frmJacketPrint;
        frmJacketPrint = nullptr;
        delete prtJacketPrint;
        prtJacketPrint = nullptr;
    }
    SetDialogAnswerer({});
}
