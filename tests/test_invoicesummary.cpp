// The figures of the line under the invoice grid: count, the sum of the
// totals (exact, however far it passes 64 bits, then rounded once to a
// double) and the invoices without a tax code.
#include "records/InvoiceSummary.h"

#include <QTest>

#include <cmath>
#include <limits>

namespace {
const qint64 kMax = std::numeric_limits<qint64>::max();
const qint64 kMin = std::numeric_limits<qint64>::min();

// 2^exponent, plus more.
double power(int exponent, double more = 0)
{
    return std::ldexp(1.0, exponent) + more;
}
} // namespace

class TestInvoiceSummary : public QObject
{
    Q_OBJECT

private slots:
    void summary_data();
    void summary();
};

void TestInvoiceSummary::summary_data()
{
    QTest::addColumn<QList<qint64>>("totals");     // one invoice each
    QTest::addColumn<qsizetype>("withoutTaxCode"); // the first ones lack it
    QTest::addColumn<double>("sum");               // ten-thousandths

    using Totals = QList<qint64>;
    QTest::newRow("no invoice") << Totals{} << qsizetype(0) << 0.0;
    QTest::newRow("one invoice") << Totals{1005000} << qsizetype(0) << 1005000.0;
    QTest::newRow("credit note cancels") << Totals{1000000, -1000000, 5} << qsizetype(2) << 5.0;
    QTest::newRow("every invoice without tax code") << Totals{1, 2, 3} << qsizetype(3) << 6.0;
    QTest::newRow("largest total") << Totals{kMax} << qsizetype(0) << power(63);
    QTest::newRow("most negative total") << Totals{kMin} << qsizetype(1) << -power(63);
    QTest::newRow("two largest pass 64 bits") << Totals{kMax, kMax} << qsizetype(0) << power(64);
    QTest::newRow("two most negative pass 64 bits") << Totals{kMin, kMin} << qsizetype(0) << -power(64);
    QTest::newRow("largest and most negative") << Totals{kMax, kMin} << qsizetype(0) << -1.0;
    QTest::newRow("past 64 bits and back") << Totals{kMax, kMax, kMin, kMin, 5} << qsizetype(0) << 3.0;
    // Past 2^65 a double steps by 8192: halfway rounds to the even step.
    QTest::newRow("halfway rounds down to even") << Totals{kMax, kMax, kMax, kMax, 4 + 4096} << qsizetype(0)
                                                 << power(65);
    QTest::newRow("halfway rounds up to even") << Totals{kMax, kMax, kMax, kMax, 4 + 3 * 4096} << qsizetype(0)
                                               << power(65, 2 * 8192);
    QTest::newRow("past halfway rounds up") << Totals{kMax, kMax, kMax, kMax, 4 + 4097} << qsizetype(0)
                                            << power(65, 8192);
    QTest::newRow("negative halfway rounds to even") << Totals{kMin, kMin, kMin, kMin, -4096} << qsizetype(0)
                                                     << -power(65);
}

void TestInvoiceSummary::summary()
{
    QFETCH(QList<qint64>, totals);
    QFETCH(qsizetype, withoutTaxCode);
    QFETCH(double, sum);

    std::vector<InvoiceRecord> records;
    for (const qint64 total : totals) {
        InvoiceRecord r;
        r.importo = total;
        if (qsizetype(records.size()) >= withoutTaxCode)
            r.cf.set("RSSMRA85T10A562S");
        records.push_back(r);
    }

    const InvoiceSummary summary = summarize(records);
    QCOMPARE(summary.invoices, totals.size());
    QCOMPARE(summary.withoutTaxCode, withoutTaxCode);
    // Exact to the last bit, not merely close.
    QVERIFY2(summary.total.toDouble() == sum, qPrintable(QString::number(summary.total.toDouble(), 'g', 17)));
    QVERIFY(summary.totalUnits() == sum / double(kMoneyScale));
}

QTEST_APPLESS_MAIN(TestInvoiceSummary)
#include "test_invoicesummary.moc"
