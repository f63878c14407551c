#pragma once

// The values of the export journal's fields, read as the program writes them
// or as a spreadsheet may have saved them: whole numbers, amounts and the
// moment of an export. Each takes a field's bytes and says whether they
// hold such a value.

#include <QByteArrayView>
#include <QtGlobal>

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The text without the blanks around it.
inline QByteArrayView withoutBlanks(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// Digits as a whole number from min to max, a sign allowed in front; blanks
// around it.
bool parseInteger(QByteArrayView text, qint64 min, qint64 max, qint64 &value);

// An amount in ten-thousandths as the journal writes it (100, 12,5, -30,25)
// or as a spreadsheet may show it: a full stop or a comma as decimal
// separator, the other (or the same, repeated) grouping the thousands, a
// euro sign and blanks around. At most four decimals.
bool parseAmount(QByteArrayView text, qint64 &value);

// The moment of an export as a Julian day and seconds from midnight:
// "dd/MM/yyyy hh:mm:ss" as written, or as a spreadsheet may save it: without
// seconds, digits without their leading zero, a two-digit year, or
// yyyy-MM-dd with a blank or a T before the time.
bool parseMoment(QByteArrayView text, qint64 &day, int &seconds);
