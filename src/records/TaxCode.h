#pragma once

#include <QByteArrayView>
#include <QtGlobal>
#include <QString>

// Whether a tax code that is present can be right. Accepted forms, in any
// letter case, blanks around the code ignored:
//   a person's code: 16 characters, six letters, year, month letter, day
//   (1-31, or 41-71 for women), a letter and three characters of the place,
//   and the check letter of the first fifteen; where digits stand, the
//   letters LMNPQRSTUV may stand for 0-9 (codes altered for a homonym);
//   the birth date must exist: 29 February only in a year that is a leap
//   year in the 1900s or the 2000s;
//   a company's code or a VAT number: 11 digits, the last one a check digit,
//   not all the same (00000000000 is a filler, not a code);
//   a foreign patient's code: "STP" or "ENI" and 13 digits.
enum class TaxCodeProblem : quint8 {
    None,
    Empty,          // blanks only
    InnerBlank,     // a blank inside the code
    UnknownForm,    // neither of the forms above
    Month,          // the month letter is not one of ABCDEHLMPRST
    Day,            // the day is no day of a month
    BirthDate,      // no such day in that month (30 February, 31 April ...)
    CheckLetter,    // the check letter does not match
    SameDigits,     // 11 equal digits: a filler
    CheckDigit,     // the check digit of 11 digits does not match
    // Longer in the database than the invoice table's field, so exported
    // cut: known from the record (see InvoiceRecord::cut), never from the
    // text, which holds only what was kept.
    TooLong,
};

// The problem of a tax code held as Windows-1252 bytes; None when it can be
// right. An empty code (missing) is not judged here: it gives None.
TaxCodeProblem taxCodeProblem(QByteArrayView code);

// Why a code is wrong, in Italian, for the grid's tooltip.
QString taxCodeProblemText(TaxCodeProblem problem);
