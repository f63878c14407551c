#include "settings/PeriodPresets.h"

#include <QTest>

class TestPeriodPresets : public QObject
{
    Q_OBJECT

private slots:
    void periodo_data();
    void periodo();
};

void TestPeriodPresets::periodo_data()
{
    QTest::addColumn<int>("preset");
    QTest::addColumn<QDate>("oggi");
    QTest::addColumn<QDate>("dal");
    QTest::addColumn<QDate>("al");

    const auto d = [](int y, int m, int g) { return QDate(y, m, g); };
    const QDate mercoledi = d(2025, 11, 12);
    QTest::newRow("0 today") << 0 << mercoledi << mercoledi << mercoledi;
    QTest::newRow("1 this week") << 1 << mercoledi << d(2025, 11, 10) << mercoledi;
    QTest::newRow("2 this month") << 2 << mercoledi << d(2025, 11, 1) << mercoledi;
    QTest::newRow("3 this year") << 3 << mercoledi << d(2025, 1, 1) << mercoledi;
    QTest::newRow("4 yesterday") << 4 << mercoledi << d(2025, 11, 11) << d(2025, 11, 11);
    QTest::newRow("5 last week") << 5 << mercoledi << d(2025, 11, 3) << d(2025, 11, 9);
    QTest::newRow("6 last month") << 6 << mercoledi << d(2025, 10, 1) << d(2025, 10, 31);

    const QDate lunedi = d(2025, 11, 10);
    QTest::newRow("1 on a Monday") << 1 << lunedi << lunedi << lunedi;
    QTest::newRow("5 on a Monday") << 5 << lunedi << d(2025, 11, 3) << d(2025, 11, 9);
    QTest::newRow("1 on a Saturday") << 1 << d(2025, 11, 15) << lunedi << d(2025, 11, 15);

    const QDate primo = d(2025, 12, 1);
    QTest::newRow("2 on the first") << 2 << primo << primo << primo;
    QTest::newRow("4 on the first") << 4 << primo << d(2025, 11, 30) << d(2025, 11, 30);

    const QDate capodanno = d(2026, 1, 1);
    QTest::newRow("3 on 1 January") << 3 << capodanno << capodanno << capodanno;
    QTest::newRow("4 on 1 January") << 4 << capodanno << d(2025, 12, 31) << d(2025, 12, 31);
    QTest::newRow("6 on 1 January") << 6 << capodanno << d(2025, 12, 1) << d(2025, 12, 31);
    QTest::newRow("5 across the year") << 5 << d(2026, 1, 7) << d(2025, 12, 29) << d(2026, 1, 4);

    QTest::newRow("6 March leap year") << 6 << d(2024, 3, 1) << d(2024, 2, 1) << d(2024, 2, 29);
    QTest::newRow("6 end of March leap year") << 6 << d(2024, 3, 31) << d(2024, 2, 1) << d(2024, 2, 29);
    QTest::newRow("6 March 2025") << 6 << d(2025, 3, 15) << d(2025, 2, 1) << d(2025, 2, 28);
    QTest::newRow("6 end of May") << 6 << d(2025, 5, 31) << d(2025, 4, 1) << d(2025, 4, 30);

    const QDate fallback = d(2013, 1, 1);
    QTest::newRow("7") << 7 << mercoledi << fallback << fallback;
    QTest::newRow("-1") << -1 << mercoledi << fallback << fallback;

    // A Sunday belongs to the week that began on the Monday before.
    const QDate domenica = d(2025, 11, 9);
    QTest::newRow("1 on a Sunday") << 1 << domenica << d(2025, 11, 3) << domenica;
    QTest::newRow("5 on a Sunday") << 5 << domenica << d(2025, 10, 27) << d(2025, 11, 2);
}

void TestPeriodPresets::periodo()
{
    QFETCH(int, preset);
    QFETCH(QDate, oggi);
    QFETCH(QDate, dal);
    QFETCH(QDate, al);

    const Period periodo = defaultPeriod(preset, oggi);
    QCOMPARE(periodo.from, dal);
    QCOMPARE(periodo.to, al);
}

QTEST_APPLESS_MAIN(TestPeriodPresets)
#include "test_periodpresets.moc"
