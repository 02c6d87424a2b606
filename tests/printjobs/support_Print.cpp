#include "support_Print.h"

#include "platform/PDialogSeam.h"

TRect OnPage(const TLRControl* c) {
    TRect r = c->BoundsRect();
    for (const TLRWinControl* p = c->Parent(); p && p->Parent(); p = p->Parent()) {
        r.Left += p->Left(), r.Right += p->Left();
        r.Top += p->Top(), r.Bottom += p->Top();
    }
    return r;
}

QColor ColourOf(int item) {
    return QColor::fromHsv((item * 47) % 360, 200, 220);
}

TSettingsHome::TSettingsHome() : Ini(Home.Path() + "Thumbnail.ini") {
    WriteRaw(Ini, "[APP]\nAPPName=Velmora\n");
    IniFile = new TIniFile(Ini);
    SetDialogAnswerer([](TDialogRequest&) { return 0; });
}

TSettingsHome::~TSettingsHome() {
    SetDialogAnswerer({});
    delete IniFile;
    IniFile = nullptr;
}
