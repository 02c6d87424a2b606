// The print settings store and the settings windows' shared behaviour, on the index card's
// window (headless; dialogs answered through the seam).
#include "platform/PDialogSeam.h"
#include "printjobs/i_PrintThumbnail.h"
#include "printjobs/p_ThumbnailPrint.h"
#include "report/support_FakePrinter.h"
#include "support_Print.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct SettingsTest : ::testing::Test {
    TSettingsHome Settings;
    const QString& ini = Settings.Ini;
    TScopedFakePrinter printer;
    std::unique_ptr<TprtThumbnailPrint> layout;
    std::unique_ptr<TfrmPrintThumbnail> window;
    QStringList messages;

    void SetUp() override {
        printer.Fake.Mode.Orientation = DMORIENT_LANDSCAPE;
        printer.Fake.Paper = {7016, 4961};
        SetDialogAnswerer([this](TDialogRequest& r) {
            messages << r.Text;
            return 0;
        });
        Open();
    }
    void Open() {
        window.reset();
        layout = std::make_unique<TprtThumbnailPrint>();
        window = std::make_unique<TfrmPrintThumbnail>(layout.get());
    }
    QString SizeText() const { return window->CbFNSize->currentText(); }
};

} // namespace

TEST_F(SettingsTest, SaveWritesEveryKeyInOrderAndLoadsItBack) {
    // A file without the section: the defaults reach the layout, and nothing is written.
    EXPECT_EQ(layout->GridSize(), 6);
    EXPECT_EQ(layout->LComment->Font().Size(), 6);
    EXPECT_FALSE(IniFile->SectionExists("PrintThumbnail"));
    window->CbLayout->setCurrentIndex(2);
    window->SetLabelColor(0x123456);
    window->EdTitle->setPlainText("Summer 2026");
    window->TitleFont.Bold = true;
    window->TitleFont.Size = 24;
    window->TitleFont.Color = 0x0000FF;
    window->CbFNCheck->setChecked(false);
    window->CbFNSize->setEditText(" 6");
    window->BtnSaveSettingClick();
    EXPECT_EQ(IniFile->ReadSection("PrintThumbnail"),
              QStringList({"Layout", "BackColor", "Title", "FontColor", "FontName", "FontSize",
                           "FontStyleB", "FontStyleI", "FontStyleU", "FontStyleS", "FontChar",
                           "FileFontSize", "FNShow"}));
    EXPECT_TRUE(QString::fromUtf8(ReadAll(ini)).contains("FileFontSize= 6\n"));

    Open(); // a new window reads the file
    EXPECT_EQ(layout->GridSize(), 3);
    EXPECT_EQ(window->LabelColor(), 0x123456u);
    EXPECT_TRUE(window->TitleFont.Bold);
    EXPECT_EQ(window->TitleFont.Color, 0x0000FFu);
    EXPECT_FALSE(window->CbFNCheck->isChecked());
    EXPECT_EQ(SizeText(), " 6"); // one blank, not two
    EXPECT_EQ(layout->RTitle->Text, "Summer 2026");
    EXPECT_EQ(layout->RTitle->Font().Size(), 24);

    // Reset erases the section and shows the defaults again.
    window->BtnResetClick();
    EXPECT_FALSE(IniFile->SectionExists("PrintThumbnail"));
    EXPECT_EQ(window->CbLayout->currentIndex(), 5);
}

TEST_F(SettingsTest, AReadOnlyFileIsNeverWritten) {
    IniFile->WriteString("PrintThumbnail", "Title", "kept");
    IniFile->WriteInteger("PrintThumbnail", "FontColor", 255);
    Open();
    ASSERT_EQ(window->EdTitle->toPlainText(), "kept");
    chmod(ini.toLocal8Bit().constData(), 0444);
    const QByteArray before = ReadAll(ini);
    window->EdTitle->setPlainText("changed");
    window->CbLayout->setCurrentIndex(0);
    window->BtnSaveSettingClick();
    EXPECT_EQ(ReadAll(ini), before);
    window->BtnResetClick();
    EXPECT_EQ(ReadAll(ini), before);
    // The controls show the defaults, except the title font colour.
    EXPECT_EQ(window->EdTitle->toPlainText(), "");
    EXPECT_EQ(window->CbLayout->currentIndex(), 5);
    EXPECT_EQ(window->TitleFont.Color, 255u);
    EXPECT_TRUE(messages.isEmpty()); // and nothing is reported
}

TEST_F(SettingsTest, SizeBoxRefusesTextsOutsideThreeToTwentyEight) {
    const struct {
        const char* Text;
        bool Accepted;
        int Applied;
    } cases[] = {{"2", false, 6}, {"29", false, 6}, {"abc", false, 6}, {"", false, 6},
                 {"3", true, 3},  {"28", true, 28}, {" 12", true, 12}};
    for (bool enter : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.Text) + (enter ? " Enter" : " leaving"));
            window->CbFNSize->setEditText(" 6");
            window->CbFNSizeExit();
            messages.clear();
            window->CbFNSize->setEditText(c.Text);
            if (enter) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                QApplication::sendEvent(window->CbFNSize->lineEdit(), &press);
            } else {
                window->CbFNSizeExit();
            }
            EXPECT_EQ(layout->LComment->Font().Size(), c.Applied);
            EXPECT_EQ(layout->RThumbnailPath->Font().Size(), c.Applied);
            EXPECT_EQ(SizeText(), c.Accepted ? c.Text : " 6"); // or back to the size in use
            EXPECT_EQ(messages,
                      enter && !c.Accepted
                          ? QStringList({"Input value is out of range. (Valid range is 3 to 28)."})
                          : QStringList());
        }
    }
}

TEST_F(SettingsTest, ColourAndFontDialogsGoThroughTheSeam) {
    bool accept = true;
    SetDialogAnswerer([&](TDialogRequest& r) {
        if (auto* c = qobject_cast<QColorDialog*>(r.Dialog))
            c->setCurrentColor(QColor(0x10, 0x20, 0x30));
        if (auto* f = qobject_cast<QFontDialog*>(r.Dialog))
            f->setCurrentFont(QFont("DejaVu Serif", 22));
        return int(accept ? QDialog::Accepted : QDialog::Rejected);
    });
    for (bool ok : {true, false}) { // Cancel changes nothing
        accept = ok;
        window->BtnSelectColorClick();
        window->BtnFontClick();
        EXPECT_EQ(layout->LThumbnailBackColor->Color(), 0x302010u); // 0x00BBGGRR
        EXPECT_EQ(layout->LTitle->Font().Size(), 22);
        EXPECT_EQ(window->TitleFont.Charset, 128); // kept: Qt fonts carry none
    }
}

TEST(PrintSettingsStore, MalformedAndOutOfRangeValuesFallBack) {
    TempHome home;
    const QString ini = home.Path() + "Thumbnail.ini";
    WriteRaw(ini, "[PrintThumbnail]\nFontSize=x\nFNShow=yes\n"
                  "FileFontSize=  9  \n[PrintJacket]\nRotateCount=3\n");
    TIniFile file(ini);
    const TPrintSettings s = ReadPrintSettings(file, IndexCardSection(), "F", 128);
    EXPECT_EQ(s.Font.Size, 18);
    EXPECT_TRUE(s.FNShow);
    EXPECT_EQ(s.FileFontSize, "9");
    const TPrintSettings jacket = ReadPrintSettings(file, BackCardSection(), "F", 128);
    EXPECT_EQ(jacket.RotateCount, 3);
    // Each job writes only its own keys.
    TIniFile out(home.Path() + "out.ini");
    WritePrintSettings(out, BackCardSection(), jacket);
    EXPECT_FALSE(out.ValueExists("PrintJacket", "FileFontSize"));
    EXPECT_TRUE(out.ValueExists("PrintJacket", "RotateCount"));
}
