#pragma once
// The back card page layout: one CD jewel-case back insert on a portrait sheet. A centre
// panel with the title, the one photograph and four writing lines sits between two spines
// that carry the title turned sideways; a coloured strip closes the centre and a further
// coloured strip runs right of the right spine. The photograph goes above, below, left or
// right of the writing lines. It takes its picture and settings through plain calls, so it
// runs without windows as well.
#include "p_PrintBase.h"

#include <QRect>

class TprtJacketPrint : public TprtPrintBase {
public:
    // The card in report units: centre, spines, right strip and its coloured item.
    static constexpr int CenterWidth = 521;
    static constexpr int CardHeight = 442;
    static constexpr int SpineWidth = 22;
    static constexpr int StripWidth = 37;
    static constexpr int StripHeight = 438;

    // Where the picture goes: the layout box's items in order are top, bottom, left, right.
    enum TLayoutKind { lkPhotoTop = 0, lkPhotoLeft = 1, lkPhotoBottom = 2, lkPhotoRight = 3 };
    // The rectangles of one layout kind in centre-panel coordinates.
    struct TKindRects {
        TRect Title, Picture, Lines, Bottom;
    };
    static const TKindRects& KindRects(int kind);
    // The layout kind a layout box item stands for; anything but the first three is right.
    static int KindOfItem(int item);

    TprtJacketPrint();

    // The picture (copied; a null picture leaves the card without one), then the paper check.
    void SetPicture(const QImage& picture);
    int LayoutKind() const { return FLayoutKind; }
    // Stores a different kind and relays the card out with a paper check.
    void SetLayoutKind(int kind);
    // The label colour of the four coloured items.
    void SetLabelColor(TColor color);
    // The title of the front (in its font) and of both spines (in their fixed font).
    void SetTitle(const QString& text, const TLRFont& font);

    // The miniature's region on the page: the card from the left spine to one unit beyond
    // the right strip and the spines' bottom.
    QRect PreviewRegion() const;
    // Renders page 1 for the preview window and shows it there: one page, no navigation.
    void ShowPreview() override;

    TLRLayoutPanel *BasePanel, *SpacePanel1, *SpacePanel2, *SpacePanel3, *SpacePanel4;
    TLRLayoutPanel* JacketPanel;
    TLRLayoutPanel *JacketPanelLeft, *JacketPanelCenter, *JacketPanelRight, *JacketPanelRight2;
    TLRItem *LJacketBack, *RJacketBack, *CJacketBack;
    TLRItem2* RJacketBack2;
    TLRItem2 *LJacketTitle, *RJacketTitle, *JacketTitle;
    TLRItem* JacketTitleBack;
    TLRImage* JacketImage;
    TLRItem *JacketLine1, *JacketLine2, *JacketLine3, *JacketLine4;
    TLRItem* JacketPath;
    TLRItem* CJacketBack2;

protected:
    void LayoutPanels(const TRect& printable) override;
    // The single page: begin, page, end.
    void PrintJob() override;

private:
    int FLayoutKind = lkPhotoTop;
};

// The one back card layout, created hidden at start-up.
extern TprtJacketPrint* prtJacketPrint;
