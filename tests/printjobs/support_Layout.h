#pragma once
// Reading the print jobs' layouts back in the layout tests: where a control lies on the page,
// and the colour each numbered test picture is filled with; and the settings file the
// windows read and write.
#include "Common/c_Config.h"
#include "report/LightRep.h"
#include "services/CIniFile.h"
#include "support/TestSupport.h"

#include <QColor>

// A control's rectangle on the page (report units).
TRect OnPage(const TLRControl* c);
// The fill of test picture number item: neighbours differ clearly.
QColor ColourOf(int item);
// Whether a page pixel shows the colour, within what printing on white leaves.
bool NearColour(QRgb a, const QColor& b);

// A program folder of its own whose Thumbnail.ini (holding ini) is the settings store, with
// every dialog answered 0, for the life of the object.
struct TSettingsHome {
    explicit TSettingsHome(const QByteArray& ini = "[APP]\nAPPName=Velmora\n");
    ~TSettingsHome();
    TempHome Home;
    QString Ini;
};
