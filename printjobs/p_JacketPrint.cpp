#include "p_JacketPrint.h"

#include "report/LRBuilder.h"

#include <algorithm>

TprtJacketPrint* prtJacketPrint = nullptr;

namespace {
// The spines' fixed title font.
TLRFont SpineFont() {
    return TLRFont::Pixels(QStringLiteral("ＭＳ Ｐゴシック"), 13);
}
} // namespace

const TprtJacketPrint::TKindRects& TprtJacketPrint::KindRects(int kind) {
    // Indexed by layout kind: title, picture, writing lines, bottom strip.
    static const TKindRects table[4] = {
        {Rect(34, 0, 488, 40), Rect(26, 57, 496, 303), Rect(34, 321, 488, 404),
         Rect(0, 416, 521, 442)},
        {Rect(34, 0, 488, 40), Rect(34, 60, 250, 378), Rect(280, 40, 488, 375),
         Rect(0, 416, 521, 442)},
        {Rect(34, 0, 488, 40), Rect(26, 158, 496, 404), Rect(34, 57, 488, 140),
         Rect(0, 416, 521, 442)},
        {Rect(34, 0, 488, 40), Rect(280, 60, 488, 378), Rect(34, 40, 250, 375),
         Rect(0, 416, 521, 442)},
    };
    return table[std::clamp(kind, 0, 3)];
}

int TprtJacketPrint::KindOfItem(int item) {
    switch (item) {
    case 0:
        return lkPhotoTop;
    case 1:
        return lkPhotoBottom;
    case 2:
        return lkPhotoLeft;
    default:
        return lkPhotoRight;
    }
}

TprtJacketPrint::TprtJacketPrint()
    : TprtPrintBase(QStringLiteral("Back card printing"), 1123, 794, poPortrait) {
    JobOrientation = poPortrait;
    AllowPageRange = false;
    SetReportPrinterOrientation = true;

    TLightRep* rep = LightRep();
    TLRBuilder b(rep);
    BasePanel = b.Layout("BasePanel", rep, laClient);
    SpacePanel1 =
        b.Layout("SpacePanel1", BasePanel, laTop, [](TLRLayoutPanel& p) { p.SetHeight(0); });
    SpacePanel2 = b.Layout("SpacePanel2", BasePanel, laTop,
                           [](TLRLayoutPanel& p) { p.SetHeight(CardHeight); });
    SpacePanel3 = b.Layout("SpacePanel3", BasePanel, laClient);
    SpacePanel4 = b.Layout("SpacePanel4", SpacePanel2, laLeft);
    JacketPanel = b.Layout("JacketPanel", SpacePanel2, laLeft);

    // The backgrounds come before the panels, so the titles and lines draw over them.
    auto spineBack = [](TLRItem& i) {
        Opaque(i, 0xFF9999);
        Lines(i, clBlack, lsSingle, lsSingle, lsSingle, lsSingle);
    };
    LJacketBack = b.Item("LJacketBack", JacketPanel, spineBack);
    RJacketBack = b.Item("RJacketBack", JacketPanel, spineBack);
    CJacketBack = b.Item("CJacketBack", JacketPanel, [](TLRItem& i) {
        Opaque(i, clWhite);
        Lines(i, clBlack, lsSingle, lsNone, lsNone, lsSingle);
    });
    RJacketBack2 = b.Item2("RJacketBack2", JacketPanel, [](TLRItem2& i) {
        Opaque(i, 0xFF9999);
        Lines(i, clBlack, lsSingle, lsSingle, lsSingle, lsSingle);
        i.Escapement = esRight;
        i.SetFont(SpineFont());
    });

    JacketPanelLeft = b.Layout("JacketPanelLeft", JacketPanel, laLeft);
    JacketPanelCenter = b.Layout("JacketPanelCenter", JacketPanel, laLeft);
    JacketPanelRight = b.Layout("JacketPanelRight", JacketPanel, laLeft);
    JacketPanelRight2 = b.Layout("JacketPanelRight2", JacketPanel, laLeft);

    auto spineTitle = [](TEscapementStatus turn) {
        return [turn](TLRItem2& i) {
            i.Escapement = turn;
            i.SetFont(SpineFont());
            i.Transparent = true;
            i.SetLines(lsNone, lsNone, lsNone, lsNone);
            i.WordWrapNum = 1;
        };
    };
    LJacketTitle = b.Item2("LJacketTitle", JacketPanelLeft, spineTitle(esLeft));
    RJacketTitle = b.Item2("RJacketTitle", JacketPanelRight, spineTitle(esRight));

    JacketTitleBack = b.Item("JacketTitleBack", JacketPanelCenter, [](TLRItem& i) {
        i.Transparent = true;
        Lines(i, clBlack, lsNone, lsNone, lsNone, lsSingle);
    });
    JacketTitle = b.Item2("JacketTitle", JacketPanelCenter, [](TLRItem2& i) {
        i.Alignment = taCenter;
        i.Layout = tlBottom;
        i.WordWrap = true;
        i.Transparent = true;
    });
    JacketImage =
        b.Image("JacketImage", JacketPanelCenter, [](TLRImage& i) { i.SetStretch(true); });
    TLRItem** lines[] = {&JacketLine1, &JacketLine2, &JacketLine3, &JacketLine4};
    for (int n = 0; n < 4; ++n)
        *lines[n] =
            b.Item(QStringLiteral("JacketLine%1").arg(n + 1), JacketPanelCenter, [](TLRItem& i) {
                i.Transparent = true;
                Lines(i, clSilver, lsNone, lsNone, lsNone, lsSingle);
            });
    JacketPath = b.Item("JacketPath", JacketPanelCenter, [](TLRItem& i) {
        i.Transparent = true;
        i.SetLines(lsNone, lsNone, lsNone, lsNone);
    });
    CJacketBack2 = b.Item("CJacketBack2", JacketPanelCenter, [](TLRItem& i) {
        Opaque(i, 0xFF9999);
        Lines(i, clBlack, lsNone, lsSingle, lsSingle, lsSingle);
    });
    // No paper check yet: the first opening of the window makes it.
    b.Finish();
    CurrentPage = 1;
    PageCount = 1;
}

void TprtJacketPrint::SetPicture(const QImage& picture) {
    if (picture.isNull())
        JacketImage->Picture().Clear();
    else
        JacketImage->Picture().Bitmap().SetImage(picture.copy());
    SyncWithPrinter();
}

void TprtJacketPrint::SetLayoutKind(int kind) {
    kind = std::clamp(kind, 0, 3);
    if (kind == FLayoutKind)
        return;
    FLayoutKind = kind;
    SyncWithPrinter();
}

void TprtJacketPrint::SetLabelColor(TColor color) {
    for (TCustomLRTextItem* i : std::initializer_list<TCustomLRTextItem*>{
             LJacketBack, CJacketBack2, RJacketBack, RJacketBack2})
        i->SetColor(color);
}

void TprtJacketPrint::SetTitle(const QString& text, const TLRFont& font) {
    JacketTitle->Text = text;
    JacketTitle->SetFont(font);
    LJacketTitle->Text = text;
    RJacketTitle->Text = text;
}

QRect TprtJacketPrint::PreviewRegion() const {
    const TLightRep* rep = LightRep();
    const int x0 = rep->MarginLeft() + JacketPanel->Left() + SpacePanel2->Left();
    const int y0 = rep->MarginTop() + SpacePanel2->Top();
    const QPoint from(x0 + LJacketBack->Left(), y0 + LJacketBack->Top());
    const QPoint to(x0 + RJacketBack2->Left() + RJacketBack2->Width() + 1,
                    y0 + RJacketBack->Top() + RJacketBack->Height() + 1);
    return QRect(from, QSize(to.x() - from.x(), to.y() - from.y()));
}

void TprtJacketPrint::LayoutPanels(const TRect& printable) {
    const int pw = printable.Width();
    BasePanel->DisableAlign();
    SpacePanel1->SetBounds(0, 0, pw, 0);
    SpacePanel2->SetBounds(0, 0, pw, CardHeight);
    BasePanel->EnableAlign();

    const int cw = SpacePanel2->ClientWidth(), ch = SpacePanel2->ClientHeight();
    // The spines and the centre sit in the middle; the right strip reaches beyond them.
    const int space = std::max(0, (cw - 2 * SpineWidth - CenterWidth) / 2);
    SpacePanel2->DisableAlign();
    SpacePanel4->SetBounds(0, 0, space, ch);
    JacketPanel->SetBounds(space, 0, cw - space, ch);
    SpacePanel2->EnableAlign();

    const int rightLeft = SpineWidth + CenterWidth;
    JacketPanel->DisableAlign();
    JacketPanelLeft->SetBounds(0, 0, SpineWidth, CardHeight);
    JacketPanelCenter->SetBounds(SpineWidth, 0, CenterWidth, CardHeight);
    JacketPanelRight->SetBounds(rightLeft, 0, SpineWidth, CardHeight);
    JacketPanelRight2->SetBounds(rightLeft + SpineWidth, 0, StripWidth, CardHeight);
    JacketPanel->EnableAlign();
    LJacketBack->SetBounds(0, 0, SpineWidth, CardHeight);
    CJacketBack->SetBounds(SpineWidth, 0, CenterWidth, CardHeight);
    RJacketBack->SetBounds(rightLeft, 0, SpineWidth, CardHeight);
    RJacketBack2->SetBounds(rightLeft + SpineWidth, (CardHeight - StripHeight) / 2, StripWidth,
                            StripHeight);

    const TKindRects& k = KindRects(FLayoutKind);
    const TRect& t = k.Title;
    JacketTitle->SetBounds(t.Left, t.Top, t.Width(), t.Height() * 19 / 20);
    JacketTitleBack->SetBounds(t.Left, t.Top, t.Width(), t.Height());
    if (JacketImage->Picture().Width() > 0 && JacketImage->Picture().Height() > 0)
        FitLRImage(JacketImage, k.Picture);
    const TRect& l = k.Lines;
    const int lh = l.Height() / 4;
    int top = l.Top;
    for (TLRItem* line : {JacketLine1, JacketLine2, JacketLine3, JacketLine4}) {
        line->SetBounds(l.Left, top, l.Width(), lh);
        top += lh;
    }
    const TRect& bs = k.Bottom;
    JacketPath->SetBounds(bs.Left, bs.Top, bs.Width(), bs.Height());
    CJacketBack2->SetBounds(bs.Left, bs.Top, bs.Width(), bs.Height());

    const int lw = JacketPanelLeft->Width(), lhgt = JacketPanelLeft->Height();
    LJacketTitle->SetBounds(lw / 10, lhgt / 24, lw * 8 / 10, lhgt * 22 / 24 - 3);
    const int rw = JacketPanelRight->Width(), rh = JacketPanelRight->Height();
    RJacketTitle->SetBounds(0, rh / 20 - 3, rw * 8 / 10, rh * 22 / 24 - 3);
}

void TprtJacketPrint::PrintJob() {
    CurrentPage = 1;
    PageCount = 1;
    TLightRep* rep = LightRep();
    try {
        rep->BeginDoc();
        rep->PrintPage();
        rep->EndDoc();
    } catch (...) {
        // Nothing half-made stays open.
        rep->Abort();
        throw;
    }
}

void TprtJacketPrint::ShowPreview() {
    CurrentPage = 1;
    PageCount = 1;
    RenderPage();
    TPreviewHooks hooks;
    hooks.Print = [this] { Print(true); };
    UseHost().PreviewRun(hooks);
    CurrentPage = 1;
}
