// The print settings store and the settings windows' behaviour, on the index card's window.
#include "platform/PDialogSeam.h"
#include "printjobs/i_PrintThumbnail.h"
#include "printjobs/p_ThumbnailPrint.h"
#include "report/support_FakePrinter.h"
#include "support_Print.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct SettingsTest : ::testing::Test {
    TSettingsHome Settings;
    TScopedFakePrinter printer;
    std::unique_ptr<TprtThumbnailPrint> layout;
    std::unique_ptr<TfrmPrintThumbnail> window;
    QStringList messages;

    void SetUp() override {
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
};

} // namespace

// A file without the section gives the defaults; what is saved comes back in a new window, a
// read-only file is never written and nothing is reported; Reset erases the section; malformed
// values fall back.
TEST_F(SettingsTest, SavedSettingsComeBackAndAReadOnlyFileIsNeverWritten) {
    EXPECT_EQ(layout->GridSize(), 6);
    EXPECT_FALSE(IniFile->SectionExists("PrintThumbnail"));
    window->CbLayout->setCurrentIndex(2);
    window->SetLabelColor(0x123456);
    window->EdTitle->setPlainText("Summer 2026");
    window->TitleFont.Size = 24;
    window->TitleFont.Color = 0x0000FF;
    window->CbFNCheck->setChecked(false);
    window->CbFNSize->setEditText(" 6");
    window->BtnSaveSettingClick();
    EXPECT_TRUE(QString::fromUtf8(ReadAll(Settings.Ini)).contains("FileFontSize= 6\n"));
    Open();
    EXPECT_EQ(layout->GridSize(), 3);
    EXPECT_EQ(window->LabelColor(), 0x123456u);
    EXPECT_EQ(window->TitleFont.Color, 0x0000FFu);
    EXPECT_FALSE(window->CbFNCheck->isChecked());
    EXPECT_EQ(window->CbFNSize->currentText(), " 6"); // one blank, not two
    EXPECT_EQ(layout->RTitle->Text, "Summer 2026");
    EXPECT_EQ(layout->RTitle->Font().Size(), 24);

    chmod(Settings.Ini.toLocal8Bit().constData(), 0444);
    const QByteArray before = ReadAll(Settings.Ini);
    window->EdTitle->setPlainText("changed");
    window->BtnSaveSettingClick();
    window->BtnResetClick();
    EXPECT_EQ(ReadAll(Settings.Ini), before);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(window->CbLayout->currentIndex(), 5); // the defaults shown
    EXPECT_EQ(window->TitleFont.Color, 0x0000FFu);  // except the title colour
    chmod(Settings.Ini.toLocal8Bit().constData(), 0644);
    window->BtnResetClick();
    EXPECT_FALSE(IniFile->SectionExists("PrintThumbnail"));
    WriteRaw(Settings.Ini, "[PrintThumbnail]\nFontSize=x\nFNShow=yes\nFileFontSize=  9  \n");
    const TPrintSettings s =
        ReadPrintSettings(TIniFile(Settings.Ini), IndexCardSection(), "F", 128);
    EXPECT_EQ(s.Font.Size, 18);
    EXPECT_TRUE(s.FNShow);
    EXPECT_EQ(s.FileFontSize, "9");
}

TEST_F(SettingsTest, SizeBoxRefusesTextsOutsideThreeToTwentyEight) {
    const struct {
        const char* Text;
        int Applied; // 6: refused, back to the size in use
    } cases[] = {{"2", 6}, {"29", 6}, {"abc", 6}, {"", 6}, {"3", 3}, {"28", 28}, {" 12", 12}};
    for (bool enter : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.Text) + (enter ? " Enter" : " leaving"));
            window->CbFNSize->setEditText(" 6");
            window->CbFNSizeExit();
            messages.clear();
            window->CbFNSize->setEditText(c.Text);
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            enter ? void(QApplication::sendEvent(window->CbFNSize->lineEdit(), &press))
                  : window->CbFNSizeExit();
            const bool refused = c.Applied == 6;
            EXPECT_EQ(layout->LComment->Font().Size(), c.Applied);
            EXPECT_EQ(layout->RThumbnailPath->Font().Size(), c.Applied);
            EXPECT_EQ(window->CbFNSize->currentText(), refused ? " 6" : c.Text);
            EXPECT_EQ(messages, enter && refused ? QStringList({"Input value is out of range. "
                                                                "(Valid range is 3 to 28)."})
                                                 : QStringList());
        }
    }
}
