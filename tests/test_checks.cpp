// The checks in front of the export: tax codes that cannot be right and
// invoices counted twice.
#include "records/InvoiceChecks.h"
#include "records/TaxCode.h"

#include <QTest>

Q_DECLARE_METATYPE(TaxCodeProblem)

class TestChecks : public QObject
{
    Q_OBJECT

private slots:
    void taxCode_data();
    void taxCode();
    void problemTexts();
    void duplicates();
    void marks_data();
    void marks();
    void noDuplicatesNoInvalidCodes();
};

void TestChecks::taxCode_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<TaxCodeProblem>("problem");

    using P = TaxCodeProblem;
    QTest::newRow("person") << QByteArray("RSSMRA85T10A562S") << P::None;
    QTest::newRow("woman, day + 40") << QByteArray("BNCLRA90A41H501F") << P::None;
    QTest::newRow("lower case") << QByteArray("rssmra85t10a562s") << P::None;
    QTest::newRow("blanks around") << QByteArray("  RSSMRA85T10A562S ") << P::None;
    QTest::newRow("homonym, one letter") << QByteArray("RSSMRA85T10A56NH") << P::None;
    QTest::newRow("homonym, two letters") << QByteArray("RSSMRA85T10A5SNT") << P::None;
    QTest::newRow("homonym, every digit") << QByteArray("RSSMRAURTMLARSNL") << P::None;
    QTest::newRow("wrong check letter") << QByteArray("RSSMRA85T10A562T") << P::CheckLetter;
    QTest::newRow("homonym, wrong check letter") << QByteArray("RSSMRA85T10A56NS") << P::CheckLetter;
    QTest::newRow("wrong month letter") << QByteArray("RSSMRA85F10A562S") << P::Month;
    QTest::newRow("day 32") << QByteArray("RSSMRA85T32A562S") << P::Day;
    QTest::newRow("day 00") << QByteArray("RSSMRA85T00A562S") << P::Day;
    QTest::newRow("letter where a digit stands") << QByteArray("RSSMRA8AT10A562S") << P::UnknownForm;
    QTest::newRow("digit where a letter stands") << QByteArray("RSSMR185T10A562S") << P::UnknownForm;
    QTest::newRow("15 characters") << QByteArray("RSSMRA85T10A562") << P::UnknownForm;
    QTest::newRow("17 characters") << QByteArray("RSSMRA85T10A562SX") << P::UnknownForm;
    QTest::newRow("blank inside") << QByteArray("RSSMRA85 T10A562S") << P::InnerBlank;
    QTest::newRow("blanks only") << QByteArray("   ") << P::Empty;
    QTest::newRow("missing") << QByteArray() << P::None;
    QTest::newRow("11 digits") << QByteArray("12345678903") << P::None;
    QTest::newRow("11 digits, leading zero") << QByteArray("01234567897") << P::None;
    QTest::newRow("11 digits, wrong check digit") << QByteArray("12345678901") << P::CheckDigit;
    QTest::newRow("11 characters, a letter") << QByteArray("1234567890A") << P::UnknownForm;
    QTest::newRow("10 digits") << QByteArray("1234567890") << P::UnknownForm;
    QTest::newRow("STP") << QByteArray("STP1234567890123") << P::None;
    QTest::newRow("ENI, lower case") << QByteArray("eni0000000000001") << P::None;
    QTest::newRow("STP, 12 digits") << QByteArray("STP123456789012") << P::UnknownForm;
    QTest::newRow("STP, a letter") << QByteArray("STP12345678901A3") << P::UnknownForm;
    QTest::newRow("30 February") << QByteArray("RSSMRA85B30A562G") << P::BirthDate;
    QTest::newRow("31 February") << QByteArray("RSSMRA85B31A562F") << P::BirthDate;
    QTest::newRow("31 April") << QByteArray("RSSMRA85D31A562M") << P::BirthDate;
    QTest::newRow("31 June") << QByteArray("RSSMRA85H31A562W") << P::BirthDate;
    QTest::newRow("31 September") << QByteArray("RSSMRA85P31A562I") << P::BirthDate;
    QTest::newRow("31 November") << QByteArray("RSSMRA85S31A562R") << P::BirthDate;
    QTest::newRow("30 April") << QByteArray("RSSMRA85D30A562N") << P::None;
    QTest::newRow("28 February") << QByteArray("RSSMRA85B28A562X") << P::None;
    QTest::newRow("29 February, 85: no leap year") << QByteArray("RSSMRA85B29A562Z") << P::BirthDate;
    QTest::newRow("29 February, 84: leap year") << QByteArray("RSSMRA84B29A562Y") << P::None;
    QTest::newRow("29 February, 00: 2000 a leap year") << QByteArray("RSSMRA00B29A562C") << P::None;
    QTest::newRow("woman, 29 February 85") << QByteArray("RSSMRA85B69A562D") << P::BirthDate;
    QTest::newRow("woman, 29 February 84") << QByteArray("RSSMRA84B69A562C") << P::None;
    QTest::newRow("woman, 30 February") << QByteArray("RSSMRA85B70A562K") << P::BirthDate;
    QTest::newRow("woman, 31 November") << QByteArray("RSSMRA85S71A562V") << P::BirthDate;
    QTest::newRow("woman, 30 November") << QByteArray("RSSMRA85S70A562W") << P::None;
    QTest::newRow("homonym, 29 February 85 in letters") << QByteArray("RSSMRAURBNVA562I") << P::BirthDate;
    QTest::newRow("homonym, 29 February 84 in letters") << QByteArray("RSSMRAUQBNVA562H") << P::None;
    QTest::newRow("homonym, 29 February 87, day in digits") << QByteArray("RSSMRAUTB29A562K") << P::BirthDate;
    QTest::newRow("11 zeros, the check digit fits") << QByteArray("00000000000") << P::SameDigits;
    QTest::newRow("11 nines") << QByteArray("99999999999") << P::SameDigits;
}

void TestChecks::taxCode()
{
    QFETCH(QByteArray, code);
    QFETCH(TaxCodeProblem, problem);
    QCOMPARE(taxCodeProblem(code), problem);
}

void TestChecks::problemTexts()
{
    QCOMPARE(taxCodeProblemText(TaxCodeProblem::CheckLetter),
             QStringLiteral("Codice fiscale non valido: carattere di controllo errato"));
    QCOMPARE(taxCodeProblemText(TaxCodeProblem::None), QString());
    QCOMPARE(taxCodeProblemText(TaxCodeProblem::BirthDate),
             QStringLiteral("Codice fiscale non valido: data di nascita impossibile"));
    QCOMPARE(taxCodeProblemText(TaxCodeProblem::TooLong),
             QStringLiteral("Codice fiscale troppo lungo nel database: esportato tagliato a 16 caratteri"));
}

namespace {
InvoiceRecord invoice(QDate date, qint32 numero, const char *apice, qint64 importo, const char *cf,
                      quint16 source = 0, quint8 cut = 0)
{
    InvoiceRecord r;
    r.data = date;
    r.numero = numero;
    r.Apice.set(apice, qsizetype(qstrlen(apice)));
    r.importo = importo;
    r.cf.set(cf, qsizetype(qstrlen(cf)));
    r.source = source;
    r.cut = cut;
    return r;
}

// The records of marks(), each row commented with what it is there for.
std::vector<InvoiceRecord> markedRecords()
{
    const QDate day(2025, 6, 2);
    const char *cf = "RSSMRA85T10A562S";
    return {
        invoice(day, 10, "A", 100, cf, 0),                                  // 0, 1: Apice as the
        invoice(day, 10, "A ", 100, cf, 1),                                 //   database compares it
        invoice(day, 11, " A", 100, cf),                                    // 2, 3: a blank before
        invoice(day, 11, "A", 100, cf),                                     //   counts
        invoice(day, 20, "", 100, cf, 0),                                   // 4..6: three copies,
        invoice(day, 20, "", 100, cf, 0),                                   //   one of them in
        invoice(day, 20, "", 100, cf, 1),                                   //   another archive
        invoice(day, 30, "", 100, cf),                                      // 7, 8: one protocol,
        invoice(day, 30, "bis", 100, cf),                                   //   two Apice
        invoice(day, 31, "", 100, cf),                                      // 9, 10: invoice and
        invoice(day, 31, "", -100, cf),                                     //   credit note
        invoice(QDate(2024, 12, 30), 40, "", 100, cf),                      // 11, 12: two years
        invoice(QDate(2025, 1, 5), 40, "B", 100, cf),
        invoice(day, 50, "", 100, cf, 0),                                   // 13..15: twice, and
        invoice(day, 50, "", 100, cf, 1),                                   //   a third Apice
        invoice(day, 50, "ter", 100, cf, 0),
        invoice(day, 60, "", 100, cf, 0, InvoiceRecord::CutCf),             // 16: cut to fit
        invoice(day, 61, "", 100, "RSSMRA85T10A562T", 0, InvoiceRecord::CutCf), // 17: cut and wrong
        invoice(day, 62, "", 100, cf, 0, InvoiceRecord::CutSogiva),         // 18: P.Iva cut only
        invoice(day, 70, "", 100, cf, 0),                                   // 19..21: three copies
        invoice(day, 70, "", 100, cf, 0),                                   //   in one archive
        invoice(day, 70, "", 100, cf, 0),
    };
}
} // namespace

void TestChecks::duplicates()
{
    const std::vector<InvoiceRecord> records = {
        invoice(QDate(2025, 1, 3), 1, "", 100, "RSSMRA85T10A562S"),      // 0: twice, with 3
        invoice(QDate(2025, 1, 3), 2, "", 100, "RSSMRA85T10A562T"),      // 1: wrong code
        invoice(QDate(2025, 1, 3), 2, "B", 100, ""),                     // 2: other Apice
        invoice(QDate(2025, 2, 7), 1, "", 250, "12345678903"),           // 3: same year, other day
        invoice(QDate(2024, 12, 30), 1, "", 100, "12345678901"),         // 4: other year; wrong digit
        invoice(QDate(2025, 3, 1), 2, "", -100, ""),                     // 5: credit note, not 1
        invoice(QDate(2025, 4, 1), 7, "X", 5, "STP1234567890123"),       // 6..8: three copies
        invoice(QDate(2025, 4, 1), 7, "X", 5, "STP1234567890123"),
        invoice(QDate(2025, 5, 1), 7, "X", 9, "STP1234567890123"),
    };
    const InvoiceChecks checks(records);

    QCOMPARE(checks.duplicateCount(), 5);
    QCOMPARE(checks.duplicateOf(0), 3);
    QCOMPARE(checks.duplicateOf(3), 0);
    for (qsizetype row : {1, 2, 4, 5})
        QCOMPARE(checks.duplicateOf(row), -1);
    // Every copy names another one.
    for (qsizetype row : {6, 7, 8}) {
        const qsizetype other = checks.duplicateOf(row);
        QVERIFY(other >= 6 && other <= 8 && other != row);
    }

    // Number 2 of 2025 without Apice (invoice and credit note) and with B:
    // one protocol in the import.
    QCOMPARE(checks.sameProtocolCount(), 3);

    QCOMPARE(checks.invalidTaxCodeCount(), 2);
    QCOMPARE(checks.taxCodeProblem(1), TaxCodeProblem::CheckLetter);
    QCOMPARE(checks.taxCodeProblem(4), TaxCodeProblem::CheckDigit);
    QCOMPARE(checks.taxCodeProblem(2), TaxCodeProblem::None); // missing: the red rule's
    QCOMPARE(checks.taxCodeProblem(99), TaxCodeProblem::None);
}

void TestChecks::marks_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<TaxCodeProblem>("problem");
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("duplicateOf");    // -1: none
    QTest::addColumn<int>("sameProtocolAs"); // -1: none

    using P = TaxCodeProblem;
    QTest::newRow("Apice and Apice with a trailing blank: one invoice") << 0 << P::None << 2 << 1 << -1;
    QTest::newRow("the copy with the trailing blank") << 1 << P::None << 2 << 0 << -1;
    QTest::newRow("a leading blank makes another Apice") << 2 << P::None << 1 << -1 << 3;
    QTest::newRow("three copies: the other archive first, not the next copy") << 4 << P::None << 3 << 6 << -1;
    QTest::newRow("three copies: the second names the other archive too") << 5 << P::None << 3 << 6 << -1;
    QTest::newRow("three copies: the copy in the other archive") << 6 << P::None << 3 << 4 << -1;
    QTest::newRow("without Apice, the same protocol as with one") << 7 << P::None << 1 << -1 << 8;
    QTest::newRow("with Apice, the same protocol as without") << 8 << P::None << 1 << -1 << 7;
    QTest::newRow("invoice and credit note of one number: neither") << 9 << P::None << 1 << -1 << -1;
    QTest::newRow("another year, another Apice: neither") << 12 << P::None << 1 << -1 << -1;
    QTest::newRow("counted twice and sharing a protocol") << 13 << P::None << 2 << 14 << 15;
    QTest::newRow("the third Apice names the first") << 15 << P::None << 1 << -1 << 13;
    QTest::newRow("tax code cut, the rest a right code") << 16 << P::TooLong << 1 << -1 << -1;
    QTest::newRow("tax code cut: that before a wrong check letter") << 17 << P::TooLong << 1 << -1 << -1;
    QTest::newRow("only the P.Iva cut: the tax code is right") << 18 << P::None << 1 << -1 << -1;
    QTest::newRow("three copies in one archive: the next copy") << 20 << P::None << 3 << 21 << -1;
    QTest::newRow("three copies in one archive: the last names the first") << 21 << P::None << 3 << 19 << -1;
}

void TestChecks::marks()
{
    QFETCH(int, row);
    QFETCH(TaxCodeProblem, problem);
    QFETCH(int, copies);
    QFETCH(int, duplicateOf);
    QFETCH(int, sameProtocolAs);
    const InvoiceChecks checks(markedRecords());
    QCOMPARE(checks.taxCodeProblem(row), problem);
    QCOMPARE(checks.copyCount(row), copies);
    QCOMPARE(checks.duplicateOf(row), duplicateOf);
    QCOMPARE(checks.sameProtocolAs(row), sameProtocolAs);
}

void TestChecks::noDuplicatesNoInvalidCodes()
{
    const InvoiceChecks empty{std::vector<InvoiceRecord>()};
    QCOMPARE(empty.duplicateCount(), 0);
    QCOMPARE(empty.invalidTaxCodeCount(), 0);
    QCOMPARE(empty.duplicateOf(0), -1);
    QCOMPARE(empty.sameProtocolCount(), 0);
    QCOMPARE(empty.sameProtocolAs(0), -1);
    QCOMPARE(empty.copyCount(0), 1);
}

QTEST_APPLESS_MAIN(TestChecks)
#include "test_checks.moc"
