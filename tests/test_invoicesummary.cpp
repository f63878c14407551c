// The figures of the line under the invoice grid: count, the sum of the
// totals (exact, however far it passes 64 bits) and the invoices without a
// tax code; and the currency text of amounts and sums, worked out without a
// double.
#include "records/InvoiceSummary.h"

#include <QTest>

#include <limits>

namespace {
const qint64 kMax = std::numeric_limits<qint64>::max();
const qint64 kMin = std::numeric_limits<qint64>::min();

const QLocale kItalian(QLocale::Italian, QLocale::Italy);

// An Italian currency text: the amount, a no-break space and the euro sign.
QString euro(const char *amount)
{
    return QString::fromLatin1(amount) + QStringLiteral("\u00A0€");
}
} // namespace

class TestInvoiceSummary : public QObject
{
    Q_OBJECT

private slots:
    void summary_data();
    void summary();
    void currencyAsQtWritesIt_data();
    void currencyAsQtWritesIt();
};

void TestInvoiceSummary::summary_data()
{
    QTest::addColumn<QList<qint64>>("totals");     // one invoice each
    QTest::addColumn<int>("times");                // the totals, so many times over
    QTest::addColumn<qsizetype>("withoutTaxCode"); // the first ones lack it
    QTest::addColumn<QString>("exact");            // the sum with its four decimals
    QTest::addColumn<QString>("currency");         // the sum in Italian currency text

    using Totals = QList<qint64>;
    const qsizetype none = 0;
    QTest::newRow("no invoice") << Totals{} << 1 << none << "0,0000" << euro("0,00");
    QTest::newRow("one invoice") << Totals{1005000} << 1 << none << "100,5000" << euro("100,50");
    QTest::newRow("credit note cancels") << Totals{1000000, -1000000, 5} << 1 << qsizetype(2) << "0,0005"
                                         << euro("0,00");
    QTest::newRow("every invoice without tax code") << Totals{1, 2, 3} << 1 << qsizetype(3) << "0,0006"
                                                    << euro("0,00");
    QTest::newRow("largest total") << Totals{kMax} << 1 << none << "922337203685477,5807"
                                   << euro("922.337.203.685.477,58");
    QTest::newRow("most negative total") << Totals{kMin} << 1 << qsizetype(1) << "-922337203685477,5808"
                                         << "-" + euro("922.337.203.685.477,58");
    QTest::newRow("two largest pass 64 bits") << Totals{kMax, kMax} << 1 << none << "1844674407370955,1614"
                                              << euro("1.844.674.407.370.955,16");
    QTest::newRow("two most negative pass 64 bits") << Totals{kMin, kMin} << 1 << none << "-1844674407370955,1616"
                                                    << "-" + euro("1.844.674.407.370.955,16");
    QTest::newRow("largest and most negative") << Totals{kMax, kMin} << 1 << none << "-0,0001" << euro("0,00");
    QTest::newRow("past 64 bits and back") << Totals{kMax, kMax, kMin, kMin, 5} << 1 << none << "0,0003"
                                           << euro("0,00");
    QTest::newRow("past 64 bits, every digit kept") << Totals{kMax, kMax, kMax, kMax, 4 + 4096} << 1 << none
                                                    << "3689348814741910,7328" << euro("3.689.348.814.741.910,73");
    QTest::newRow("units past 64 bits") << Totals{kMax} << 30000 << none << "27670116110564327421,0000"
                                        << euro("27.670.116.110.564.327.421,00");
    QTest::newRow("negative units past 64 bits") << Totals{kMin} << 30000 << none << "-27670116110564327424,0000"
                                                 << "-" + euro("27.670.116.110.564.327.424,00");
    // Cents rounded half away from zero, exactly.
    QTest::newRow("half a cent up") << Totals{50} << 1 << none << "0,0050" << euro("0,01");
    QTest::newRow("half a cent down") << Totals{-50} << 1 << none << "-0,0050" << "-" + euro("0,01");
    QTest::newRow("below half a cent") << Totals{49} << 1 << none << "0,0049" << euro("0,00");
    QTest::newRow("rounded into the next unit") << Totals{99950} << 1 << none << "9,9950" << euro("10,00");
    QTest::newRow("negative, into the next thousand") << Totals{-9999999950} << 1 << none << "-999999,9950"
                                                      << "-" + euro("1.000.000,00");
}

void TestInvoiceSummary::summary()
{
    QFETCH(QList<qint64>, totals);
    QFETCH(int, times);
    QFETCH(qsizetype, withoutTaxCode);
    QFETCH(QString, exact);
    QFETCH(QString, currency);

    std::vector<InvoiceRecord> records;
    for (int i = 0; i < times; ++i) {
        for (const qint64 total : totals) {
            InvoiceRecord r;
            r.importo = total;
            if (qsizetype(records.size()) >= withoutTaxCode)
                r.cf.set("RSSMRA85T10A562S");
            records.push_back(r);
        }
    }

    const InvoiceSummary summary = summarize(records);
    QCOMPARE(summary.invoices, qsizetype(records.size()));
    QCOMPARE(summary.withoutTaxCode, withoutTaxCode);
    QCOMPARE(exactAmountText(summary.total), exact);
    QCOMPARE(CurrencyFormat(kItalian).text(summary.total), currency);
}

void TestInvoiceSummary::currencyAsQtWritesIt_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<qint64>("amount");

    // Amounts a double holds exactly and that fall on no half of the
    // locale's last decimal: QLocale's own text is then the exact one.
    const QList<QLocale> locales{QLocale::c(),
                                 kItalian,
                                 QLocale(QLocale::English, QLocale::UnitedStates),
                                 QLocale(QLocale::German, QLocale::Switzerland),
                                 QLocale(QLocale::French, QLocale::France),
                                 QLocale(QLocale::Japanese, QLocale::Japan),
                                 QLocale(QLocale::Hindi, QLocale::India),
                                 QLocale(QLocale::Arabic, QLocale::Egypt)};
    for (const QLocale &locale : locales) {
        for (const qint64 amount : {qint64(0), qint64(10000), qint64(-10000), qint64(122500), qint64(-307500),
                                    qint64(12342500), qint64(10000007500), qint64(-123456789012500)})
            QTest::addRow("%s %lld", qPrintable(locale.name()), amount) << locale << amount;
    }
}

void TestInvoiceSummary::currencyAsQtWritesIt()
{
    QFETCH(QLocale, locale);
    QFETCH(qint64, amount);
    QCOMPARE(CurrencyFormat(locale).text(amount), locale.toCurrencyString(double(amount) / double(kMoneyScale)));
}

QTEST_APPLESS_MAIN(TestInvoiceSummary)
#include "test_invoicesummary.moc"
