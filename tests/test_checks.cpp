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
}

namespace {
InvoiceRecord invoice(QDate date, qint32 numero, const char *apice, qint64 importo, const char *cf)
{
    InvoiceRecord r;
    r.data = date;
    r.numero = numero;
    r.Apice.set(apice, qsizetype(qstrlen(apice)));
    r.importo = importo;
    r.cf.set(cf, qsizetype(qstrlen(cf)));
    return r;
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

    QCOMPARE(checks.invalidTaxCodeCount(), 2);
    QCOMPARE(checks.taxCodeProblem(1), TaxCodeProblem::CheckLetter);
    QCOMPARE(checks.taxCodeProblem(4), TaxCodeProblem::CheckDigit);
    QCOMPARE(checks.taxCodeProblem(2), TaxCodeProblem::None); // missing: the red rule's
    QCOMPARE(checks.taxCodeProblem(99), TaxCodeProblem::None);
}

void TestChecks::noDuplicatesNoInvalidCodes()
{
    const InvoiceChecks empty{std::vector<InvoiceRecord>()};
    QCOMPARE(empty.duplicateCount(), 0);
    QCOMPARE(empty.invalidTaxCodeCount(), 0);
    QCOMPARE(empty.duplicateOf(0), -1);
}

QTEST_APPLESS_MAIN(TestChecks)
#include "test_checks.moc"
