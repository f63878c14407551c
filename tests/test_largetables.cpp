// Large invoice tables and the export's rare values: the order of a table
// filled with many records, rows with long codes, full-size fields and
// amounts or dates off the common path, and a content written in pieces.
#include "export/ExportFile.h"
#include "support/ExportSamples.h"
#include "models/InvoiceModel.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <climits>

Q_DECLARE_METATYPE(InvoiceRecord)
Q_DECLARE_METATYPE(ExportSettings)

namespace {
using ExportSamples::codes;
using ExportSamples::kHeader;

const QLocale kItalian(QLocale::Italian, QLocale::Italy);

using ExportSamples::invoice;

QByteArray row(const InvoiceRecord &record, const ExportSettings &settings = codes())
{
    QByteArray content;
    rigafattura(content, record, settings, "3", kItalian);
    return content;
}

// Many invoices over several days, with and without VAT and stamp duty.
InvoiceRecord varied(int i)
{
    InvoiceRecord r = invoice(i % 50, (40 + i % 260) * kMoneyScale + (i % 4) * 2500);
    r.data = QDate(2025, 1, 1).addDays(i / 7);
    r.importoiva = i % 5 == 0 ? r.importo * 22 / 100 : 0;
    r.bollo = i % 3 == 0 ? 2 * kMoneyScale : 0;
    if (i % 9 == 0)
        r.sogiva.set("IT0123456789");
    r.Apice.set(QByteArray::number(i));
    return r;
}
} // namespace

class TestLargeTables : public QObject
{
    Q_OBJECT

private slots:
    void orderOfALargeFilling();
    void appendOutsideAFilling();
    void rowsOffTheCommonPath_data();
    void rowsOffTheCommonPath();
    void contentInPieces();
};

void TestLargeTables::orderOfALargeFilling()
{
    // More records than fit in one block of the filling; many share date
    // and number, some have no date.
    const int count = int(InvoiceTable::kStagingBlock + 10000);
    std::vector<InvoiceRecord> appended;
    for (int i = 0; i < count; ++i) {
        InvoiceRecord r = invoice((i * 37) % 11, 0);
        r.data = i % 101 == 0 ? QDate() : QDate(2024, 1, 1).addDays(qint64(i) * 7919 % 13);
        r.Apice.set(QByteArray::number(i));
        appended.push_back(r);
    }
    InvoiceTable table;
    InvoiceModel model(table);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // Date (no date first), then number, then the order of addition.
    std::vector<InvoiceRecord> expected = appended;
    std::stable_sort(expected.begin(), expected.end(), [](const InvoiceRecord &a, const InvoiceRecord &b) {
        return a.data != b.data ? a.data < b.data : a.numero < b.numero;
    });
    // Twice: the second filling puts its records where the first one's were.
    for (int filling = 1; filling <= 2; ++filling) {
        table.beginFill();
        QCOMPARE(table.size(), qsizetype(0));
        for (const InvoiceRecord &r : appended)
            table.append(r);
        table.endFill();
        QCOMPARE(table.size(), qsizetype(expected.size()));
        QCOMPARE(model.rowCount(), int(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i) {
            if (table.at(qsizetype(i)).Apice.bytes() != expected[i].Apice.bytes())
                QFAIL(qPrintable(QStringLiteral("filling %1: row %2 holds record %3, not %4")
                                     .arg(filling)
                                     .arg(i)
                                     .arg(QString::fromLatin1(table.at(qsizetype(i)).Apice.bytes()),
                                          QString::fromLatin1(expected[i].Apice.bytes()))));
        }
    }

    // A new filling starts from an empty table.
    table.beginFill();
    table.append(invoice(1, 0));
    table.endFill();
    QCOMPARE(table.size(), qsizetype(1));
}

void TestLargeTables::appendOutsideAFilling()
{
    InvoiceTable table;
    InvoiceModel model(table);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    table.reopen();
    table.append(invoice(9, 0));
    table.append(invoice(2, 0));
    QCOMPARE(table.size(), qsizetype(2));
    // The grid hears of every record added.
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(table.at(0).numero, 9);
    QCOMPARE(table.at(1).numero, 2);
}

void TestLargeTables::rowsOffTheCommonPath_data()
{
    QTest::addColumn<InvoiceRecord>("record");
    QTest::addColumn<ExportSettings>("settings");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray customer = "CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n";

    ExportSettings longCodes = codes();
    longCodes.attivita = "ATTIVITA-CON-UN-NOME-MOLTO-LUNGO;E-ALTRO-ANCORA";
    longCodes.inapplicabilita = "INAPPLICABILITA-0123456789-0123456789-0123456789";
    longCodes.contoDare = "CONTO\nDARE-0123456789-0123456789-0123456789";
    QTest::newRow("codes longer than 32 bytes") << invoice(5, 100 * kMoneyScale) << longCodes
        << "ATTIVITA-CON-UN-NOME-MOLTO-LUNGO,E-ALTRO-ANCORA;R;3;061125;5;;1;061125;00000;;0;"
           "INAPPLICABILITA-0123456789-0123456789-0123456789;100;;S1;CONTO DARE-0123456789-0123456789-0123456789;"
           "C1;V1;;;;" + customer;

    InvoiceRecord full = invoice(5, 100 * kMoneyScale);
    full.cf.set("ABCDEFGHIJKLMNO;");
    full.sogiva.set("0123456789012345");
    full.Cognome.set(QByteArray(29, 'c') + ";");
    full.nome.set(QByteArray(30, 'n'));
    full.indirizzo.set(QByteArray(20, 'i') + "\r" + QByteArray(12, 'j') + ";k");
    full.citta.set(QByteArray(24, 't') + "\n");
    QTest::newRow("full-size fields, separators far in") << full << codes()
        << "A1;R;3;061125;5;;1;061125;00000;;0;N4;100;;S1;D1;C1;V1;;;;ABCDEFGHIJKLMNO,;0123456789012345;"
               + QByteArray(29, 'c') + ",=" + QByteArray(30, 'n') + ";" + QByteArray(20, 'i') + " "
               + QByteArray(12, 'j') + ",k;10100;" + QByteArray(24, 't') + " ;TO;N;N;;;;\r\n";

    const QByteArray fee = "A1;R;3;061125;5;;1;061125;00000;;0;N4;";
    const QByteArray codesAndCustomer = ";;S1;D1;C1;V1;;;;" + customer;
    QTest::newRow("more than 15 significant digits") << invoice(5, 1234567890123456789LL) << codes()
        << fee + "123456789012346" + codesAndCustomer;
    QTest::newRow("most negative amount") << invoice(5, LLONG_MIN) << codes()
        << fee + "-922337203685478" + codesAndCustomer;
    QTest::newRow("one ten-thousandth") << invoice(5, 1) << codes() << fee + "0,0001" + codesAndCustomer;
    QTest::newRow("minus a half") << invoice(5, -5000) << codes() << fee + "-0,5" + codesAndCustomer;

    InvoiceRecord year999 = invoice(5, 100 * kMoneyScale);
    year999.data = QDate(999, 3, 4);
    QTest::newRow("year before 1000") << year999 << codes()
        << "A1;R;3;040399;5;;1;040399;00000;;0;N4;100" + codesAndCustomer;
    InvoiceRecord noDate = invoice(5, 100 * kMoneyScale);
    noDate.data = QDate();
    QTest::newRow("no date") << noDate << codes() << "A1;R;3;;5;;1;;00000;;0;N4;100" + codesAndCustomer;
    QTest::newRow("lowest number") << invoice(INT_MIN, 100 * kMoneyScale) << codes()
        << "A1;R;3;061125;-2147483648;;1;061125;00000;;0;N4;100" + codesAndCustomer;
}

void TestLargeTables::rowsOffTheCommonPath()
{
    QFETCH(InvoiceRecord, record);
    QFETCH(ExportSettings, settings);
    QFETCH(QByteArray, expected);
    QCOMPARE(row(record, settings), expected);
}

void TestLargeTables::contentInPieces()
{
    // Enough invoices for the content to be written in several pieces.
    InvoiceTable table;
    table.beginFill();
    for (int i = 0; i < 10000; ++i)
        table.append(varied(i));
    table.endFill();

    QByteArray expected = kHeader;
    for (const InvoiceRecord &r : table.records())
        expected += row(r);
    const QByteArray content = exportContent(table, codes(), "3", kItalian);
    QCOMPARE(content.size(), expected.size());
    QVERIFY(content == expected);

    QTemporaryDir folder;
    ExportSettings settings = codes();
    settings.cartellaEsportazione = folder.path() + "/";
    const QString path = esportafile(table, settings, "3", kItalian);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == expected);
}

QTEST_GUILESS_MAIN(TestLargeTables)
#include "test_largetables.moc"
