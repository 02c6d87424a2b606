#pragma once
// Shared by the print job tests: reading layouts back and a settings file of a test's own.
#include "Common/c_Config.h"
#include "report/LightRep.h"
#include "services/CIniFile.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QColor>

// A control's rectangle on the page (report units).
TRect OnPage(const TLRControl* c);
// The fill of test picture number item: neighbours differ clearly.
QColor ColourOf(int item);

// A program folder of its own whose Thumbnail.ini is the settings store, with every dialog
// answered 0, for the life of the object.
struct TSettingsHome {
    TSettingsHome();
    ~TSettingsHome();
    TempHome Home;
    QString Ini;
};
