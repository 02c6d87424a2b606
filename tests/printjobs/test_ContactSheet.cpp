// The contact sheet layout on the recording printer.
#include "printjobs/p_ContactSheetPrint.h"
#include "report/support_FakePrinter.h"
#include "support_Print.h"

#include <gtest/gtest.h>

namespace {

struct TCellSeen { // what one drawn cell showed
    QString Name, Date;
    TRect NameBox, DateBox;
};

// A folder of pictures /photos/p000.jpg..., each a square of its own colour; one may be broken.
struct TSheetRig {
    TScopedFakePrinter Printer;
    TPrintItemVector Items;
    TprtContactSheetPrint Layout;
    QString Broken;
    QList<TCellSeen> Seen; // row by row

    explicit TSheetRig(int count, int gridItem = 11) {
        for (int i = 0; i < count; ++i) {
            Items.AddFile(QString("/photos/p%1.jpg").arg(i, 3, 10, QChar('0')));
            Items.Items.back().Info[4] = "2026/01/02 03:04:05";
        }
        Layout.ItemList = &Items;
        Layout.SetGridItem(gridItem);
        Layout.Pictures.Thumbnail = [this](const QString& path, QImage& bitmap) {
            if (path == Broken)
                throw std::runtime_error("unreadable");
            bitmap = QImage(64, 48, QImage::Format_RGB32);
            bitmap.fill(ColourOf(path.mid(9, 3).toInt()));
            return true;
        };
        Layout.ContactSheetPanel->AfterPrintPanel() = [this](TLRControl*) {
            const TprtContactSheetPrint& l = Layout;
            Seen << TCellSeen{l.Comment1->Text, l.Comment2->Text, l.Comment1->BoundsRect(),
                              l.Comment2->BoundsRect()};
        };
    }
    QImage Page(int page) {
        Seen.clear();
        Layout.CurrentPage = page;
        return Layout.RenderBitmap(1);
    }
};

} // namespace

// Every cell keeps its silver frame, with a picture, empty or damaged; every page, an empty
// folder's too, has its title and its path over the label strip.
TEST(ContactSheet, PagesAndCellsFollowTheGridSize) {
    const struct {
        const char* Name;
        int Count, Item, Pages, Page, Col, Row;
        int Expect; // item in that cell, -1 for an empty one
        int Broken = -1;
    } cases[] = {
        {"empty folder", 0, 11, 1, 1, 2, 3, -1},
        {"5x6 second row", 31, 11, 2, 1, 1, 1, 6},
        {"5x6 page 2 top left", 31, 11, 2, 2, 0, 0, 30},
        {"1x2 second row", 3, 0, 2, 1, 0, 1, 1},
        {"10x10 one over", 101, 25, 2, 1, 9, 9, 99},
        {"outside the box: 5x6", 31, 26, 2, 2, 0, 0, 30},
        {"2x2 damaged", 3, 1, 1, 1, 1, 0, -1, 1},
        {"2x2 after the damaged", 3, 1, 1, 1, 0, 1, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TSheetRig rig(c.Count, c.Item);
        rig.Broken = QString("/photos/p%1.jpg").arg(c.Broken, 3, 10, QChar('0'));
        rig.Layout.SetTitle("Holiday", TLRFont::Points("IPAPGothic", 20));
        rig.Layout.SetPath("/photos", TLRFont::Points("IPAPGothic", 9), 9);
        EXPECT_EQ(rig.Layout.ComputePageCount(), c.Pages);
        const QImage page = rig.Page(c.Page);
        const TLRControl* texts[] = {rig.Layout.ContactSheetTitle, rig.Layout.ContactSheetPath};
        for (const TLRControl* text : texts) {
            const TRect r = OnPage(text);
            int rows = 0;
            for (int y = r.Top; y < r.Bottom; ++y)
                rows += !Runs(page, y, true, IsDark, r.Left, r.Right).isEmpty();
            EXPECT_GT(rows, 5);
        }
        const TRect strip = OnPage(rig.Layout.PathPanel);
        EXPECT_TRUE(Near(page.pixel(strip.Left + 3, strip.Top + 3), QColor(0x99, 0x99, 0xFF)));
        EXPECT_EQ(rig.Seen.size(), rig.Layout.Columns() * rig.Layout.Rows());
        const TLRGridPanel* grid = rig.Layout.ContactSheetPanel;
        const TRect cell = grid->CellRect(OnPage(grid), c.Col, c.Row);
        const QPoint box(cell.Left + cell.Width() / 2, cell.Top + cell.Height() * 4 / 10);
        EXPECT_TRUE(Near(page.pixel(box), c.Expect >= 0 ? ColourOf(c.Expect) : Qt::white));
        auto silver = [](QRgb p) { return Near(p, QColor(0xC0, 0xC0, 0xC0)); };
        EXPECT_FALSE(Runs(page, box.y(), true, silver, cell.Left + 2, cell.Left + 7).isEmpty());
        const TCellSeen seen = rig.Seen.value(c.Row * rig.Layout.Columns() + c.Col);
        EXPECT_EQ(seen.Name,
                  c.Expect >= 0 ? QString("p%1.jpg").arg(c.Expect, 3, 10, QChar('0')) : QString());
        EXPECT_TRUE(c.Expect >= 0 || seen.Date.isEmpty());
    }
}

// The shooting date, else the file's; a line switched off stays empty in its place.
TEST(ContactSheet, NameAndDateLines) {
    const struct {
        QString Shot, Path, Name, Date; // Name or Date empty: switched off
    } cases[] = {
        {"2019/05/04 10:11:12", "/photos/p000.jpg", "p000.jpg", "2019/05/04 10:11:12"},
        {"", "/photos/p000.jpg", "p000.jpg", "2026/01/02 03:04"},
        {"", "/photos/CLIP.AVI", "CLIP.AVI", "2026/01/02 03:04"},
        {"2019/05/04 10:11:12", "/photos/p000.jpg", "p000.jpg", ""},
        {"", "/photos/p000.jpg", "", "2026/01/02 03:04"},
    };
    TRect nameBox;
    for (const auto& c : cases) {
        SCOPED_TRACE((c.Path + " " + c.Name + " " + c.Date).toStdString());
        TSheetRig rig(0);
        rig.Layout.Pictures.FileIcon = [](const QString&, QImage& bitmap) {
            bitmap = QImage(48, 48, QImage::Format_RGB32);
        };
        rig.Items.AddFile(c.Path);
        rig.Items.Items[0].Info[4] = "2026/01/02 03:04";
        rig.Items.Items[0].Info[5] = c.Shot;
        rig.Layout.ShowFileName = !c.Name.isEmpty();
        rig.Layout.ShowDate = !c.Date.isEmpty();
        rig.Page(1);
        const TCellSeen& cell = rig.Seen.value(0);
        EXPECT_EQ(cell.Name, c.Name);
        EXPECT_EQ(cell.Date, c.Date);
        EXPECT_EQ(cell.DateBox.Top, cell.NameBox.Bottom);
        nameBox = nameBox.Width() ? nameBox : cell.NameBox;
        EXPECT_EQ(cell.NameBox, nameBox);
    }
}
