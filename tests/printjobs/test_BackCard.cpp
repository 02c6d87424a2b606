// The back card: its layout on the recording printer (card geometry, the four layout kinds,
// the coloured items, the single-page print and preview) and its settings window with the
// quarter turns (headless; dialogs answered through the seam).
#include "Common/c_Config.h"
#include "platform/PDialogSeam.h"
#include "printjobs/i_JacketPrint.h"
#include "printjobs/p_JacketPrint.h"
#include "report/support_FakePrinter.h"
#include "services/CIniFile.h"
#include "support/TestSupport.h"
#include "support_Layout.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// A picture whose four quarters differ, 60 wide and 40 high, so every turn shows.
QImage Quarters(int w = 60, int h = 40) {
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int q = (x < w / 2 ? 0 : 1) + (y < h / 2 ? 0 : 2);
            static const QRgb colours[] = {qRgb(200, 30, 30), qRgb(30, 160, 30), qRgb(30, 30, 200),
                                           qRgb(230, 200, 20)};
            img.setPixel(x, y, colours[q]);
        }
    return img;
}

// The picture turned clockwise `turns` times, pixel by pixel.
QImage TurnedClockwise(const QImage& src, int turns) {
    QImage cur = src.convertToFormat(QImage::Format_RGB888);
    for (int t = 0; t < turns; ++t) {
        QImage out(cur.height(), cur.width(), QImage::Format_RGB888);
        for (int y = 0; y < cur.height(); ++y)
            for (int x = 0; x < cur.width(); ++x)
                out.setPixel(cur.height() - 1 - y, x, cur.pixel(x, y));
        cur = out;
    }
    return cur;
}

bool SamePixels(const QImage& a, const QImage& b) {
    return a.convertToFormat(QImage::Format_RGB888) == b.convertToFormat(QImage::Format_RGB888);
}

bool Inside(const TRect& inner, const TRect& outer) {
    return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
           inner.Bottom <= outer.Bottom;
}

bool Near(QRgb a, QRgb b, int tolerance = 10) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QRgb Rgb(TColor c) {
    return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// Dark pixels in a rectangle of a page, and their extent.
struct TInk {
    int Count = 0;
    QRect Box;
};
TInk InkIn(const QImage& page, const TRect& r) {
    TInk ink;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
            if (qGray(page.pixel(x, y)) < 100) {
                ++ink.Count;
                ink.Box |= QRect(x, y, 1, 1);
            }
    return ink;
}

// A host that records what the flow shows and asks.
struct TRecordingHost : TSilentJobHost {
    TPrintRange Offered;
    std::function<void(const TPreviewHooks&)> InPreview;
    bool PrintDialog(TPrintRange& range, bool) override {
        Offered = range;
        return true;
    }
    void PreviewRun(const TPreviewHooks& hooks) override {
        if (InPreview)
            InPreview(hooks);
    }
};

struct BackCardLayout : ::testing::Test {
    TScopedFakePrinter Printer; // A4 portrait at 600 dpi
    std::unique_ptr<TprtJacketPrint> Layout = std::make_unique<TprtJacketPrint>();
};

struct BackCardWindow : ::testing::Test {
    TempHome Home;
    TScopedFakePrinter Printer;
    std::unique_ptr<TprtJacketPrint> Layout;
    std::unique_ptr<TfrmJacketPrint> Window;
    QString Ini;

    void SetUp() override {
        Ini = Home.Path() + "Thumbnail.ini";
        WriteRaw(Ini, "[APP]\nAPPName=Velmora\n");
        IniFile = new TIniFile(Ini);
        SetDialogAnswerer([](TDialogRequest&) { return 0; });
    }
    void TearDown() override {
        SetDialogAnswerer({});
        Window.reset();
        Layout.reset();
        chmod(Ini.toLocal8Bit().constData(), 0644);
        delete IniFile;
        IniFile = nullptr;
    }
    void Open(const QImage& picture) {
        Window.reset();
        Layout = std::make_unique<TprtJacketPrint>();
        Window = std::make_unique<TfrmJacketPrint>(Layout.get());
        Window->SetImage(picture, "/photos");
    }
    QImage LayoutPicture() const { return Layout->JacketImage->Picture().Bitmap().Image(); }
};

} // namespace

TEST_F(BackCardLayout, CardIsCentredInThePrintableWidthOnA4AndLetter) {
    struct TCase {
        const char* Name;
        QSize Paper;
        int ReportWidth;
    };
    const TCase cases[] = {
        {"A4", {4961, 7016}, 794},
        {"Letter", {5100, 6600}, 816},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Printer.Fake.Paper = c.Paper;
        Layout->SetPicture(Quarters());
        ASSERT_EQ(Layout->LightRep()->Width(), c.ReportWidth);
        const TRect left = OnPage(Layout->LJacketBack), centre = OnPage(Layout->CJacketBack);
        const TRect right = OnPage(Layout->RJacketBack), strip = OnPage(Layout->RJacketBack2);
        // Left spine, centre, right spine and strip follow each other without a gap.
        EXPECT_EQ(centre.Left, left.Right);
        EXPECT_EQ(right.Left, centre.Right);
        EXPECT_EQ(strip.Left, right.Right);
        EXPECT_EQ(strip.Top, centre.Top + 2);
        // The spines and centre are in the middle of the paper, within a unit; the card
        // starts at the top of the base panel.
        EXPECT_LE(std::abs(left.Left + right.Right - c.ReportWidth), 1);
        EXPECT_EQ(left.Top, 37);
        // The right strip stays on the paper.
        EXPECT_LT(strip.Right, c.ReportWidth);
    }
}

TEST_F(BackCardLayout, EachLayoutKindPlacesTitlePictureAndWritingLines) {
    struct TCase {
        const char* Name;
        int Item;
        QImage Picture;
        TRect PictureBox, Lines;
        TRect Fitted; // the picture's expected place; empty: only inside the box
    };
    const TCase cases[] = {
        {" Photo top", 0, Quarters(), Rect(26, 57, 496, 303), Rect(34, 321, 488, 404), {}},
        {" Photo bottom", 1, Quarters(), Rect(26, 158, 496, 404), Rect(34, 57, 488, 140), {}},
        // A wide picture in the 216 x 318 box: the box's width, centred vertically.
        {" Photo left", 2, Quarters(200, 100), Rect(34, 60, 250, 378), Rect(280, 40, 488, 375),
         Rect(34, 165, 250, 273)},
        {" Photo right", 3, Quarters(40, 200), Rect(280, 60, 488, 378), Rect(34, 40, 250, 375), {}},
        // Anything past the four items is the photo on the right.
        {"beyond the items", 7, Quarters(), Rect(280, 60, 488, 378), Rect(34, 40, 250, 375), {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Layout->SetPicture(c.Picture);
        Layout->SetLayoutKind(TprtJacketPrint::KindOfItem(c.Item));
        const TRect pic = Layout->JacketImage->BoundsRect();
        EXPECT_TRUE(Inside(pic, c.PictureBox));
        // Fitted: one side fills the box.
        EXPECT_TRUE(pic.Width() == c.PictureBox.Width() || pic.Height() == c.PictureBox.Height());
        if (c.Fitted.Width() > 0) {
            EXPECT_EQ(pic, c.Fitted);
        }
        // Four writing lines, a quarter of the box each (83 div 4 = 20 for top and bottom).
        const int h = c.Lines.Height() / 4;
        int top = c.Lines.Top;
        for (TLRItem* line :
             {Layout->JacketLine1, Layout->JacketLine2, Layout->JacketLine3, Layout->JacketLine4}) {
            EXPECT_EQ(line->BoundsRect(), Bounds(c.Lines.Left, top, c.Lines.Width(), h));
            top += h;
        }
    }
}

TEST_F(BackCardLayout, PageShowsColourPictureAndSpineTitlesReadingAlongTheSpines) {
    const TColor label = 0x40A0F0; // orange
    Layout->SetPicture(Quarters(200, 100));
    Layout->SetLayoutKind(TprtJacketPrint::lkPhotoTop);
    Layout->SetLabelColor(label);
    TLRFont font = TLRFont::Points("IPAPGothic", 18);
    Layout->SetTitle("SUMMER HOLIDAYS", font);
    const QImage page = Layout->RenderBitmap(1);
    page.save(BuildDirPath("backcard_page.png")); // to look at

    const TRect left = OnPage(Layout->LJacketBack), right = OnPage(Layout->RJacketBack);
    const TRect strip = OnPage(Layout->RJacketBack2), bottom = OnPage(Layout->CJacketBack2);
    // The four coloured items take the label colour (sampled off their text).
    EXPECT_TRUE(Near(page.pixel(left.Left + 3, left.Top + 5), Rgb(label)));
    EXPECT_TRUE(Near(page.pixel(right.Right - 3, right.Bottom - 5), Rgb(label)));
    EXPECT_TRUE(Near(page.pixel(strip.Left + 18, strip.Top + 200), Rgb(label)));
    EXPECT_TRUE(Near(page.pixel(bottom.Left + 200, bottom.Top + 13), Rgb(label)));
    // The picture's quarters in the picture box, its top left red and its bottom right yellow.
    const TRect pic = OnPage(Layout->JacketImage);
    EXPECT_TRUE(Near(page.pixel(pic.Left + 10, pic.Top + 10), qRgb(200, 30, 30), 20));
    EXPECT_TRUE(Near(page.pixel(pic.Right - 10, pic.Bottom - 10), qRgb(230, 200, 20), 20));

    // The spine titles are long and narrow: they run along the spines, inside them. Left
    // reads bottom to top (its text starts at the bottom of its box), right top to bottom.
    for (const TRect& spine : {left, right}) {
        const TInk ink =
            InkIn(page, Rect(spine.Left + 1, spine.Top + 1, spine.Right - 1, spine.Bottom - 1));
        ASSERT_GT(ink.Count, 50);
        EXPECT_GT(ink.Box.height(), 4 * ink.Box.width());
        EXPECT_EQ(ink.Box.center().y() > (spine.Top + spine.Bottom) / 2, spine.Left == left.Left);
    }
    // A title longer than the spines is cut at their title boxes: nothing reaches the right
    // strip, the card's top or bottom edge lines stay clear of text.
    Layout->SetTitle(QString("SUMMER HOLIDAYS ").repeated(8), font);
    const QImage longPage = Layout->RenderBitmap(1);
    EXPECT_EQ(
        InkIn(longPage, Rect(strip.Left + 2, strip.Top + 2, strip.Right - 2, strip.Bottom - 2))
            .Count,
        0);
    for (const TRect& spine : {left, right}) {
        const TInk ink =
            InkIn(longPage, Rect(spine.Left + 1, spine.Top + 1, spine.Right - 1, spine.Bottom - 1));
        EXPECT_GT(ink.Box.top(), spine.Top + 10);
        EXPECT_LT(ink.Box.bottom(), spine.Bottom - 10);
    }
    // The spines keep their fixed font whatever the title font is.
    EXPECT_NE(Layout->LJacketTitle->Font().Name, "IPAPGothic");
    EXPECT_NE(Layout->RJacketTitle->Font().Name, "IPAPGothic");
}

TEST_F(BackCardLayout, PrintsOnePageWithoutRangeAndPreviewsOnePageWithoutNavigation) {
    TRecordingHost host;
    Layout->Host = &host;
    Layout->SetPicture(Quarters());
    Printer.Fake.Mode.Orientation = DMORIENT_LANDSCAPE; // left so by another job
    Printer.Fake.Log.clear();
    ASSERT_TRUE(Layout->Print());
    EXPECT_FALSE(host.Offered.PageNums);
    EXPECT_EQ(Printer.Fake.Orientation(), TPrinterOrientationKind::Portrait);
    EXPECT_EQ(Printer.Fake.Sheets.size(), 1u);
    EXPECT_TRUE(Printer.Fake.Log.filter("NewPage").isEmpty());
    EXPECT_EQ(Printer.Fake.Log.filter("EndDoc").size(), 1);

    bool navigation = true;
    host.InPreview = [&](const TPreviewHooks& h) {
        navigation = h.First || h.Previous || h.Next || h.Last;
        ASSERT_TRUE(h.Print);
        h.Print();
    };
    Layout->ShowPreview();
    EXPECT_FALSE(navigation);
    EXPECT_EQ(host.LastNumber, 1);
    EXPECT_EQ(host.LastCount, 1);
    EXPECT_EQ(host.LastPage.size(), QSize(794 * 2, 1123 * 2)); // zoom 2500 div 1123 = 2
    EXPECT_EQ(Printer.Fake.Sheets.size(), 1u); // the preview's Print: one more document
}

TEST_F(BackCardWindow, StoredTurnsOpenThePictureTurnedAndSaveStoresTheCount) {
    struct TCase {
        const char* Stored;
        int Count; // quarter turns clockwise
    };
    const TCase cases[] = {
        {nullptr, 0}, {"0", 0}, {"1", 1}, {"2", 2}, {"5", 1}, {"-1", 3}, {"abc", 0},
    };
    const QImage picture = Quarters();
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Stored ? c.Stored : "none");
        IniFile->EraseSection("PrintJacket");
        if (c.Stored)
            IniFile->WriteString("PrintJacket", "RotateCount", c.Stored);
        Open(picture);
        EXPECT_EQ(Window->RotateCount, c.Count);
        EXPECT_TRUE(SamePixels(Window->SourcePicture, TurnedClockwise(picture, c.Count)));
        EXPECT_TRUE(SamePixels(LayoutPicture(), TurnedClockwise(picture, c.Count)));
        EXPECT_EQ(Printer.Fake.Orientation(), TPrinterOrientationKind::Portrait);
        Window->BtnSaveSettingClick();
        EXPECT_EQ(IniFile->ReadString("PrintJacket", "RotateCount", ""), QString::number(c.Count));
    }
    // The count is stored after the font's character set.
    IniFile->EraseSection("PrintJacket");
    Window->BtnSaveSettingClick();
    EXPECT_EQ(IniFile->ReadSection("PrintJacket").mid(10),
              QStringList({"FontChar", "RotateCount"}));
}

TEST_F(BackCardWindow, FourTurnsGiveBackThePictureAndResetUndoesTurns) {
    const QImage picture = Quarters();
    Open(picture);
    for (int press = 1; press <= 4; ++press) {
        Window->BtnTrimming->click();
        EXPECT_EQ(Window->RotateCount, press % 4);
        EXPECT_TRUE(SamePixels(LayoutPicture(), TurnedClockwise(picture, press)));
        // A picture on its side is taller than wide in the miniature's layout as well.
        const TRect pic = Layout->JacketImage->BoundsRect();
        EXPECT_EQ(pic.Height() > pic.Width(), press % 2 == 1);
    }
    EXPECT_TRUE(SamePixels(Window->SourcePicture, picture));

    // Reset after two turns, with a writable and with a read-only settings file.
    for (bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "read-only" : "writable");
        chmod(Ini.toLocal8Bit().constData(), 0644);
        IniFile->WriteString("PrintJacket", "Title", "Old");
        Open(picture);
        if (readOnly)
            chmod(Ini.toLocal8Bit().constData(), 0444);
        const QByteArray before = ReadAll(Ini);
        Window->BtnTrimming->click();
        Window->BtnTrimming->click();
        ASSERT_EQ(Window->RotateCount, 2);
        Window->BtnResetClick();
        EXPECT_EQ(Window->RotateCount, 0);
        EXPECT_TRUE(SamePixels(Window->SourcePicture, picture));
        EXPECT_TRUE(SamePixels(LayoutPicture(), picture));
        EXPECT_EQ(Window->EdTitle->toPlainText(), "");
        EXPECT_EQ(IniFile->SectionExists("PrintJacket"), readOnly);
        if (readOnly) {
            EXPECT_EQ(ReadAll(Ini), before);
        }
    }
}

TEST_F(BackCardWindow, LayoutBoxChoosesTheKindAndAStoredLayoutBeyondItIsPhotoRight) {
    struct TCase {
        const char* Stored;
        int Item, Kind;
    };
    const TCase cases[] = {
        {nullptr, 0, TprtJacketPrint::lkPhotoTop}, {"1", 1, TprtJacketPrint::lkPhotoBottom},
        {"2", 2, TprtJacketPrint::lkPhotoLeft},    {"3", 3, TprtJacketPrint::lkPhotoRight},
        {"9", 3, TprtJacketPrint::lkPhotoRight},   {"-2", 3, TprtJacketPrint::lkPhotoRight},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Stored ? c.Stored : "none");
        IniFile->EraseSection("PrintJacket");
        if (c.Stored)
            IniFile->WriteString("PrintJacket", "Layout", c.Stored);
        Open(Quarters());
        EXPECT_EQ(Window->CbLayout->currentIndex(), c.Item);
        EXPECT_EQ(Layout->LayoutKind(), c.Kind);
    }
}
