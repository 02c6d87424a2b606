// The index card layout on the recording printer: which item lands in which cell, pages,
// icons for videos, cells whose picture cannot be had, and when pictures are fetched.
#include "printjobs/p_ThumbnailPrint.h"
#include "report/support_FakePrinter.h"
#include "support_Print.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

const QColor EmptyCell(0xED, 0xED, 0xED);

// A folder of numbered pictures, each a square of its own colour; some may be broken.
struct TCardRig {
    TScopedFakePrinter Printer;
    TPrintItemVector Items;
    std::unique_ptr<TprtThumbnailPrint> Layout;
    QStringList Thumbnails, Icons;
    QSet<QString> Broken;

    TCardRig(int count, int n, const QStringList& extra = {}) {
        Printer.Fake.Mode.Orientation = DMORIENT_LANDSCAPE;
        Printer.Fake.Paper = {7016, 4961};
        for (int i = 0; i < count; ++i)
            Items.AddFile(QString("/photos/p%1.jpg").arg(i, 3, 10, QChar('0')));
        for (const QString& path : extra)
            Items.AddFile(path);
        Layout = std::make_unique<TprtThumbnailPrint>();
        Layout->ItemList = &Items;
        Layout->SetGridSize(n);
        Layout->Pictures.Thumbnail = [this](const QString& path, QImage& bitmap) {
            Thumbnails << path;
            if (Broken.contains(path))
                throw std::runtime_error("unreadable");
            bitmap = QImage(64, 64, QImage::Format_RGB32);
            bitmap.fill(ColourOf(path.mid(9, 3).toInt()));
            return true;
        };
        Layout->Pictures.FileIcon = [this](const QString& path, QImage& bitmap) {
            Icons << path;
            bitmap = QImage(48, 48, QImage::Format_RGB32);
            bitmap.fill(Qt::black);
        };
    }

    // The colour in the middle of a cell's picture box on a zoom-1 page of the right card
    // (or the left).
    QColor Box(const QImage& page, int col, int row, bool right = true) const {
        const TLRGridPanel* grid =
            right ? Layout->ThumbnailRightCenter : Layout->ThumbnailLeftCenter;
        const TRect cell = grid->CellRect(OnPage(grid), col, row);
        const int top = cell.Top + (row == 0 ? 1 : 0), fh = cell.Height() - (row == 0 ? 1 : 0);
        return page.pixel(cell.Left + 3 + (cell.Width() - 5) / 2, top + fh / 20 + fh * 15 / 40);
    }
    QImage Page(int page) {
        Layout->CurrentPage = page;
        return Layout->RenderBitmap(1);
    }
};

} // namespace

TEST(IndexCard, RightCardFirstThenLeftRowByRow) {
    const struct {
        int Count, N, Pages, Page;
        bool Right;
        int Col, Row;
        int Item; // -1: the cell is empty
    } cases[] = {
        {0, 6, 1, 1, true, 0, 0, -1}, {3, 1, 2, 1, true, 0, 0, 0},   {3, 1, 2, 1, false, 0, 0, 1},
        {3, 1, 2, 2, true, 0, 0, 2},  {3, 1, 2, 2, false, 0, 0, -1}, {72, 6, 1, 1, false, 5, 5, 71},
        {73, 6, 2, 1, true, 1, 1, 7}, {73, 6, 2, 2, true, 0, 0, 72}, {73, 6, 2, 2, true, 1, 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.Count << " at " << c.N << ", page " << c.Page
                     << (c.Right ? " right " : " left ") << c.Col << "," << c.Row);
        TCardRig rig(c.Count, c.N);
        EXPECT_EQ(rig.Layout->ComputePageCount(), c.Pages);
        const QImage page = rig.Page(c.Page);
        EXPECT_TRUE(NearColour(rig.Box(page, c.Col, c.Row, c.Right),
                               c.Item >= 0 ? ColourOf(c.Item) : EmptyCell));
    }
}

TEST(IndexCard, VideoPrintsItsIconAndAnUnreadablePictureLeavesTheFrameOnly) {
    TCardRig rig(3, 2, {"/photos/CLIP.AVI"});
    rig.Broken << "/photos/p001.jpg";
    const QImage page = rig.Page(1);
    EXPECT_EQ(rig.Icons, QStringList({"/photos/CLIP.AVI"}));
    EXPECT_FALSE(rig.Thumbnails.contains("/photos/CLIP.AVI"));
    EXPECT_TRUE(NearColour(rig.Box(page, 0, 0), ColourOf(0)));
    EXPECT_TRUE(NearColour(rig.Box(page, 1, 0), EmptyCell));
    EXPECT_TRUE(NearColour(rig.Box(page, 0, 1), ColourOf(2)));
    EXPECT_TRUE(NearColour(rig.Box(page, 1, 1), Qt::black)); // the icon

    // The broken cell has no name under its box; its neighbour has one, unless names are off.
    auto nameInk = [&](const QImage& on, int col) {
        const TRect cell = rig.Layout->ThumbnailRightCenter->CellRect(
            OnPage(rig.Layout->ThumbnailRightCenter), col, 0);
        return InkBox(on, Rect(cell.Left + 4, cell.Top + cell.Height() * 16 / 20 + 2,
                               cell.Right - 4, cell.Bottom - 2));
    };
    EXPECT_TRUE(nameInk(page, 1).isNull());
    EXPECT_FALSE(nameInk(page, 0).isNull());
    rig.Layout->ShowFileName = false;
    EXPECT_TRUE(nameInk(rig.Page(1), 0).isNull());
}

TEST(IndexCard, PreviewsKeepReducedPicturesPrintsFetchThemAfresh) {
    TCardRig rig(8, 2);
    rig.Page(1);
    rig.Page(1); // the settings window renders page 1 again on every change
    EXPECT_EQ(rig.Thumbnails.size(), 8);
    // A file that changed (its size in the item's info) is fetched again.
    rig.Items.Items[3].Info[3] = "12345";
    rig.Page(1);
    EXPECT_EQ(rig.Thumbnails.mid(8), QStringList({"/photos/p003.jpg"}));
    // Printing reads every picture from its source, at full size.
    rig.Layout->PrintPages();
    EXPECT_EQ(rig.Thumbnails.size(), 17);
    ASSERT_FALSE(rig.Printer.Fake.Sent.empty());
    EXPECT_EQ(rig.Printer.Fake.Sent.front().Image.size(), QSize(64, 64));
    // Let go, the pictures are fetched again.
    rig.Layout->ForgetPictures();
    rig.Page(1);
    EXPECT_EQ(rig.Thumbnails.size(), 25);
}
