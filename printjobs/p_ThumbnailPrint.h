#pragma once
// The index card page layout: two square cards of 120 mm side by side on a landscape sheet,
// each with a title strip, an N x N grid of thumbnails with optional file names and a
// coloured label strip carrying the folder path. The right card takes a sheet's first N x N
// items, the left card the next; further items go on further sheets.
#include "p_PrintBase.h"

class TprtThumbnailPrint : public TprtPrintBase {
public:
    // Card size in report units (120 mm), the title strip's height and the part of it that
    // is used, the path strip's height.
    static constexpr int CardSize = 454;
    static constexpr int TitleStripHeight = 32;
    static constexpr int TitleStripUsed = 32 * 15 / 16;
    static constexpr int GridHeight = 390;
    static constexpr int PathStripHeight = 32;

    TprtThumbnailPrint();

    // Sets both grids to n columns and n rows (1 to 10).
    void SetGridSize(int n);
    int GridSize() const;
    // The label colour, title, title font, folder path and the file-name font size.
    void SetLabelColor(TColor color);
    void SetTitle(const QString& text, const TLRFont& font);
    void SetPath(const QString& path, const TLRFont& pathFont, int fileFontSize);

    // (item count - 1) div (2 N²) + 1: an empty folder still has one page.
    int ComputePageCount() const override;
    // The item a cell of a grid shows on CurrentPage.
    int ItemIndex(const TLRGridPanel* grid, int col, int row) const;

    // The image box of the current rendering (0 until the first cell is drawn).
    int ImageBoxWidth = 0;
    int ImageBoxHeight = 0;

    // The miniature's region on the page: the two card outlines and one unit beyond.
    QRect PreviewRegion() const;

    TLRLayoutPanel *BasePanel, *SpacePanel1, *SpacePanel2, *SpacePanel3, *ThumbnailPanel;
    TLRLayoutPanel *ThumbnailLeft, *ThumbnailRight, *ThumbnailLeftUp, *ThumbnailRightUp;
    TLRGridPanel *ThumbnailLeftCenter, *ThumbnailRightCenter;
    TLRLayoutPanel *ThumbnailLeftDown, *ThumbnailRightDown;
    TLRItem2 *LTitle, *RTitle;
    TLRItem *LTitleBack, *RTitleBack;
    TLRItem *LBackLine, *RBackLine, *LBackLine2, *RBackLine2;
    TLRImage *LImage, *RImage;
    TLRItem *LComment, *RComment;
    TLRItem *LThumbnailPath, *RThumbnailPath;
    TLRItem *LThumbnailOutLine, *RThumbnailOutLine;
    TLRItem *LThumbnailBackColor, *RThumbnailBackColor;

protected:
    void LayoutPanels(const TRect& printable) override;
    void ClearRenderState() override {
        ImageBoxWidth = 0;
        ImageBoxHeight = 0;
    }

private:
    void ThumbnailLeftCenterPrintPanel(TLRGridPanel* sender, int col, int row, const TRect& rect,
                                       TPrintStatus& status);
    void ThumbnailRightCenterPrintPanel(TLRGridPanel* sender, int col, int row, const TRect& rect,
                                        TPrintStatus& status);
    void PrintCell(TLRGridPanel* grid, int col, int row, const TRect& rect, TLRItem* backLine,
                   TLRItem* backLine2, TLRImage* image, TLRItem* comment);
};

// The one index card layout, created hidden at start-up.
extern TprtThumbnailPrint* prtThumbnailPrint;
