// The contact sheet layout on the recording printer: pages, cells, name and date lines,
// damaged pictures and an empty folder (the page geometry is measured on the real queues by
// the whole-program print).
#include "printjobs/p_ContactSheetPrint.h"
#include "report/support_FakePrinter.h"
#include "support_Layout.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

// Whether a silver frame line crosses the given few pixels of a page.
bool SilverIn(const QImage& page, int x0, int y0, int x1, int y1) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (NearColour(page.pixel(x, y), QColor(0xC0, 0xC0, 0xC0)))
                return true;
    return false;
}

// What one drawn cell showed.
struct TCellSeen {
    int Col, Row;
    QString Name, Date;
    TRect NameBox, DateBox;
    bool Picture;
};

// A folder of numbered pictures p000.jpg..., each a square of its own colour; some may be
// broken, some may carry a shooting date.
struct TSheetRig {
    TScopedFakePrinter Printer;
    TPrintItemVector Items;
    std::unique_ptr<TprtContactSheetPrint> Layout;
    QSet<QString> Broken;
    QList<TCellSeen> Seen;

    explicit TSheetRig(int count, int gridItem = 11) {
        Printer.Fake.Paper = {4961, 7016};
        for (int i = 0; i < count; ++i) {
            Items.AddFile(QString("/photos/p%1.jpg").arg(i, 3, 10, QChar('0')));
            Items.Items.back().Info[4] = "2026/01/02 03:04:05";
        }
        Layout = std::make_unique<TprtContactSheetPrint>();
        Layout->ItemList = &Items;
        Layout->SetGridItem(gridItem);
        Layout->Pictures.Thumbnail = [this](const QString& path, QImage& bitmap) {
            if (Broken.contains(path))
                throw std::runtime_error("unreadable");
            bitmap = QImage(64, 48, QImage::Format_RGB32);
            bitmap.fill(ColourOf(path.mid(9, 3).toInt()));
            return true;
        };
        Layout->Pictures.FileIcon = [](const QString&, QImage& bitmap) {
            bitmap = QImage(48, 48, QImage::Format_RGB32);
            bitmap.fill(Qt::black);
        };
        Layout->ContactSheetPanel->AfterPrintPanel() = [this](TLRControl*) {
            const TprtContactSheetPrint& l = *Layout;
            Seen << TCellSeen{FCol,
                              FRow,
                              l.Comment1->Text,
                              l.Comment2->Text,
                              l.Comment1->BoundsRect(),
                              l.Comment2->BoundsRect(),
                              l.Image->Picture().Width() > 0};
        };
        auto event = Layout->ContactSheetPanel->OnPrintPanel;
        Layout->ContactSheetPanel->OnPrintPanel =
            [this, event](TLRGridPanel* g, int c, int r, const TRect& rect, TPrintStatus& s) {
                FCol = c;
                FRow = r;
                event(g, c, r, rect, s);
            };
    }

    // The middle of a cell's picture box on a zoom-1 page.
    QPoint BoxCentre(int col, int row) const {
        const TLRGridPanel* grid = Layout->ContactSheetPanel;
        const TRect cell = grid->CellRect(OnPage(grid), col, row);
        return {cell.Left + cell.Width() / 2, cell.Top + cell.Height() * 4 / 10};
    }
    QImage Page(int page) {
        Seen.clear();
        Layout->CurrentPage = page;
        return Layout->RenderBitmap(1);
    }
    const TCellSeen* Cell(int col, int row) const {
        for (const TCellSeen& c : Seen)
            if (c.Col == col && c.Row == row)
                return &c;
        return nullptr;
    }

private:
    int FCol = 0, FRow = 0;
};

} // namespace

TEST(ContactSheet, PagesAndCellsFollowTheGridSize) {
    struct TCase {
        const char* Name;
        int Count, Item, Pages, Page, Col, Row;
        int Expect; // item in that cell, -1 for an empty one
    };
    const TCase cases[] = {
        {"empty folder", 0, 11, 1, 1, 0, 0, -1},
        {"5x6 second row", 31, 11, 2, 1, 1, 1, 6},
        {"5x6 last of page 1", 31, 11, 2, 1, 4, 5, 29},
        {"5x6 page 2 top left", 31, 11, 2, 2, 0, 0, 30},
        {"5x6 page 2 next empty", 31, 11, 2, 2, 1, 0, -1},
        {"1x2 second row", 3, 0, 2, 1, 0, 1, 1},
        {"10x10 one over", 101, 25, 2, 1, 9, 9, 99},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TSheetRig rig(c.Count, c.Item);
        EXPECT_EQ(rig.Layout->ComputePageCount(), c.Pages);
        const QImage page = rig.Page(c.Page);
        EXPECT_EQ(rig.Seen.size(), rig.Layout->Columns() * rig.Layout->Rows());
        const QColor expect = c.Expect >= 0 ? ColourOf(c.Expect) : QColor(Qt::white);
        EXPECT_TRUE(NearColour(page.pixel(rig.BoxCentre(c.Col, c.Row)), expect));
        const TCellSeen* cell = rig.Cell(c.Col, c.Row);
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->Name,
                  c.Expect >= 0 ? QString("p%1.jpg").arg(c.Expect, 3, 10, QChar('0')) : QString());
    }
    TSheetRig rig(0, 26); // outside the box: the default 5 x 6
    EXPECT_EQ(rig.Layout->Columns() * rig.Layout->Rows(), 30);
}

TEST(ContactSheet, NameAndDateLines) {
    struct TCase {
        const char* Name;
        bool ShowName, ShowDate;
        QString Shot, FileDate, Path;
        QString ExpectName, ExpectDate;
    };
    const TCase cases[] = {
        {"shooting date", true, true, "2019/05/04 10:11:12", "2026/01/02 03:04:05",
         "/photos/p000.jpg", "p000.jpg", "2019/05/04 10:11:12"},
        {"file date without one", true, true, "", "2026/01/02 03:04:05", "/photos/p000.jpg",
         "p000.jpg", "2026/01/02 03:04:05"},
        {"video", true, true, "", "2026/03/01 12:00", "/photos/CLIP.AVI", "CLIP.AVI",
         "2026/03/01 12:00"},
        {"date off", true, false, "2019/05/04 10:11:12", "x", "/photos/p000.jpg", "p000.jpg", ""},
        {"name off", false, true, "", "2026/01/02 03:04:05", "/photos/p000.jpg", "",
         "2026/01/02 03:04:05"},
    };
    TRect nameBox, dateBox;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TSheetRig rig(0);
        rig.Items.AddFile(c.Path);
        rig.Items.Items[0].Info[4] = c.FileDate;
        rig.Items.Items[0].Info[5] = c.Shot;
        rig.Layout->ShowFileName = c.ShowName;
        rig.Layout->ShowDate = c.ShowDate;
        rig.Page(1);
        const TCellSeen* cell = rig.Cell(0, 0);
        ASSERT_TRUE(cell);
        EXPECT_TRUE(cell->Picture);
        EXPECT_EQ(cell->Name, c.ExpectName);
        EXPECT_EQ(cell->Date, c.ExpectDate);
        // The date line keeps its place right under the name line, shown or not.
        EXPECT_EQ(cell->DateBox.Top, cell->NameBox.Bottom);
        if (nameBox.Width() == 0)
            nameBox = cell->NameBox, dateBox = cell->DateBox;
        EXPECT_EQ(cell->NameBox, nameBox);
        EXPECT_EQ(cell->DateBox, dateBox);
    }
}

TEST(ContactSheet, ADamagedPictureLeavesItsFrameAndTheRestPrints) {
    TSheetRig rig(3, 1); // 2 x 2
    rig.Broken << "/photos/p001.jpg";
    const QImage page = rig.Page(1);
    EXPECT_TRUE(NearColour(page.pixel(rig.BoxCentre(0, 0)), ColourOf(0)));
    EXPECT_TRUE(NearColour(page.pixel(rig.BoxCentre(1, 0)), Qt::white));
    EXPECT_TRUE(NearColour(page.pixel(rig.BoxCentre(0, 1)), ColourOf(2)));
    const TCellSeen* broken = rig.Cell(1, 0);
    ASSERT_TRUE(broken);
    EXPECT_TRUE(broken->Name.isEmpty() && broken->Date.isEmpty() && !broken->Picture);
    EXPECT_EQ(rig.Cell(0, 1)->Name, "p002.jpg");
    // Its silver frame is drawn all the same.
    const TLRGridPanel* grid = rig.Layout->ContactSheetPanel;
    const TRect cell = grid->CellRect(OnPage(grid), 1, 0);
    const int midX = cell.Left + cell.Width() / 2;
    EXPECT_TRUE(SilverIn(page, midX, cell.Top + 4, midX, cell.Top + 8));
}

TEST(ContactSheet, AnEmptyFolderPrintsTitleFramesAndThePathStrip) {
    TSheetRig rig(0);
    rig.Layout->SetTitle("Holiday", TLRFont::Points("IPAPGothic", 20));
    TLRFont path = TLRFont::Points("IPAPGothic", 9);
    rig.Layout->SetPath("/photos/holiday", path, 9);
    const QImage page = rig.Page(1);
    const TprtContactSheetPrint& l = *rig.Layout;
    auto ink = [&](const TRect& r, const std::function<bool(QRgb)>& is) {
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                n += is(page.pixel(x, y)) ? 1 : 0;
        return n;
    };
    const auto dark = [](QRgb p) { return qGray(p) < 100; };
    EXPECT_GT(ink(OnPage(l.ContactSheetTitle), dark), 20); // title
    const TRect strip = OnPage(l.PathPanel);
    EXPECT_TRUE(NearColour(page.pixel(strip.Left + 3, strip.Top + 3), QColor(0x99, 0x99, 0xFF)));
    EXPECT_GT(ink(OnPage(l.ContactSheetPath), dark), 20); // path over the strip
    const TRect grid = OnPage(l.ContactSheetPanel);
    const TRect cell = l.ContactSheetPanel->CellRect(grid, 2, 3);
    const int midY = cell.Top + cell.Height() / 2;
    EXPECT_TRUE(SilverIn(page, cell.Left + 2, midY, cell.Left + 6, midY)); // an empty frame
}
