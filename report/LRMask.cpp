#include "LRMask.h"

#include "services/CException.h"

#include <QLocale>
#include <QStringList>
#include <cmath>

namespace {
// Splits a picture into its sections at ";" outside quotes.
QStringList Sections(const QString& format) {
    QStringList out;
    QString current;
    QChar quote;
    for (QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u';') {
            out << current;
            current.clear();
            continue;
        }
        current += c;
    }
    out << current;
    return out;
}

struct TPicture {
    int IntPlaceholders = 0, MinInt = 0, MinDec = 0, MaxDec = 0;
    bool Thousands = false;
    bool HasPlaceholders = false;
};

TPicture Analyse(const QString& section) {
    TPicture p;
    bool inFraction = false, seenZero = false;
    QChar quote;
    for (QChar c : section) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'0' || c == u'#') {
            p.HasPlaceholders = true;
            if (inFraction) {
                ++p.MaxDec;
                if (c == u'0')
                    p.MinDec = p.MaxDec;
            } else {
                ++p.IntPlaceholders;
                if (c == u'0')
                    seenZero = true;
                if (seenZero)
                    ++p.MinInt;
            }
        } else if (c == u'.') {
            inFraction = true;
        } else if (c == u',') {
            if (!inFraction)
                p.Thousands = true;
        }
    }
    return p;
}

QString Apply(const QString& section, double value) {
    const TPicture p = Analyse(section);
    if (!p.HasPlaceholders) {
        QString out;
        QChar quote;
        for (QChar c : section) {
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
                else
                    out += c;
            } else if (c == u'"' || c == u'\'') {
                quote = c;
            } else {
                out += c;
            }
        }
        return out;
    }
    const QString fixed = QString::number(std::fabs(value), 'f', p.MaxDec);
    const int dot = int(fixed.indexOf(u'.'));
    QString intDigits = dot < 0 ? fixed : fixed.left(dot);
    QString frac = dot < 0 ? QString() : fixed.mid(dot + 1);
    while (frac.size() > p.MinDec && frac.endsWith(u'0'))
        frac.chop(1);
    while (intDigits.startsWith(u'0'))
        intDigits.remove(0, 1);
    while (intDigits.size() < p.MinInt)
        intDigits.prepend(u'0');

    QString out;
    int placeholder = 0; // integer placeholders seen
    int fracIndex = 0;
    bool inFraction = false;
    QChar quote;
    const int total = int(intDigits.size());
    auto emitDigit = [&](int position) { // position counted from the right, 0-based
        out += intDigits[total - 1 - position];
        if (p.Thousands && position > 0 && position % 3 == 0)
            out += u',';
    };
    for (QChar c : section) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                out += c;
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
        } else if ((c == u'0' || c == u'#') && !inFraction) {
            const int fromRight = p.IntPlaceholders - 1 - placeholder;
            if (placeholder == 0) {
                for (int pos = total - 1; pos > fromRight; --pos)
                    emitDigit(pos);
            }
            if (fromRight < total)
                emitDigit(fromRight);
            ++placeholder;
        } else if ((c == u'0' || c == u'#') && inFraction) {
            if (fracIndex < frac.size())
                out += frac[fracIndex];
            ++fracIndex;
        } else if (c == u'.') {
            if (!inFraction) {
                inFraction = true;
                if (placeholder == 0) // no integer placeholders: the integer part goes here
                    for (int pos = total - 1; pos >= 0; --pos)
                        if (intDigits != QLatin1String("0") || p.MinInt > 0)
                            emitDigit(pos);
                if (!frac.isEmpty())
                    out += u'.';
            }
        } else if (c == u',') {
            // the separator is placed with the digits
        } else {
            out += c;
        }
    }
    return out;
}
} // namespace

QString FormatFloat(const QString& format, double value) {
    const QStringList sections = Sections(format);
    QString section = sections.value(0);
    bool sign = value < 0;
    const double rounded = std::round(std::fabs(value) * std::pow(10.0, Analyse(section).MaxDec));
    if (value < 0 && sections.size() > 1 && !sections[1].isEmpty()) {
        section = sections[1];
        sign = false;
    }
    if (rounded == 0) {
        sign = false;
        if (sections.size() > 2 && !sections[2].isEmpty())
            section = sections[2];
    }
    if (format.isEmpty())
        return QString::number(value, 'g', 15);
    const QString body = Apply(section, value);
    return sign ? u'-' + body : body;
}

QString FormatMaskText(const QString& editMask, const QString& value) {
    // Split off the keep-literals and blank fields.
    QString mask = editMask;
    bool keepLiterals = true;
    QChar blank = u' ';
    {
        QStringList fields;
        QString current;
        for (int i = 0; i < editMask.size(); ++i) {
            if (editMask[i] == u'\\' && i + 1 < editMask.size()) {
                current += editMask[i];
                current += editMask[++i];
            } else if (editMask[i] == u';') {
                fields << current;
                current.clear();
            } else {
                current += editMask[i];
            }
        }
        fields << current;
        if (fields.size() >= 3) {
            mask = fields.mid(0, fields.size() - 2).join(u';');
            keepLiterals = fields[fields.size() - 2] != QLatin1String("0");
            Q_UNUSED(blank);
        } else if (fields.size() == 2) {
            mask = fields[0];
            keepLiterals = fields[1] != QLatin1String("0");
        }
    }
    enum { None, Upper, Lower } conversion = None;
    QString out;
    int vi = 0;
    for (int i = 0; i < mask.size(); ++i) {
        const QChar c = mask[i];
        if (c == u'!')
            continue;
        if (c == u'>') {
            conversion = Upper;
            continue;
        }
        if (c == u'<') {
            if (i + 1 < mask.size() && mask[i + 1] == u'>') {
                conversion = None;
                ++i;
            } else {
                conversion = Lower;
            }
            continue;
        }
        QChar literal;
        bool isLiteral = true;
        if (c == u'\\' && i + 1 < mask.size()) {
            literal = mask[++i];
        } else if (QStringLiteral("LlAaCc09#").contains(c)) {
            isLiteral = false;
        } else if (c == u'_') {
            literal = u' ';
        } else {
            literal = c;
        }
        if (isLiteral) {
            out += literal;
            if (keepLiterals && vi < value.size() && value[vi] == literal)
                ++vi;
            continue;
        }
        if (vi < value.size()) {
            QChar v = value[vi++];
            if (conversion == Upper)
                v = v.toUpper();
            else if (conversion == Lower)
                v = v.toLower();
            out += v;
        } else {
            out += blank;
        }
    }
    return out;
}

double StrToFloat(const QString& text) {
    bool ok = false;
    const double v = QLocale::c().toDouble(text, &ok);
    if (!ok)
        throw Exception(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return v;
}
