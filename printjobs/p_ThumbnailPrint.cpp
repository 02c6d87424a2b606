#include "p_ThumbnailPrint.h"

#include "Common/c_Other.h"
#include "report/LRBuilder.h"

TprtThumbnailPrint* prtThumbnailPrint = nullptr;

namespace {
constexpr TColor CellFill = 0xEDEDED;

} // namespace

TprtThumbnailPrint::TprtThumbnailPrint()
    : TprtPrintBase(QStringLiteral("Index card printing"), 1123, 794, poLandscape) {
    TLightRep* rep = LightRep();
    TLRBuilder b(rep);
    BasePanel = b.Layout("BasePanel", rep, laClient);
    SpacePanel1 = b.Layout("SpacePanel1", BasePanel, laTop);
    SpacePanel2 = b.Layout("SpacePanel2", BasePanel, laTop, [](TLRLayoutPanel& p) {
        p.SetTop(200);
        p.SetHeight(CardSize);
    });
    SpacePanel3 = b.Layout("SpacePanel3", BasePanel, laClient);
    // The outlines and label strips come before the cards' panels: items are drawn before
    // panels, so the cells and the path text lie on top of them.
    auto outline = [&](const QString& p) {
        return b.Item(p + "ThumbnailOutLine", SpacePanel2, [](TLRItem& i) {
            i.Transparent = true;
            Lines(i, clBlack, lsSingle, lsSingle, lsSingle, lsSingle);
        });
    };
    LThumbnailOutLine = outline("L");
    RThumbnailOutLine = outline("R");
    auto label = [&](const QString& p) {
        return b.Item(p + "ThumbnailBackColor", SpacePanel2, [](TLRItem& i) {
            Opaque(i, 0xFF9999);
            Lines(i, clBlack, lsNone, lsSingle, lsSingle, lsSingle);
        });
    };
    LThumbnailBackColor = label("L");
    RThumbnailBackColor = label("R");
    ThumbnailPanel = b.Layout("ThumbnailPanel", SpacePanel2, laLeft,
                              [](TLRLayoutPanel& p) { p.SetWidth(2 * CardSize); });
    ThumbnailLeft = b.Layout("ThumbnailLeft", ThumbnailPanel, laLeft,
                             [](TLRLayoutPanel& p) { p.SetWidth(CardSize); });
    ThumbnailRight = b.Layout("ThumbnailRight", ThumbnailPanel, laClient);

    auto card = [&](const QString& side, TLRLayoutPanel* parent, TLRLayoutPanel*& up,
                    TLRGridPanel*& center, TLRLayoutPanel*& down, TPrintPanelEvent event) {
        up = b.Layout("Thumbnail" + side + "Up", parent, laTop,
                      [](TLRLayoutPanel& p) { p.SetHeight(TitleStripUsed); });
        down = b.Layout("Thumbnail" + side + "Down", parent, laBottom, [](TLRLayoutPanel& p) {
            p.SetTop(CardSize - PathStripHeight);
            p.SetHeight(PathStripHeight);
        });
        center = b.Grid("Thumbnail" + side + "Center", parent, laClient, pdHorz, std::move(event));
    };
    card("Left", ThumbnailLeft, ThumbnailLeftUp, ThumbnailLeftCenter, ThumbnailLeftDown,
         [this](TLRGridPanel* g, int c, int r, const TRect& rect, TPrintStatus& s) {
             ThumbnailLeftCenterPrintPanel(g, c, r, rect, s);
         });
    card("Right", ThumbnailRight, ThumbnailRightUp, ThumbnailRightCenter, ThumbnailRightDown,
         [this](TLRGridPanel* g, int c, int r, const TRect& rect, TPrintStatus& s) {
             ThumbnailRightCenterPrintPanel(g, c, r, rect, s);
         });

    auto titles = [&](const QString& p, TLRLayoutPanel* strip, TLRItem2*& title, TLRItem*& back) {
        back = b.Item(p + "TitleBack", strip, [](TLRItem& i) { i.Transparent = true; });
        title = b.Item2(p + "Title", strip, [](TLRItem2& i) {
            i.Alignment = taCenter;
            i.Layout = tlBottom;
            i.WordWrap = true;
            i.Transparent = true;
        });
    };
    titles("L", ThumbnailLeftUp, LTitle, LTitleBack);
    titles("R", ThumbnailRightUp, RTitle, RTitleBack);

    auto cell = [&](const QString& p, TLRGridPanel* grid, TLRItem*& line, TLRItem*& line2,
                    TLRImage*& image, TLRItem*& comment) {
        line = b.Item(p + "BackLine", grid, [](TLRItem& i) {
            Opaque(i, CellFill);
            Lines(i, clSilver, lsNone, lsNone, lsNone, lsNone);
        });
        line2 = b.Item(p + "BackLine2", grid, [](TLRItem& i) {
            i.Transparent = true;
            i.LineColor = clBlack;
        });
        image = b.Image(p + "Image", grid, [](TLRImage& i) { i.SetStretch(true); });
        comment = b.Item(p + "Comment", grid, [](TLRItem& i) {
            i.Alignment = taCenter;
            i.WordWrap = true;
            i.Transparent = true;
            i.EditFont().Color = clBlack;
        });
    };
    cell("L", ThumbnailLeftCenter, LBackLine, LBackLine2, LImage, LComment);
    cell("R", ThumbnailRightCenter, RBackLine, RBackLine2, RImage, RComment);

    auto path = [&](const QString& p, TLRLayoutPanel* strip) {
        return b.Item(p + "ThumbnailPath", strip, [](TLRItem& i) {
            i.Layout = tlCenter;
            i.Transparent = true;
        });
    };
    LThumbnailPath = path("L", ThumbnailLeftDown);
    RThumbnailPath = path("R", ThumbnailRightDown);

    b.Finish();
    FinishCreate();
}

void TprtThumbnailPrint::SetGridSize(int n) {
    n = std::clamp(n, 1, 10);
    for (TLRGridPanel* g : {ThumbnailLeftCenter, ThumbnailRightCenter}) {
        g->SetColCount(n);
        g->SetRowCount(n);
    }
}

int TprtThumbnailPrint::GridSize() const {
    return ThumbnailRightCenter->ColCount();
}

void TprtThumbnailPrint::SetLabelColor(TColor color) {
    LThumbnailBackColor->SetColor(color);
    RThumbnailBackColor->SetColor(color);
}

void TprtThumbnailPrint::SetTitle(const QString& text, const TLRFont& font) {
    for (TLRItem2* t : {LTitle, RTitle}) {
        t->Text = text;
        t->SetFont(font);
    }
}

void TprtThumbnailPrint::SetPath(const QString& path, const TLRFont& pathFont, int fileFontSize) {
    for (TLRItem* p : {LThumbnailPath, RThumbnailPath}) {
        p->Text = path;
        TLRFont f = pathFont;
        f.SetSize(fileFontSize);
        p->SetFont(f);
    }
    for (TLRItem* c : {LComment, RComment}) {
        TLRFont f = c->Font();
        f.SetSize(fileFontSize);
        c->SetFont(f);
    }
}

int TprtThumbnailPrint::ComputePageCount() const {
    const int count = ItemList ? ItemList->Count() : 0;
    const int n = GridSize();
    return (count - 1) / (2 * n * n) + 1;
}

int TprtThumbnailPrint::ItemIndex(const TLRGridPanel* grid, int col, int row) const {
    const int left = ThumbnailLeftCenter->ColCount() * ThumbnailLeftCenter->RowCount();
    const int right = ThumbnailRightCenter->ColCount() * ThumbnailRightCenter->RowCount();
    int index = (CurrentPage - 1) * (left + right) + row * grid->ColCount() + col;
    if (grid == ThumbnailLeftCenter)
        index += right;
    return index;
}

QRect TprtThumbnailPrint::PreviewRegion() const {
    const TLightRep* rep = LightRep();
    const int x0 = rep->MarginLeft() + SpacePanel2->Left();
    const int y0 = rep->MarginTop() + SpacePanel2->Top();
    const QPoint from(x0 + LThumbnailOutLine->Left(), y0 + LThumbnailOutLine->Top());
    const QPoint to(x0 + RThumbnailOutLine->Left() + RThumbnailOutLine->Width() + 1,
                    y0 + RThumbnailOutLine->Top() + RThumbnailOutLine->Height() + 1);
    return QRect(from, QSize(to.x() - from.x(), to.y() - from.y()));
}

void TprtThumbnailPrint::LayoutPanels(const TRect& printable) {
    const int ph = printable.Height();
    BasePanel->DisableAlign();
    SpacePanel1->SetBounds(0, 0, BasePanel->Width(), std::max(0, (ph - CardSize) / 2));
    SpacePanel2->SetBounds(0, SpacePanel1->Top() + SpacePanel1->Height(), BasePanel->Width(),
                           CardSize);
    BasePanel->EnableAlign();
    ThumbnailPanel->SetWidth(2 * CardSize);
    ThumbnailLeft->SetWidth(CardSize);
    for (TLRLayoutPanel* up : {ThumbnailLeftUp, ThumbnailRightUp})
        up->SetHeight(TitleStripUsed);
    for (TLRLayoutPanel* down : {ThumbnailLeftDown, ThumbnailRightDown})
        down->SetHeight(PathStripHeight);
    for (auto [strip, title, back] : {std::tuple{ThumbnailLeftUp, LTitle, LTitleBack},
                                      std::tuple{ThumbnailRightUp, RTitle, RTitleBack}}) {
        title->SetBounds(1, 1, strip->Width() - 3, strip->Height() - 1);
        back->SetBounds(0, 0, strip->Width(), strip->Height());
    }
    LThumbnailOutLine->SetBounds(0, 0, CardSize, CardSize);
    RThumbnailOutLine->SetBounds(CardSize, 0, CardSize, CardSize);
    for (auto [card, strip, path, label] :
         {std::tuple{ThumbnailLeft, ThumbnailLeftDown, LThumbnailPath, LThumbnailBackColor},
          std::tuple{ThumbnailRight, ThumbnailRightDown, RThumbnailPath, RThumbnailBackColor}}) {
        const int w = strip->ClientWidth(), h = strip->ClientHeight();
        path->SetBounds(w / 20, 0, w * 18 / 20, h);
        label->SetBounds(card->Left() + strip->Left(), card->Top() + strip->Top() - 1, w, h + 1);
    }
}

void TprtThumbnailPrint::ThumbnailLeftCenterPrintPanel(TLRGridPanel* sender, int col, int row,
                                                       const TRect& rect, TPrintStatus&) {
    PrintCell(sender, col, row, rect, LBackLine, LBackLine2, LImage, LComment);
}

void TprtThumbnailPrint::ThumbnailRightCenterPrintPanel(TLRGridPanel* sender, int col, int row,
                                                        const TRect& rect, TPrintStatus&) {
    PrintCell(sender, col, row, rect, RBackLine, RBackLine2, RImage, RComment);
}

void TprtThumbnailPrint::PrintCell(TLRGridPanel* grid, int col, int row, const TRect& rect,
                                   TLRItem* backLine, TLRItem* backLine2, TLRImage* image,
                                   TLRItem* comment) {
    if (!ItemList)
        return;
    const int index = ItemIndex(grid, col, row);

    // The frame: silver inside the card; the side lines a card's outer edge would double are
    // left to the second item, which draws them black.
    int fl = 0, ft = 0, fw = rect.Width(), fh = rect.Height();
    TLineStyle left = lsSingle, right = lsSingle;
    if (grid->ColCount() > 1) {
        if (col == 0)
            left = lsNone;
        if (col == grid->ColCount() - 1)
            right = lsNone;
    } else {
        left = right = lsNone;
    }
    if (row == 0) {
        ft += 1;
        fh -= 1;
    }
    backLine->SetBounds(fl, ft, fw, fh);
    backLine->SetLines(lsSingle, left, right, lsSingle);
    backLine2->SetBounds(fl, ft, fw, fh);
    backLine2->SetLines(lsNone, left == lsNone ? lsSingle : lsNone,
                        right == lsNone ? lsSingle : lsNone, lsNone);

    if (index >= ItemList->Count()) {
        comment->Text.clear();
        image->Picture().Clear();
        return;
    }
    try {
        const QString path = ItemList->ItemInfo(index).value(2);
        const int boxLeft = fl + 3;
        const int boxTop = ft + fh / 20;
        if (ImageBoxWidth == 0 && ImageBoxHeight == 0) {
            ImageBoxWidth = fw - 5;
            ImageBoxHeight = fh * 15 / 20;
        }
        const TRect box = Rect(boxLeft, boxTop, fl + ImageBoxWidth, boxTop + ImageBoxHeight);
        image->Picture().Bitmap().SetImage(CellPicture(index, path, box.Width(), box.Height()));
        FitLRImage(image, box);
        if (ShowFileName) {
            comment->SetBounds(box.Left, box.Bottom, box.Width(), rect.Height() * 5 / 20);
            comment->Text = ItemList->ItemFileName(index);
        } else {
            comment->Text.clear();
        }
    } catch (...) {
        // A picture that cannot be had leaves its cell with the frame only.
        comment->Text.clear();
        image->Picture().Clear();
    }
}
