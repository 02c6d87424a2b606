#pragma once
// Shared by the print job tests: reading layouts back (a control's place on the page, the
// colour of each numbered test picture) and a settings file of a test's own.
#include "Common/c_Config.h"
#include "report/LightRep.h"
#include "services/CIniFile.h"
#include "support/TestSupport.h"

#include <QColor>

// A control's rectangle on the page (report units).
TRect OnPage(const TLRControl* c);
// The smallest rectangle around the dark pixels (grey below 100) within r of a page.
QRect InkBox(const QImage& page, const TRect& r);
// The fill of test picture number item: neighbours differ clearly.
QColor ColourOf(int item);
// Whether a page pixel shows the colour, within what printing on white leaves.
bool NearColour(QRgb a, const QColor& b);
inline bool NearColour(const QColor& a, const QColor& b) {
    return NearColour(a.rgb(), b);
}

// A program folder of its own whose Thumbnail.ini (holding ini) is the settings store, with
// every dialog answered 0, for the life of the object.
struct TSettingsHome {
    explicit TSettingsHome(const QByteArray& ini = "[APP]\nAPPName=Velmora\n");
    ~TSettingsHome();
    TempHome Home;
    QString Ini;
};
