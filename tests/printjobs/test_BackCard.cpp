// The back card: its layout and its settings window's quarter turns.
#include "printjobs/i_JacketPrint.h"
#include "printjobs/p_JacketPrint.h"
#include "report/support_FakePrinter.h"
#include "support/OrientedPictures.h"
#include "support_Print.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

bool SameAsTurned(const QImage& seen, const QImage& picture, int turns) {
    return seen.convertToFormat(QImage::Format_RGB888) ==
           picture.transformed(QTransform().rotate(90 * turns))
               .convertToFormat(QImage::Format_RGB888);
}

struct BackCard : ::testing::Test {
    TSettingsHome Settings;
    TScopedFakePrinter Printer;
    std::unique_ptr<TprtJacketPrint> Layout = std::make_unique<TprtJacketPrint>();
    std::unique_ptr<TfrmJacketPrint> Window;
    const QImage Picture = oriented::Upright().scaled(60, 40); // every turn shows

    void Open() {
        Window.reset();
        Layout = std::make_unique<TprtJacketPrint>();
        Window = std::make_unique<TfrmJacketPrint>(Layout.get());
        Window->SetImage(Picture, "/photos");
    }
    QImage LayoutPicture() const { return Layout->JacketImage->Picture().Bitmap().Image(); }
};

} // namespace

TEST_F(BackCard, EachKindPlacesPictureAndLines) {
    const struct {
        const char* Name;
        int Item;
        QSize Picture;
        TRect PictureBox, Lines;
        TRect Fitted; // the picture's place; empty: anywhere inside the box
    } cases[] = {
        {" Photo top", 0, {60, 40}, Rect(26, 57, 496, 303), Rect(34, 321, 488, 404), {}},
        {" Photo bottom", 1, {60, 40}, Rect(26, 158, 496, 404), Rect(34, 57, 488, 140), {}},
        {" Photo left",
         2,
         {200, 100},
         Rect(34, 60, 250, 378),
         Rect(280, 40, 488, 375),
         Rect(34, 165, 250, 273)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Layout->SetPicture(oriented::Upright().scaled(c.Picture));
        Layout->SetLayoutKind(TprtJacketPrint::KindOfItem(c.Item));
        const TRect pic = Layout->JacketImage->BoundsRect();
        const TRect& box = c.PictureBox;
        EXPECT_TRUE(pic.Left >= box.Left && pic.Top >= box.Top && pic.Right <= box.Right &&
                    pic.Bottom <= box.Bottom && (!c.Fitted.Width() || pic == c.Fitted));
        EXPECT_TRUE(pic.Width() == box.Width() || pic.Height() == box.Height());
        const int h = c.Lines.Height() / 4; // four writing lines
        const TLRItem* lines[] = {Layout->JacketLine1, Layout->JacketLine2, Layout->JacketLine3,
                                  Layout->JacketLine4};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(lines[i]->BoundsRect(),
                      Bounds(c.Lines.Left, c.Lines.Top + i * h, c.Lines.Width(), h));
    }
}

TEST_F(BackCard, StoredTurnsOpenAsStoredPressesTurnAndResetUndoesThem) {
    const struct {
        const char *Turns, *Layout;
        int Count, Item, Kind;
    } cases[] = {
        {"5", "9", 1, 3, TprtJacketPrint::lkPhotoRight},
        {"-1", "-2", 3, 3, TprtJacketPrint::lkPhotoRight},
        {"abc", "1", 0, 1, TprtJacketPrint::lkPhotoBottom},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Turns);
        IniFile->WriteString("PrintJacket", "RotateCount", c.Turns);
        IniFile->WriteString("PrintJacket", "Layout", c.Layout);
        Open();
        EXPECT_EQ(Window->RotateCount, c.Count);
        EXPECT_TRUE(SameAsTurned(LayoutPicture(), Picture, c.Count));
        EXPECT_EQ(Window->CbLayout->currentIndex(), c.Item);
        EXPECT_EQ(Layout->LayoutKind(), c.Kind);
        Window->BtnSaveSettingClick();
        EXPECT_EQ(IniFile->ReadString("PrintJacket", "RotateCount", ""), QString::number(c.Count));
    }
    // Four presses give back the picture; Reset after two more gives it as it came.
    IniFile->WriteString("PrintJacket", "Title", "Old");
    Open();
    for (int press = 1; press <= 6; ++press) {
        Window->BtnTrimming->click();
        EXPECT_EQ(Window->RotateCount, press % 4);
        EXPECT_TRUE(SameAsTurned(LayoutPicture(), Picture, press % 4)) << press;
        const TRect pic = Layout->JacketImage->BoundsRect();
        EXPECT_EQ(pic.Height() > pic.Width(), press % 2 == 1);
    }
    Window->BtnResetClick();
    EXPECT_EQ(Window->RotateCount, 0);
    EXPECT_TRUE(SameAsTurned(LayoutPicture(), Picture, 0));
    EXPECT_EQ(Window->EdTitle->toPlainText(), "");
    EXPECT_FALSE(IniFile->SectionExists("PrintJacket"));
}
