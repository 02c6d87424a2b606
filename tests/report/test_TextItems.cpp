// Text items: pixel geometry of fill and frame lines, text placement, turned text,
// line splitting and display masks.
#include "report/LRMask.h"
#include "report/LightRep.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {
const QString Face = QStringLiteral("IPAPGothic");

bool Dark(QRgb c) {
    return qGray(c) < 128;
}

// The smallest rectangle holding every dark pixel (exclusive right and bottom).
TRect Ink(const QImage& image) {
    TRect r{image.width(), image.height(), -1, -1};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Dark(image.pixel(x, y))) {
                r.Left = std::min(r.Left, x);
                r.Top = std::min(r.Top, y);
                r.Right = std::max(r.Right, x + 1);
                r.Bottom = std::max(r.Bottom, y + 1);
            }
    return r;
}

// Rows with ink, grouped into bands separated by empty rows.
int InkBands(const QImage& image) {
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y < image.height(); ++y) {
        bool any = false;
        for (int x = 0; x < image.width() && !any; ++x)
            any = Dark(image.pixel(x, y));
        if (any && !inBand)
            ++bands;
        inBand = any;
    }
    return bands;
}

struct TSheet {
    QImage Image;
    QPainter Painter;
    TLRCanvas Canvas;
    TSheet(int w, int h) : Image(w, h, QImage::Format_RGB32), Canvas(nullptr, 96) {
        Image.fill(Qt::white);
        Painter.begin(&Image);
        Canvas.SetPainter(&Painter);
    }
    QImage Done() {
        Painter.end();
        return Image;
    }
};
} // namespace

TEST(TextItems, OpaqueItemWithSingleLinesIsPixelExactAtScaleOne) {
    TLRItem item(nullptr);
    item.Transparent = false;
    item.SetColor(0x00FF00); // green
    item.SetLines(lsSingle, lsSingle, lsSingle, lsSingle);
    TSheet sheet(60, 50);
    item.Print(sheet.Canvas, Rect(10, 10, 40, 30), stPrint, 1.0);
    const QImage img = sheet.Done();
    // Fill from one unit left of and above the rectangle; frame lines one unit outside at
    // the top and left, on the last column and row at the right and bottom; the lines
    // leave out their end points.
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            QRgb want = qRgb(255, 255, 255);
            if (x >= 9 && x < 39 && y >= 9 && y < 29)
                want = qRgb(0, 255, 0);
            const bool top = y == 9 && x >= 9 && x < 39;
            const bool left = x == 9 && y >= 9 && y < 29;
            const bool right = x == 39 && y >= 9 && y < 29;
            const bool bottom = y == 29 && x >= 9 && x < 39;
            if (top || left || right || bottom)
                want = qRgb(0, 0, 0);
            ASSERT_EQ(img.pixel(x, y) & 0xFFFFFF, want & 0xFFFFFF) << "at " << x << "," << y;
        }
}

TEST(TextItems, PenWidthsFollowTheScale) {
    // At s = 2: single 2, half 1, double 4 pixels.
    TLRItem item(nullptr);
    item.SetLines(lsDouble, lsSingle, lsHalf, lsNone);
    TSheet sheet(120, 80);
    item.Print(sheet.Canvas, Rect(10, 10, 40, 30), stPrint, 2.0);
    const QImage img = sheet.Done();
    // P = (20, 20, 78, 58), o = 2: top line centred on y = 18.
    auto column = [&](int x, int y0, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            n += Dark(img.pixel(x, y));
        return n;
    };
    auto row = [&](int y, int x0, int x1) {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            n += Dark(img.pixel(x, y));
        return n;
    };
    EXPECT_EQ(column(50, 0, 40), 4);  // top, double
    EXPECT_EQ(row(40, 0, 40), 2);     // left, single
    EXPECT_EQ(row(40, 60, 120), 1);   // right, half
    EXPECT_EQ(column(50, 40, 80), 0); // no bottom line
}

TEST(TextItems, TextSitsInsideTheMarginsAndFrameOnlyDrawsNoText) {
    TLRItem item(nullptr);
    item.SetFont(TLRFont::Pixels(Face, 16));
    item.Text = "Hello";
    TRect rect = Rect(0, 0, 200, 40);
    struct TCase {
        TAlignment A;
        TTextLayout L;
    };
    for (TCase c : {TCase{taLeftJustify, tlTop}, TCase{taRightJustify, tlBottom},
                    TCase{taCenter, tlCenter}}) {
        item.Alignment = c.A;
        item.Layout = c.L;
        TSheet sheet(220, 60);
        item.Print(sheet.Canvas, rect, stPrint, 1.0);
        const TRect ink = Ink(sheet.Done());
        ASSERT_GT(ink.Right, ink.Left);
        // P = (0, 0, 199, 39); margins 2.
        if (c.A == taLeftJustify) {
            EXPECT_GE(ink.Left, 2);
            EXPECT_LE(ink.Left, 5);
        } else if (c.A == taRightJustify) {
            EXPECT_LE(ink.Right, 197);
            EXPECT_GE(ink.Right, 193);
        } else {
            EXPECT_NEAR((ink.Left + ink.Right) / 2.0, 199 / 2.0, 2.5);
        }
        if (c.L == tlTop) {
            EXPECT_GE(ink.Top, 2);
            EXPECT_LE(ink.Top, 8);
        } else if (c.L == tlBottom) {
            EXPECT_LE(ink.Bottom, 37);
            EXPECT_GE(ink.Bottom, 30);
        } else {
            EXPECT_NEAR((ink.Top + ink.Bottom) / 2.0, 39 / 2.0, 4);
        }
    }
    TSheet frameOnly(220, 60);
    item.SetLines(lsSingle, lsNone, lsNone, lsNone);
    item.Print(frameOnly.Canvas, Rect(5, 5, 205, 45), stFrameOnly, 1.0);
    const QImage img = frameOnly.Done();
    EXPECT_EQ(Ink(img), Rect(4, 4, 204, 5)); // only the top line
}

TEST(TextItems, TurnedItemLimitsWrappedLinesAndEndsAtTheBottom) {
    TLRItem2 item(nullptr);
    item.SetFont(TLRFont::Pixels(Face, 12));
    item.WordWrap = true;
    item.Text = "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const TRect rect = Rect(0, 0, 100, 100);

    TSheet measure(10, 10);
    measure.Canvas.AssignFont(item.Font());
    TLRFont turned = measure.Canvas.Font();
    turned.Height = -turned.Height;
    measure.Canvas.Font() = turned;
    const int th = measure.Canvas.TextHeight("|");
    const QStringList lines =
        SplitLines(item.Text, 97, measure.Canvas.Metrics()); // extent: P width less margin
    measure.Done();
    ASSERT_GE(lines.size(), 3) << "the text must be three lines long";

    TSheet top(120, 120);
    item.Print(top.Canvas, rect, stPrint, 1.0);
    const QImage topImage = top.Done();
    EXPECT_EQ(InkBands(topImage), 2);
    EXPECT_GE(Ink(topImage).Top, 2);
    EXPECT_LE(Ink(topImage).Bottom, 2 + 2 * th);

    item.Layout = tlBottom;
    TSheet bottom(120, 120);
    item.Print(bottom.Canvas, rect, stPrint, 1.0);
    const QImage bottomImage = bottom.Done();
    EXPECT_EQ(InkBands(bottomImage), 2);
    // The second line ends at the text rectangle's bottom (P.Bottom = 99).
    EXPECT_LE(Ink(bottomImage).Bottom, 99);
    EXPECT_GE(Ink(bottomImage).Bottom, 99 - th / 2);
    EXPECT_GE(Ink(bottomImage).Top, 99 - 2 * th);

    item.WordWrapNum = 0; // frame-only items of the layouts
    TSheet none(120, 120);
    item.Print(none.Canvas, rect, stPrint, 1.0);
    EXPECT_EQ(InkBands(none.Done()), 0);
}

TEST(TextItems, TurnedTextRunsAlongTheEdgeItStartsFrom) {
    TLRItem2 item(nullptr);
    item.SetFont(TLRFont::Pixels(Face, 14));
    item.Text = "Title";
    item.SetHMargin(0);
    item.SetVMargin(0);
    const TRect rect = Rect(10, 10, 41, 211); // P = (10, 10, 40, 210)
    auto draw = [&](TEscapementStatus e) {
        item.Escapement = e;
        TSheet sheet(60, 240);
        item.Print(sheet.Canvas, rect, stPrint, 1.0);
        return Ink(sheet.Done());
    };
    const TRect left = draw(esLeft);
    // Reads upwards from the bottom-left corner of T.
    EXPECT_GE(left.Left, 10);
    EXPECT_LE(left.Right, 10 + 16);
    EXPECT_LE(left.Bottom, 210);
    EXPECT_GE(left.Bottom, 200);
    EXPECT_GT(left.Height(), left.Width());
    const TRect right = draw(esRight);
    // Reads downwards from the top-right corner.
    EXPECT_LE(right.Right, 40);
    EXPECT_GE(right.Left, 40 - 16);
    EXPECT_GE(right.Top, 10);
    EXPECT_LE(right.Top, 20);
    EXPECT_GT(right.Height(), right.Width());

    item.Escapement = esTurn;
    TSheet wide(240, 60);
    item.Print(wide.Canvas, Rect(10, 10, 211, 41), stPrint, 1.0);
    const TRect turn = Ink(wide.Done());
    // Upside down, ending at the bottom-right corner of T (210, 40).
    EXPECT_LE(turn.Right, 210);
    EXPECT_GE(turn.Right, 200);
    EXPECT_LE(turn.Bottom, 40);
    EXPECT_GE(turn.Top, 40 - 16);
}

TEST(TextItems, SplitLinesKeepsWholeCharactersAndNeverTestsTheLast) {
    auto tens = [](const QString& s) { return int(s.toUcs4().size()) * 10; };
    EXPECT_EQ(SplitLines("ABCDEFG", 40, tens), QStringList({"ABCD", "EFG"}));
    EXPECT_EQ(SplitLines("ABCDE", 40, tens), QStringList({"ABCDE"}));
    EXPECT_EQ(SplitLines("", 40, tens), QStringList({""}));
    EXPECT_EQ(SplitLines("日本語のテキスト", 30, tens), QStringList({"日本語", "のテキ", "スト"}));
    // Characters outside the basic plane are never cut in half.
    const QString clefs = QString::fromUtf8("𝄞𝄞𝄞𝄞𝄞");
    const QStringList parts = SplitLines(clefs, 20, tens);
    EXPECT_EQ(parts, QStringList({QString::fromUtf8("𝄞𝄞"), QString::fromUtf8("𝄞𝄞𝄞")}));
    auto units = [](const QString& s) { return int(s.size()) * 10; }; // measures halves
    for (const QString& part : SplitLines(clefs, 30, units))
        EXPECT_EQ(part.size() % 2, 0) << "a surrogate pair was cut";
    // A character wider than the extent gives an empty first line, as the rule says.
    EXPECT_EQ(SplitLines("WW", 5, tens), QStringList({"", "WW"}));

    // Measured with a real font, the lines fit the extent (the last may not).
    QFont f(Face);
    f.setPixelSize(20);
    const QFontMetrics m(f);
    const int e = m.horizontalAdvance("ABCD");
    const QStringList real = SplitLines("ABCDEFGHIJ", e, m);
    ASSERT_GE(real.size(), 2);
    for (int i = 0; i + 1 < real.size(); ++i)
        EXPECT_LE(m.horizontalAdvance(real[i]), e);
    EXPECT_EQ(real.join(""), "ABCDEFGHIJ");
}

TEST(TextItems, DisplayMaskFormatsNumbersAndTexts) {
    struct {
        const char* Mask;
        double Value;
        const char* Text;
    } const numbers[] = {
        {"#,##0.00", 1234.5, "1,234.50"},
        {"#,##0", 1234567, "1,234,567"},
        {"000", 7, "007"},
        {"0.##", 1.5, "1.5"},
        {"0.##", 1, "1"},
        {"#", 0, ""},
        {"0.0;(0.0);zero", -2.26, "(2.3)"},
        {"0.0;(0.0);zero", 0, "zero"},
        {"0.0", -3.14, "-3.1"},
        {"\"No. \"000", 42, "No. 042"},
    };
    for (const auto& c : numbers)
        EXPECT_EQ(FormatFloat(c.Mask, c.Value), c.Text) << c.Mask << " " << c.Value;
    for (auto [mask, text, shown] : {std::array{"!>LL-0000;0;_", "ab1234", "AB-1234"},
                                     {"000-0000;1;_", "123-4567", "123-4567"},
                                     {"(999);0;_", "12", "(12 )"}})
        EXPECT_EQ(FormatMaskText(mask, text), shown) << mask;

    TLRItem item(nullptr);
    item.Text = "1234.5";
    EXPECT_EQ(item.GetDisplayText(), "1234.5");
    item.DisplayMask = "#,##0.00";
    EXPECT_EQ(item.GetDisplayText(), "1,234.50");
    item.Text = "abc";
    item.DisplayMask = ">LLL";
    EXPECT_EQ(item.GetDisplayText(), "ABC");
    // A number-like text that is not a number: the error reaches the drawing's caller.
    item.Text = "1.2.3";
    item.DisplayMask = "0.0";
    TLRCanvas canvas(nullptr, 96);
    EXPECT_THROW(item.Print(canvas, Rect(0, 0, 50, 20), stPrint, 1.0), Exception);
    // Margins outside -255..255 are ignored.
    item.SetHMargin(300);
    item.SetVMargin(-256);
    EXPECT_EQ(item.HMargin(), 2);
    EXPECT_EQ(item.VMargin(), 2);
    item.SetHMargin(-255);
    EXPECT_EQ(item.HMargin(), -255);
}
