#pragma once
// Shared by the print job tests: reading layouts back (a control's place on the page, the
// colour of each numbered test picture), a settings file of a test's own, and `velmora print`
// run as a user runs it with its PDF read back as pixels.
#include "Common/c_Config.h"
#include "report/LightRep.h"
#include "services/CIniFile.h"
#include "support/TestSupport.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPair>
#include <QStringList>

// A control's rectangle on the page (report units).
TRect OnPage(const TLRControl* c);
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

struct TRun {
    int Status = -1;
    QString Out, Err;
};
// The program started without a display from a shell in dir, with its own program folder;
// cups is the print server's address (a dead one: only --pdf can print).
TRun RunVelmora(const QStringList& args, const QString& home, const QString& dir,
                const QString& cups);
// Every page of a PDF at 100 dpi.
QList<QImage> Pages100(const QString& pdf);
// The first and last black pixel along the middle row of a 100-dpi page, in millimetres: the
// outer edges of the index card's two cards.
QPair<double, double> CardSpan(const QImage& page);
// Writes count pictures photoNN.jpg of one colour each and growing widths; with distinct,
// shotNNN.png of one size whose pixels all differ, so a stored bitmap of the wrong picture shows.
void MakePictures(const QString& dir, int count, bool distinct = false);
