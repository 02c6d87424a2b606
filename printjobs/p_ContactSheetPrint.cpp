#include "p_ContactSheetPrint.h"

#include "report/LRBuilder.h"

TprtContactSheetPrint* prtContactSheetPrint = nullptr;

const int TprtContactSheetPrint::GridSizes[GridSizeCount][2] = {
    {1, 2}, {2, 2}, {2, 3}, {2, 4},  {3, 3}, {3, 4},  {3, 5},  {4, 4},  {4, 5},
    {4, 6}, {5, 5}, {5, 6}, {5, 7},  {6, 6}, {6, 7},  {6, 8},  {7, 7},  {7, 8},
    {7, 9}, {8, 8}, {8, 9}, {8, 10}, {9, 9}, {9, 10}, {9, 11}, {10, 10}};

namespace {
constexpr int DefaultGridItem = 11; // 5 x 6
const QString CommentFont = QStringLiteral("ＭＳ Ｐゴシック");
} // namespace

TprtContactSheetPrint::TprtContactSheetPrint()
    : TprtPrintBase(QStringLiteral("Contact sheet printing"), 794, 1123, poPortrait) {
    JobOrientation = poPortrait;
    RefreshAfterChange = true;
    TLightRep* rep = LightRep();
    TLRBuilder b(rep);
    BasePanel = b.Layout("BasePanel", rep, laClient);
    // The label colour goes first, so the path strip's text is drawn over it.
    ContactSheetBackColor = b.Item("ContactSheetBackColor", BasePanel, [](TLRItem& i) {
        Opaque(i, 0xFF9999);
        Lines(i, clBlack, lsNone, lsNone, lsNone, lsNone);
    });
    ContactSheetTitlePanel = b.Layout("ContactSheetTitlePanel", BasePanel, laTop);
    ContactSheetPanel = b.Grid(
        "ContactSheetPanel", BasePanel, laTop, pdHorz,
        [this](TLRGridPanel* g, int c, int r, const TRect& rect, TPrintStatus& s) {
            ContactSheetPanelPrintPanel(g, c, r, rect, s);
        },
        [](TLRGridPanel& g) { g.SetTop(200); });
    PathPanel = b.Layout("PathPanel", BasePanel, laClient);

    ContactSheetTitleBack =
        b.Item2("ContactSheetTitleBack", ContactSheetTitlePanel, [](TLRItem2& i) {
            i.Transparent = true;
            Lines(i, clBlack, lsNone, lsNone, lsNone, lsSingle);
        });
    ContactSheetTitle = b.Item2("ContactSheetTitle", ContactSheetTitlePanel, [](TLRItem2& i) {
        i.Alignment = taCenter;
        i.Layout = tlBottom;
        i.WordWrap = true;
        i.Transparent = true;
    });
    BackLine = b.Item("BackLine", ContactSheetPanel, [](TLRItem& i) {
        i.Transparent = true;
        Lines(i, clSilver, lsSingle, lsSingle, lsSingle, lsSingle);
    });
    Image = b.Image("Image", ContactSheetPanel, [](TLRImage& i) { i.SetStretch(true); });
    Comment1 = b.Item("Comment1", ContactSheetPanel, [](TLRItem& i) {
        i.Alignment = taCenter;
        i.Layout = tlBottom;
        i.Transparent = true;
        i.SetFont(TLRFont::Pixels(CommentFont, 11));
    });
    Comment2 = b.Item("Comment2", ContactSheetPanel, [](TLRItem& i) {
        i.Alignment = taCenter;
        i.Transparent = true;
        i.SetFont(TLRFont::Pixels(CommentFont, 11));
    });
    ContactSheetPath = b.Item("ContactSheetPath", PathPanel, [](TLRItem& i) {
        i.Layout = tlCenter;
        i.Transparent = true;
    });
    b.Finish();
    SetGridItem(DefaultGridItem);
    FinishCreate();
}

void TprtContactSheetPrint::SetGridItem(int item) {
    if (item < 0 || item >= GridSizeCount)
        item = DefaultGridItem;
    ContactSheetPanel->SetColCount(GridSizes[item][0]);
    ContactSheetPanel->SetRowCount(GridSizes[item][1]);
}

int TprtContactSheetPrint::Columns() const {
    return ContactSheetPanel->ColCount();
}

int TprtContactSheetPrint::Rows() const {
    return ContactSheetPanel->RowCount();
}

void TprtContactSheetPrint::SetLabelColor(TColor color) {
    ContactSheetBackColor->SetColor(color);
}

void TprtContactSheetPrint::SetTitle(const QString& text, const TLRFont& font) {
    ContactSheetTitle->Text = text;
    ContactSheetTitle->SetFont(font);
}

void TprtContactSheetPrint::SetPath(const QString& path, const TLRFont& pathFont,
                                    int fileFontSize) {
    ContactSheetPath->Text = path;
    TLRFont f = pathFont;
    f.SetSize(fileFontSize);
    ContactSheetPath->SetFont(f);
    for (TLRItem* c : {Comment1, Comment2}) {
        TLRFont cf = c->Font();
        cf.SetSize(fileFontSize);
        c->SetFont(cf);
    }
}

int TprtContactSheetPrint::ComputePageCount() const {
    const int count = ItemList ? ItemList->Count() : 0;
    return (count - 1) / (Columns() * Rows()) + 1;
}

int TprtContactSheetPrint::ItemIndex(int col, int row) const {
    return (CurrentPage - 1) * Columns() * Rows() + row * Columns() + col;
}

QString TprtContactSheetPrint::DateText(const QStringList& info) {
    const QString shot = info.value(5);
    return shot.isEmpty() ? info.value(4) : shot;
}

void TprtContactSheetPrint::LayoutPanels(const TRect&) {
    const int bw = BasePanel->ClientWidth(), bh = BasePanel->ClientHeight();
    BasePanel->DisableAlign();
    ContactSheetTitlePanel->SetBounds(0, 0, bw, bh / 18);
    const int gridTop = ContactSheetTitlePanel->Top() + ContactSheetTitlePanel->Height();
    ContactSheetPanel->SetBounds(0, gridTop, bw, std::max(0, bh - gridTop - PathStripHeight));
    PathPanel->SetBounds(0, ContactSheetPanel->Top() + ContactSheetPanel->Height(), bw,
                         PathStripHeight);
    BasePanel->EnableAlign();
    const int tw = ContactSheetTitlePanel->ClientWidth();
    const int th = ContactSheetTitlePanel->ClientHeight();
    ContactSheetTitle->SetBounds(0, -12, tw, th * 19 / 20 + 12);
    ContactSheetTitleBack->SetBounds(0, 0, tw, th);
    ContactSheetPath->SetBounds(23, 0, PathPanel->ClientWidth() - 46, PathPanel->ClientHeight());
    ContactSheetBackColor->SetBounds(PathPanel->Left(), PathPanel->Top(), PathPanel->Width(),
                                     PathPanel->Height());
}

void TprtContactSheetPrint::ContactSheetPanelPrintPanel(TLRGridPanel*, int col, int row,
                                                        const TRect& rect, TPrintStatus&) {
    if (!ItemList)
        return;
    const int index = ItemIndex(col, row);
    const int w = rect.Width(), h = rect.Height();
    BackLine->SetBounds(4, 6, w - 6, h - 12);
    if (index >= ItemList->Count()) {
        Comment1->Text.clear();
        Comment2->Text.clear();
        Image->Picture().Clear();
        return;
    }
    try {
        const QStringList info = ItemList->ItemInfo(index);
        const TRect box = Rect(CellMargin, h / 10, w - CellMargin, h * 7 / 10);
        Image->Picture().Bitmap().SetImage(
            CellPicture(index, info.value(2), box.Width(), box.Height()));
        FitLRImage(Image, box);
        Comment1->SetBounds(CellMargin, h * 7 / 10, w - 2 * CellMargin, h / 10);
        Comment1->Text = ShowFileName ? ItemList->ItemFileName(index) : QString();
        Comment2->SetBounds(CellMargin, Comment1->Top() + Comment1->Height(), w - 2 * CellMargin,
                            h / 10);
        Comment2->Text = ShowDate ? DateText(info) : QString();
    } catch (...) {
        // A picture that cannot be had leaves its cell with the frame only.
        Comment1->Text.clear();
        Comment2->Text.clear();
        Image->Picture().Clear();
    }
}
