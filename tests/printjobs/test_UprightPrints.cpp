// Pictures stored lying, with each of the eight orientation tags, print upright: in a
// contact sheet cell, in an index card cell and on the back card, where "Rotate" turns on top
// of the upright picture; with orientation switched off they print as stored.
#include "cache/CThumbnailDB.h"
#include "printjobs/i_JacketPrint.h"
#include "printjobs/p_ContactSheetPrint.h"
#include "printjobs/p_JacketPrint.h"
#include "printjobs/p_ThumbnailPrint.h"
#include "report/support_FakePrinter.h"
#include "support/OrientedPictures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Whether two pictures show the same colours in the middle of each quarter.
bool SameQuarters(const QImage& a, const QImage& b) {
    for (int i = 0; i < 4; ++i) {
        const QColor p =
            a.pixelColor(a.width() * (i % 2 ? 3 : 1) / 4, a.height() * (i / 2 ? 3 : 1) / 4);
        const QColor q =
            b.pixelColor(b.width() * (i % 2 ? 3 : 1) / 4, b.height() * (i / 2 ? 3 : 1) / 4);
        if (std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) +
                std::abs(p.blue() - q.blue()) >
            90)
            return false;
    }
    return !a.isNull();
}

// The picture an image item of a layout holds after its cell has been drawn.
QImage CellPictureOf(TprtPrintBase& layout, TLRImage* image) {
    layout.CurrentPage = 1;
    QImage held;
    TLRGridPanel* grid = dynamic_cast<TLRGridPanel*>(image->Parent()->Parent());
    EXPECT_TRUE(grid);
    grid->AfterPrintPanel() = [&](TLRControl*) {
        if (held.isNull() && image->Picture().Width() > 0)
            held = image->Picture().Bitmap().ToImage();
    };
    TScopedFakePrinter printer;
    layout.RenderBitmap(1);
    return held;
}

} // namespace

TEST(UprightPrints, EveryTagPrintsUprightInCellsAndOnTheBackCard) {
    TempHome home;
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/pics");
    TThumbnailDB db(nullptr, dir.path() + "/");
    db.SetCacheDirectory(dir.path() + "/cache");
    db.SetMaxSizeKB(100000);
    db.SetWidth(512);
    db.SetHeight(512);
    // The setting is read at start-up: each pass has layouts of its own.
    for (bool apply : {true, false}) {
        db.SetApplyOrientation(apply);
        TprtContactSheetPrint sheet;
        TprtThumbnailPrint card;
        for (TprtPrintBase* l :
             {static_cast<TprtPrintBase*>(&sheet), static_cast<TprtPrintBase*>(&card)})
            l->Pictures = DatabasePictures(&db);
        sheet.SetGridItem(0);
        card.SetGridSize(1);
        TprtJacketPrint jacket;
        TfrmJacketPrint window(&jacket);
        for (int tag = 1; tag <= 8; ++tag) {
            SCOPED_TRACE(
                QString("tag %1%2").arg(tag).arg(apply ? "" : ", switched off").toStdString());
            const QString path = dir.path() + QString("/pics/tag%1.jpg").arg(tag);
            ASSERT_TRUE(oriented::WriteJpeg(path, tag));
            TPrintItemVector items;
            items.AddFile(path);
            sheet.ItemList = &items;
            card.ItemList = &items;
            if (!apply && tag >= 5)
                continue; // a lying raster has no 2:1 quarters to compare
            const QImage expect = apply ? oriented::Upright() : oriented::Stored(tag);
            EXPECT_TRUE(SameQuarters(CellPictureOf(sheet, sheet.Image), expect)) << "contact sheet";
            EXPECT_TRUE(SameQuarters(CellPictureOf(card, card.RImage), expect)) << "index card";

            // The back card gets the database's hand-out, as the main window gives it.
            ASSERT_TRUE(db.GetThumbnail(path));
            window.SetImage(db.ThumbnailInfo().Bitmap->copy(), dir.path());
            EXPECT_TRUE(SameQuarters(window.SourcePicture, expect)) << "back card";
            if (apply) {
                window.BtnTrimmingClick();
                EXPECT_TRUE(
                    SameQuarters(window.SourcePicture, expect.transformed(QTransform().rotate(90))))
                    << "turned once";
            }
        }
    }
}
