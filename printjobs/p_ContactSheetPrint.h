#pragma once
// The contact sheet page layout: portrait pages with a title, a grid of C columns by R rows
// of thumbnails, each with its file name and date, and a coloured strip with the folder path
// closing the page. The geometry follows the base panel, so any paper works; the folder
// fills as many pages as it needs.
#include "p_PrintBase.h"

class TprtContactSheetPrint : public TprtPrintBase {
public:
    // The path strip's height and the horizontal margin inside a cell, in report units.
    static constexpr int PathStripHeight = 30;
    static constexpr int CellMargin = 6;
    // The grid sizes of the layout box, as (columns, rows), in its order.
    static constexpr int GridSizeCount = 26;
    static const int GridSizes[GridSizeCount][2];

    TprtContactSheetPrint();

    // Sets the grid to the layout box's item (0 to 25; others give the default 5 x 6).
    void SetGridItem(int item);
    int Columns() const;
    int Rows() const;
    // The label colour, title and title font.
    void SetLabelColor(TColor color);
    void SetTitle(const QString& text, const TLRFont& font);
    // The folder path with its font, and the point size of path, file names and dates.
    void SetPath(const QString& path, const TLRFont& pathFont, int fileFontSize);

    // Print dates under the file names.
    bool ShowDate = true;

    // (item count - 1) div (C x R) + 1: an empty folder still has one page.
    int ComputePageCount() const override;
    // The item a cell shows on CurrentPage: row by row, left to right.
    int ItemIndex(int col, int row) const;
    // The date line of an item: its shooting date, else its file date.
    static QString DateText(const QStringList& info);

    TLRLayoutPanel *BasePanel, *ContactSheetTitlePanel, *PathPanel;
    TLRGridPanel* ContactSheetPanel;
    TLRItem* ContactSheetBackColor;
    TLRItem2 *ContactSheetTitle, *ContactSheetTitleBack;
    TLRItem* BackLine;
    TLRImage* Image;
    TLRItem *Comment1, *Comment2;
    TLRItem* ContactSheetPath;

protected:
    void LayoutPanels(const TRect& printable) override;

private:
    void ContactSheetPanelPrintPanel(TLRGridPanel* sender, int col, int row, const TRect& rect,
                                     TPrintStatus& status);
};

// The one contact sheet layout, created hidden at start-up.
extern TprtContactSheetPrint* prtContactSheetPrint;
