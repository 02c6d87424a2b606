#pragma once
// The stored print settings of the three jobs: one section of "Thumbnail.ini" per job, the
// keys in their stored order with each job's defaults, and the conversions between the
// stored values and what the layouts and Qt use (colour 0x00BBGGRR, title font name, size,
// styles and character set).
#include "report/LightRep.h"

#include <QColor>
#include <QFont>
#include <QString>

class TIniFile;

// The title font as stored.
struct TTitleFont {
    QString Name;
    int Size = 18; // points
    bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
    int Charset = 128;
    TColor Color = clBlack;
    bool operator==(const TTitleFont&) const = default;
};

// One job's section: its name, its defaults, and which of the job's own keys it has.
struct TPrintSection {
    QString Name;                // "PrintThumbnail", "PrintJacket", "PrintContactSheet"
    int Layout = 0;              // "Layout" default
    int FontSize = 18;           // "FontSize" default
    QString FileFontSize;        // "FileFontSize" default; empty: the job has no such key
    bool HasFNShow = false;      // "FNShow", default true
    bool HasDateShow = false;    // "DateShow", default true
    bool HasRotateCount = false; // "RotateCount", default 0
    int OutsideLayout = -1;      // item a stored "Layout" outside the box selects; -1: default
};

// The three jobs' sections.
const TPrintSection& IndexCardSection();
const TPrintSection& BackCardSection();
const TPrintSection& ContactSheetSection();

// The values of one section.
struct TPrintSettings {
    int Layout = 0;
    TColor BackColor = DefaultLabelColor;
    QString Title;
    TTitleFont Font;
    QString FileFontSize; // the size box text as saved (reading strips its leading blank)
    bool FNShow = true;
    bool DateShow = true;
    int RotateCount = 0;

    static constexpr TColor DefaultLabelColor = 0xFF9999;
    bool operator==(const TPrintSettings&) const = default;
};

// The defaults of a section with the given default title font name and character set.
TPrintSettings DefaultPrintSettings(const TPrintSection& section, const QString& fontName,
                                    int charset);
// Reads a section key by key in the stored order; a missing or malformed key gives its
// default.
TPrintSettings ReadPrintSettings(const TIniFile& ini, const TPrintSection& section,
                                 const QString& fontName, int charset);
// Writes every key of the section in the stored order. The caller leaves a read-only file
// alone (PrintSettingsReadOnly).
void WritePrintSettings(TIniFile& ini, const TPrintSection& section, const TPrintSettings& s);
// Whether the settings file may not be written (then Save writes nothing and Reset resets
// the controls only).
bool PrintSettingsReadOnly(const TIniFile* ini);

// The stored colour and Qt's.
QColor ColorToQt(TColor color);
TColor ColorFromQt(const QColor& color);
// The stored font and Qt's; the character set and colour are not part of a QFont and are
// taken from `like`.
QFont FontToQt(const TTitleFont& font);
TTitleFont FontFromQt(const QFont& font, const TTitleFont& like);
// The stored font as a report component's font.
TLRFont FontToLR(const TTitleFont& font);
// The point size a size-box text holds (leading blanks allowed), 0 when it holds none.
int FileFontSizeOf(const QString& text);
