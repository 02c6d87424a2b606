#include "c_PrintSettings.h"

#include "platform/PSystem.h"
#include "services/CIniFile.h"

#include <QFileInfo>

const TPrintSection& IndexCardSection() {
    static const TPrintSection s{"PrintThumbnail", 5, 18, "6", true, false, false};
    return s;
}

const TPrintSection& BackCardSection() {
    static const TPrintSection s{"PrintJacket", 0, 18, "", false, false, true, 3};
    return s;
}

const TPrintSection& ContactSheetSection() {
    static const TPrintSection s{"PrintContactSheet", 11, 20, "7", true, true, false};
    return s;
}

TPrintSettings DefaultPrintSettings(const TPrintSection& section, const QString& fontName,
                                    int charset) {
    TPrintSettings s;
    s.Layout = section.Layout;
    s.Font.Name = fontName;
    s.Font.Size = section.FontSize;
    s.Font.Charset = charset;
    s.FileFontSize = section.FileFontSize;
    return s;
}

TPrintSettings ReadPrintSettings(const TIniFile& ini, const TPrintSection& section,
                                 const QString& fontName, int charset) {
    const QString& n = section.Name;
    const TPrintSettings d = DefaultPrintSettings(section, fontName, charset);
    TPrintSettings s = d;
    s.Layout = ini.ReadInteger(n, "Layout", d.Layout);
    s.BackColor = TColor(ini.ReadInteger(n, "BackColor", int(d.BackColor)));
    s.Title = ini.ReadString(n, "Title", d.Title);
    s.Font.Color = TColor(ini.ReadInteger(n, "FontColor", int(d.Font.Color)));
    s.Font.Name = ini.ReadString(n, "FontName", d.Font.Name);
    s.Font.Size = ini.ReadInteger(n, "FontSize", d.Font.Size);
    s.Font.Bold = ini.ReadBool(n, "FontStyleB", false);
    s.Font.Italic = ini.ReadBool(n, "FontStyleI", false);
    s.Font.Underline = ini.ReadBool(n, "FontStyleU", false);
    s.Font.StrikeOut = ini.ReadBool(n, "FontStyleS", false);
    s.Font.Charset = ini.ReadInteger(n, "FontChar", d.Font.Charset);
    if (!section.FileFontSize.isEmpty())
        s.FileFontSize = ini.ReadString(n, "FileFontSize", d.FileFontSize);
    if (section.HasFNShow)
        s.FNShow = ini.ReadBool(n, "FNShow", true);
    if (section.HasDateShow)
        s.DateShow = ini.ReadBool(n, "DateShow", true);
    if (section.HasRotateCount)
        s.RotateCount = ini.ReadInteger(n, "RotateCount", 0);
    return s;
}

void WritePrintSettings(TIniFile& ini, const TPrintSection& section, const TPrintSettings& s) {
    const QString& n = section.Name;
    ini.WriteInteger(n, "Layout", s.Layout);
    ini.WriteInteger(n, "BackColor", int(s.BackColor));
    ini.WriteString(n, "Title", s.Title);
    ini.WriteInteger(n, "FontColor", int(s.Font.Color));
    ini.WriteString(n, "FontName", s.Font.Name);
    ini.WriteInteger(n, "FontSize", s.Font.Size);
    ini.WriteBool(n, "FontStyleB", s.Font.Bold);
    ini.WriteBool(n, "FontStyleI", s.Font.Italic);
    ini.WriteBool(n, "FontStyleU", s.Font.Underline);
    ini.WriteBool(n, "FontStyleS", s.Font.StrikeOut);
    ini.WriteInteger(n, "FontChar", s.Font.Charset);
    if (!section.FileFontSize.isEmpty())
        ini.WriteString(n, "FileFontSize", s.FileFontSize);
    if (section.HasFNShow)
        ini.WriteBool(n, "FNShow", s.FNShow);
    if (section.HasDateShow)
        ini.WriteBool(n, "DateShow", s.DateShow);
    if (section.HasRotateCount)
        ini.WriteInteger(n, "RotateCount", s.RotateCount);
}

bool PrintSettingsReadOnly(const TIniFile* ini) {
    if (!ini)
        return true;
    const QFileInfo f(ini->FileName());
    // A missing file is created by the first write when its folder may be written.
    return f.exists() ? PIsReadOnlyFile(f.filePath()) : PIsReadOnlyFile(f.path());
}

QColor ColorToQt(TColor color) {
    return ColorToQColor(color);
}

TColor ColorFromQt(const QColor& color) {
    return TColor(color.red()) | (TColor(color.green()) << 8) | (TColor(color.blue()) << 16);
}

QFont FontToQt(const TTitleFont& font) {
    QFont f(font.Name);
    f.setPointSize(font.Size > 0 ? font.Size : 1);
    f.setBold(font.Bold);
    f.setItalic(font.Italic);
    f.setUnderline(font.Underline);
    f.setStrikeOut(font.StrikeOut);
    return f;
}

TTitleFont FontFromQt(const QFont& font, const TTitleFont& like) {
    TTitleFont f = like;
    f.Name = font.family();
    if (font.pointSize() > 0)
        f.Size = font.pointSize();
    else if (font.pointSizeF() > 0)
        f.Size = int(font.pointSizeF() + 0.5);
    f.Bold = font.bold();
    f.Italic = font.italic();
    f.Underline = font.underline();
    f.StrikeOut = font.strikeOut();
    return f;
}

TLRFont FontToLR(const TTitleFont& font) {
    TLRFont f = TLRFont::Points(font.Name, font.Size > 0 ? font.Size : 1);
    f.Bold = font.Bold;
    f.Italic = font.Italic;
    f.Underline = font.Underline;
    f.StrikeOut = font.StrikeOut;
    f.Charset = font.Charset;
    f.Color = font.Color;
    return f;
}

int FileFontSizeOf(const QString& text) {
    int i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    int value = 0;
    if (!TIniFile::ParseInteger(text.mid(i), value))
        return 0;
    return value;
}
