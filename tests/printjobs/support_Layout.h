#pragma once
// Reading the print jobs' layouts back in the layout tests: where a control lies on the page,
// and the colour each numbered test picture is filled with.
#include "report/LightRep.h"

#include <QColor>

// A control's rectangle on the page (report units).
TRect OnPage(const TLRControl* c);
// The fill of test picture number item: neighbours differ clearly.
QColor ColourOf(int item);
// Whether a page pixel shows the colour, within what printing on white leaves.
bool NearColour(QRgb a, const QColor& b);
