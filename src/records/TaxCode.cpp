#include "records/TaxCode.h"

#include "records/InvoiceRecord.h"

#include <algorithm>
#include <array>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isLetter(char c)
{
    return c >= 'A' && c <= 'Z';
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// The digit a character stands for where a person's code has a digit: the
// digit itself, or the letter that replaced it in a homonym's code; -1 for
// anything else.
int homonymDigit(char c)
{
    if (isDigit(c))
        return c - '0';
    static constexpr char kLetters[] = "LMNPQRSTUV";
    for (int i = 0; i < 10; ++i) {
        if (kLetters[i] == c)
            return i;
    }
    return -1;
}

// Values of the characters in odd places (first, third, ...) for the
// check letter; digits count as the letter of the same place in the
// alphabet (0 as A, 1 as B ...).
constexpr std::array<int, 26> kOddValues = {1,  0,  5,  7,  9,  13, 15, 17, 19, 21, 2,  4,  18,
                                            20, 11, 3,  6,  8,  12, 14, 16, 10, 22, 25, 24, 23};

int alphabetIndex(char c)
{
    return isDigit(c) ? c - '0' : c - 'A';
}

// The month a person's code writes with this letter, 1-12; 0 for a letter
// that stands for no month.
int monthOf(char letter)
{
    static constexpr char kMonths[] = "ABCDEHLMPRST";
    for (int i = 0; i < 12; ++i) {
        if (kMonths[i] == letter)
            return i + 1;
    }
    return 0;
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Whether day (1-31) exists in month of a year written with two digits:
// 29 February when either of the centuries those digits can stand for
// makes the year a leap year.
bool birthDateExists(int twoDigitYear, int month, int day)
{
    switch (month) {
    case 2:
        return day <= 28 || (day == 29 && (isLeapYear(1900 + twoDigitYear) || isLeapYear(2000 + twoDigitYear)));
    case 4:
    case 6:
    case 9:
    case 11:
        return day <= 30;
    default:
        return true;
    }
}

TaxCodeProblem personProblem(const char *code)
{
    for (int i = 0; i < 6; ++i) {
        if (!isLetter(code[i]))
            return TaxCodeProblem::UnknownForm;
    }
    for (int i : {6, 7, 9, 10, 12, 13, 14}) {
        if (homonymDigit(code[i]) < 0)
            return TaxCodeProblem::UnknownForm;
    }
    if (!isLetter(code[8]) || !isLetter(code[11]) || !isLetter(code[15]))
        return TaxCodeProblem::UnknownForm;
    if (monthOf(code[8]) == 0)
        return TaxCodeProblem::Month;
    const int day = homonymDigit(code[9]) * 10 + homonymDigit(code[10]);
    if (!((day >= 1 && day <= 31) || (day >= 41 && day <= 71)))
        return TaxCodeProblem::Day;
    const int year = homonymDigit(code[6]) * 10 + homonymDigit(code[7]);
    if (!birthDateExists(year, monthOf(code[8]), day > 40 ? day - 40 : day))
        return TaxCodeProblem::BirthDate;
    int sum = 0;
    for (int i = 0; i < 15; ++i) {
        const int index = alphabetIndex(code[i]);
        sum += i % 2 == 0 ? kOddValues[size_t(index)] : index;
    }
    return code[15] == char('A' + sum % 26) ? TaxCodeProblem::None : TaxCodeProblem::CheckLetter;
}

TaxCodeProblem numericProblem(const char *code)
{
    if (std::all_of(code + 1, code + 11, [code](char c) { return c == code[0]; }))
        return TaxCodeProblem::SameDigits;
    int sum = 0;
    for (int i = 0; i < 10; ++i) {
        const int digit = code[i] - '0';
        if (i % 2 == 0) {
            sum += digit;
        } else {
            const int twice = digit * 2;
            sum += twice > 9 ? twice - 9 : twice;
        }
    }
    return code[10] - '0' == (10 - sum % 10) % 10 ? TaxCodeProblem::None : TaxCodeProblem::CheckDigit;
}

} // namespace

TaxCodeProblem taxCodeProblem(QByteArrayView code)
{
    if (code.isEmpty())
        return TaxCodeProblem::None;
    qsizetype first = 0;
    qsizetype end = code.size();
    while (first < end && code[first] == ' ')
        ++first;
    while (end > first && code[end - 1] == ' ')
        --end;
    if (first == end)
        return TaxCodeProblem::Empty;
    for (qsizetype i = first; i < end; ++i) {
        if (code[i] == ' ' || code[i] == '\t')
            return TaxCodeProblem::InnerBlank;
    }
    const qsizetype length = end - first;
    if (length != 11 && length != 16)
        return TaxCodeProblem::UnknownForm;
    char text[16];
    bool allDigits = true;
    for (qsizetype i = 0; i < length; ++i) {
        text[i] = upper(code[first + i]);
        allDigits = allDigits && isDigit(text[i]);
    }
    if (length == 11 && allDigits)
        return numericProblem(text);
    if (length == 16 && ((text[0] == 'S' && text[1] == 'T' && text[2] == 'P')
                         || (text[0] == 'E' && text[1] == 'N' && text[2] == 'I'))) {
        bool digits = true;
        for (int i = 3; i < 16; ++i)
            digits = digits && isDigit(text[i]);
        if (digits)
            return TaxCodeProblem::None;
    }
    if (length == 16)
        return personProblem(text);
    return TaxCodeProblem::UnknownForm; // 11 characters that are not all digits
}

QString taxCodeProblemText(TaxCodeProblem problem)
{
    const QString prefix = QStringLiteral("Codice fiscale non valido: ");
    switch (problem) {
    case TaxCodeProblem::None: return {};
    case TaxCodeProblem::Empty: return prefix + QStringLiteral("solo spazi");
    case TaxCodeProblem::InnerBlank: return prefix + QStringLiteral("spazi all'interno del codice");
    case TaxCodeProblem::UnknownForm: return prefix + QStringLiteral("formato non riconosciuto");
    case TaxCodeProblem::Month: return prefix + QStringLiteral("lettera del mese errata");
    case TaxCodeProblem::Day: return prefix + QStringLiteral("giorno di nascita errato");
    case TaxCodeProblem::BirthDate: return prefix + QStringLiteral("data di nascita impossibile");
    case TaxCodeProblem::CheckLetter: return prefix + QStringLiteral("carattere di controllo errato");
    case TaxCodeProblem::SameDigits: return prefix + QStringLiteral("cifre tutte uguali");
    case TaxCodeProblem::CheckDigit: return prefix + QStringLiteral("cifra di controllo errata");
    case TaxCodeProblem::TooLong:
        return QStringLiteral("Codice fiscale troppo lungo nel database: esportato tagliato a %1 caratteri")
            .arg(decltype(InvoiceRecord::cf)::capacity);
    }
    return {};
}
