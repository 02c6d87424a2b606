// Pictures stored lying print upright, in a print cell and on the back card ("Rotate" on top);
// with orientation switched off as stored, so only tag 1 shows upright.
#include "cache/CThumbnailDB.h"
#include "printjobs/i_JacketPrint.h"
#include "printjobs/p_ContactSheetPrint.h"
#include "printjobs/p_JacketPrint.h"
#include "report/support_FakePrinter.h"
#include "support/OrientedPictures.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(UprightPrints, EveryTagPrintsUprightInCellsAndOnTheBackCard) {
    TempHome home;
    QTemporaryDir dir;
    TThumbnailDB db(nullptr, dir.path() + "/");
    db.SetCacheDirectory(dir.path() + "/cache");
    db.SetMaxSizeKB(100000);
    db.SetWidth(512);
    db.SetHeight(512);
    TScopedFakePrinter printer;
    // The setting is read at start-up: each pass has layouts of its own.
    for (bool apply : {true, false}) {
        db.SetApplyOrientation(apply);
        TprtContactSheetPrint sheet;
        sheet.Pictures = DatabasePictures(&db);
        sheet.SetGridItem(0);
        QImage held; // the first cell's picture
        sheet.ContactSheetPanel->AfterPrintPanel() = [&](TLRControl*) {
            if (held.isNull() && sheet.Image->Picture().Width() > 0)
                held = sheet.Image->Picture().Bitmap().ToImage();
        };
        TprtJacketPrint jacket;
        TfrmJacketPrint window(&jacket);
        for (int tag = 1; tag <= 8; ++tag) {
            SCOPED_TRACE(::testing::Message() << "tag " << tag << (apply ? "" : ", switched off"));
            const QString path = dir.path() + QString("/tag%1.jpg").arg(tag);
            ASSERT_TRUE(oriented::WriteJpeg(path, tag));
            TPrintItemVector items;
            items.AddFile(path);
            sheet.ItemList = &items;
            sheet.CurrentPage = 1;
            held = {};
            sheet.RenderBitmap(1);
            const bool upright = apply || tag == 1;
            EXPECT_EQ(oriented::ShowsUpright(held), upright) << "contact sheet";
            // The back card gets the database's hand-out, as the main window gives it; "Rotate"
            // turns it clockwise.
            ASSERT_TRUE(db.GetThumbnail(path));
            window.SetImage(db.ThumbnailInfo().Bitmap->copy(), dir.path());
            EXPECT_EQ(oriented::ShowsUpright(window.SourcePicture), upright) << "back card";
            window.BtnTrimmingClick();
            const QImage back = window.SourcePicture.transformed(QTransform().rotate(-90));
            EXPECT_EQ(oriented::ShowsUpright(back), upright) << "turned once";
        }
    }
}
