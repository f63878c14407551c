#pragma once

// The rules by which single values become bytes of the export file: the
// whole-value functions, and the inline piece they share with RowWriter,
// which calls it for every field. Amounts are written by putAmount
// (records/AmountText.h).

#include "records/AmountText.h"
#include "records/InvoiceRecord.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QtGlobal>

// An amount in ten-thousandths in its shortest decimal form with the
// locale's decimal separator: 100, 12,5, -30,25, 0,0001.
QString formatAmount(qint64 amount, const QLocale &locale);

// An amount in ten-thousandths rounded to whole units, a half going to the
// even neighbour: 0,5 gives 0, 1,5 and 2,5 give 2. A stamp-duty row is
// written when this is not zero.
qint64 nearestWholeUnits(qint64 amount);

// Appends one value and its ";" to a line being built. A ";" in the value is
// written as "," and a CR or LF as a blank, so no value can shift the
// columns or break the line.
void aggiungicampo(QByteArray &line, const QByteArray &value);

// A value as aggiungicampo writes it: ";" becomes ",", CR and LF a blank, so
// no value can shift the columns or break the line.
inline void mendField(char *p, qsizetype size)
{
    for (char *end = p + size; p != end; ++p) {
        const char c = *p;
        if (c == ';')
            *p = ',';
        else if (c == '\r' || c == '\n')
            *p = ' ';
    }
}
