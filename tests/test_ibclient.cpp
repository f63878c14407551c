// The Firebird client layer against real databases: the embedded engine for
// plain paths, the private test server (scripts/firebird-server) for
// connection strings with a host.
#include "firebird/FbClient.h"
#include "firebird/IBDataSet.h"
#include "firebird/IBDatabase.h"
#include "firebird/IBTransaction.h"
#include "firebird/RemoteHost.h"
#include "platform/TolmError.h"
#include "support/FbFixture.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kInvoicesSql = QStringLiteral(
    "select contab.*, (select first 1 BADGE from anagrafica where anagrafica.cf= contab.cf )as badge,"
    "(select first 1  CF_ZAFFRIN from anagrafica where anagrafica.cf= contab.cf )as sogiva "
    "from contab where  tipo=1 and data between :Data1 and  :Data2  and intestazione=:Intest");

// A patient connection as the program builds it: its own transaction,
// linked both ways.
struct Connection
{
    IBDatabase db;
    IBTransaction tr;
    IBDataSet ds;

    explicit Connection(const QString &name, const QString &password = QStringLiteral("masterkey"))
    {
        db.setDatabaseName(name);
        db.Params() << QStringLiteral("user_name=SYSDBA") << QStringLiteral("password=") + password
                    << QStringLiteral("lc_ctype=ISO8859_1");
        tr.Params() << QStringLiteral("read_committed") << QStringLiteral("rec_version") << QStringLiteral("nowait");
        tr.setDefaultDatabase(&db);
        ds.setDatabase(&db);
    }
};

QString openError(IBDatabase &db)
{
    try {
        db.Open();
    } catch (const TolmError &e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

QSet<qint64> numbersBetween(IBDataSet &ds, QDate from, QDate to)
{
    ds.Close();
    ds.setSQL(kInvoicesSql);
    ds.setParamDate(QStringLiteral("Data1"), from);
    ds.setParamDate(QStringLiteral("Data2"), to);
    ds.setParamText(QStringLiteral("Intest"), QStringLiteral("01"));
    QSet<qint64> numbers;
    const int numero = ds.fieldIndex(QStringLiteral("NUMERO"));
    for (ds.Open(); !ds.Eof(); ds.Next())
        numbers << ds.asInteger(numero);
    ds.Close();
    return numbers;
}

} // namespace

class TestIBClient : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir{QStringLiteral("/tmp/tolm-ibclient-XXXXXX")};
    QString m_d3; // dialect 3 patient database
    QString m_d1; // dialect 1 patient database

private slots:
    void initTestCase();

    void openAndClose();
    void emptyNameFailsWithoutClient();
    void dialectThreeSendsDates();
    void dialectOneSendsMidnightTimestamps();
    void askedDialectOne();
    void textKeepsTrailingBlanks();
    void accentedTextIsLatin1();
    void money_data();
    void money();
    void scaledMoney_data();
    void scaledMoney();
    void nullsReadAsEmpty();
    void toPositional_data();
    void toPositional();
    void repeatedParameterBindsTwice();
    void columnsByName();
    void closeCommitsAndDetaches();
    void dataSetsFollowWhatTheyRunOn_data();
    void dataSetsFollowWhatTheyRunOn();
    void emptyTransactionParams();
    void unreachableHost();
    void remoteHostOfName_data();
    void remoteHostOfName();
    void missingFile();
    void serverConnection();
    void wrongPassword();
    void missingFileThroughServer();
    void missingClientLibrary();
};

void TestIBClient::initTestCase()
{
    QVERIFY(m_dir.isValid());
    using FbFixture::Invoice;
    m_d3 = m_dir.filePath(QStringLiteral("pazienti3.fdb"));
    m_d1 = m_dir.filePath(QStringLiteral("pazienti1.fdb"));

    QVERIFY(FbFixture::createPatientDatabase(m_d3, 3));
    QString sql;
    Invoice a;
    a.numero = 1;
    a.data = QDate(2025, 1, 1);
    a.cognome = QStringLiteral("Rossi  ");
    a.cap = QStringLiteral("12");
    a.provincia = QStringLiteral("R");
    a.cf = QStringLiteral("RSSMRA80A01H501U");
    a.importo = QStringLiteral("100.00");
    a.importoTasse = QStringLiteral("2.00");
    a.importoIva = QStringLiteral("22.00");
    a.importoRa = QStringLiteral("20.00");
    sql += FbFixture::insertInvoice(a);
    Invoice b;
    b.numero = 2;
    b.data = QDate(2025, 1, 31);
    b.cognome = QStringLiteral("Niccolò");
    b.citta = QStringLiteral("Perù");
    b.cf = QStringLiteral("NCCLGU70B02F205X");
    b.importo = QStringLiteral("-2.50");
    b.importoTasse = QStringLiteral("2.675"); // NUMERIC(15,2) stores 2.68
    b.importoIva = QStringLiteral("0.01");
    b.importoRa = QStringLiteral("NULL");
    sql += FbFixture::insertInvoice(b);
    Invoice before, after, otherHeading, notInvoice, nulls;
    before.numero = 3;
    before.data = QDate(2024, 12, 31);
    after.numero = 4;
    after.data = QDate(2025, 2, 1);
    otherHeading.numero = 5;
    otherHeading.intestazione = QStringLiteral("02");
    notInvoice.numero = 6;
    notInvoice.tipo = 2;
    nulls.numero = 7;
    nulls.importo = nulls.importoTasse = nulls.importoIva = nulls.importoRa = QStringLiteral("NULL");
    nulls.data = QDate(2025, 3, 1);
    sql += FbFixture::insertInvoice(before) + FbFixture::insertInvoice(after)
        + FbFixture::insertInvoice(otherHeading) + FbFixture::insertInvoice(notInvoice)
        + FbFixture::insertInvoice(nulls);
    sql += FbFixture::insertPatient(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("01234567890"));
    QVERIFY(FbFixture::runSql(m_d3, sql));

    QVERIFY(FbFixture::createPatientDatabase(m_d1, 1));
    Invoice first, last, lastLater, earlier;
    first.numero = 1;
    first.data = QDate(2025, 1, 1);
    first.cf = QStringLiteral("RSSMRA80A01H501U");
    last.numero = 2;
    last.data = QDate(2025, 1, 31);
    last.importo = QStringLiteral("2.675");
    last.importoTasse = QStringLiteral("0.1 + 0.2");
    last.importoIva = QStringLiteral("1234567.89");
    last.importoRa = QStringLiteral("-2.675");
    lastLater.numero = 3;
    lastLater.data = QDate(2025, 1, 31);
    lastLater.ora = QTime(10, 30);
    earlier.numero = 4;
    earlier.data = QDate(2024, 12, 31);
    earlier.ora = QTime(23, 59, 59);
    QVERIFY(FbFixture::runSql(m_d1, FbFixture::insertInvoice(first) + FbFixture::insertInvoice(last)
                                        + FbFixture::insertInvoice(lastLater) + FbFixture::insertInvoice(earlier)
                                        + FbFixture::insertPatient(QStringLiteral("RSSMRA80A01H501U"),
                                                                   QStringLiteral("01234567890"))));
}

void TestIBClient::openAndClose()
{
    Connection c(m_d3);
    QVERIFY(!c.db.Connected());
    QCOMPARE(c.tr.DefaultDatabase(), &c.db);
    QCOMPARE(c.db.DefaultTransaction(), &c.tr);
    c.db.Open();
    QVERIFY(c.db.Connected());
    QCOMPARE(c.db.SQLDialect(), 3);
    QCOMPARE(c.db.DBSQLDialect(), 3);
    c.db.Open(); // already open: nothing happens
    c.db.Close();
    QVERIFY(!c.db.Connected());
    c.db.Close(); // closed: nothing happens
    QVERIFY(!c.db.Connected());
}

void TestIBClient::emptyNameFailsWithoutClient()
{
    Connection c(QString{});
    QCOMPARE(openError(c.db), QStringLiteral("Database name is missing"));
    QVERIFY(!c.db.Connected());
}

void TestIBClient::dialectThreeSendsDates()
{
    Connection c(m_d3);
    c.db.Open();
    QCOMPARE(numbersBetween(c.ds, QDate(2025, 1, 1), QDate(2025, 1, 31)), (QSet<qint64>{1, 2}));
    QCOMPARE(numbersBetween(c.ds, QDate(2025, 1, 31), QDate(2025, 1, 1)), QSet<qint64>{});
}

void TestIBClient::dialectOneSendsMidnightTimestamps()
{
    Connection c(m_d1);
    c.db.Open();
    QCOMPARE(c.db.DBSQLDialect(), 1);
    QCOMPARE(c.db.SQLDialect(), 1);
    // 31 January at 10:30 lies after the last day's midnight; 31 December
    // at 23:59:59 before the first day.
    QCOMPARE(numbersBetween(c.ds, QDate(2025, 1, 1), QDate(2025, 1, 31)), (QSet<qint64>{1, 2}));

    c.ds.setSQL(QStringLiteral("select DATA, CF_ZAFFRIN from contab left join anagrafica "
                               "on anagrafica.cf = contab.cf where numero = :n"));
    c.ds.setParamInteger(QStringLiteral("n"), 3);
    c.ds.Open();
    QVERIFY(!c.ds.Eof());
    QCOMPARE(c.ds.asDate(0), QDate(2025, 1, 31)); // time of day dropped
    c.ds.Close();

    c.ds.setSQL(kInvoicesSql);
    c.ds.setParamDate(QStringLiteral("Data1"), QDate(2025, 1, 1));
    c.ds.setParamDate(QStringLiteral("Data2"), QDate(2025, 1, 1));
    c.ds.setParamText(QStringLiteral("Intest"), QStringLiteral("01"));
    c.ds.Open();
    QVERIFY(!c.ds.Eof());
    QCOMPARE(c.ds.asBytes(QStringLiteral("sogiva")), QByteArrayView("01234567890"));
    QVERIFY(!c.ds.Next());
    QVERIFY(c.ds.Eof());
}

void TestIBClient::askedDialectOne()
{
    Connection c(m_d3);
    c.db.Params() << QStringLiteral("sql_dialect=1");
    c.db.Open();
    QCOMPARE(c.db.DBSQLDialect(), 3);
    QCOMPARE(c.db.SQLDialect(), 1);
    c.ds.setSQL(QStringLiteral("select NUMERO from contab where numero = :n"));
    c.ds.setParamInteger(QStringLiteral("n"), 2);
    c.ds.Open();
    QCOMPARE(c.ds.asInteger(0), 2);
}

void TestIBClient::textKeepsTrailingBlanks()
{
    Connection c(m_d3);
    c.db.Open();
    c.ds.setSQL(QStringLiteral("select COGNOME, CAP, PROVINCIA from contab where numero = 1"));
    c.ds.Open();
    QCOMPARE(c.ds.asBytes(0), QByteArrayView("Rossi  "));  // VARCHAR stored with blanks
    QCOMPARE(c.ds.asBytes(1), QByteArrayView("12   "));    // CHAR(5)
    QCOMPARE(c.ds.asBytes(2), QByteArrayView("R "));       // CHAR(2)
}

void TestIBClient::accentedTextIsLatin1()
{
    Connection c(m_d3);
    c.db.Open();
    c.ds.setSQL(QStringLiteral("select COGNOME, CITTA from contab where cognome = :c"));
    c.ds.setParamText(QStringLiteral("c"), QStringLiteral("Niccolò"));
    c.ds.Open();
    QVERIFY(!c.ds.Eof());
    QCOMPARE(c.ds.asBytes(0), QByteArrayView("Niccol\xF2"));
    QCOMPARE(c.ds.asBytes(1), QByteArrayView("Per\xF9"));
    QCOMPARE(c.ds.asString(1), QStringLiteral("Perù"));
}

void TestIBClient::money_data()
{
    QTest::addColumn<int>("dialect");
    QTest::addColumn<int>("numero");
    QTest::addColumn<QString>("column");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("d3 100.00") << 3 << 1 << "IMPORTO" << qint64(1000000);
    QTest::newRow("d3 -2.50") << 3 << 2 << "IMPORTO" << qint64(-25000);
    QTest::newRow("d3 2.675 stored as 2.68") << 3 << 2 << "IMPORTO_TASSE" << qint64(26800);
    QTest::newRow("d3 0.01") << 3 << 2 << "IMPORTOIVA" << qint64(100);
    QTest::newRow("d3 null") << 3 << 2 << "IMPORTORA" << qint64(0);
    QTest::newRow("d1 double 2.675") << 1 << 2 << "IMPORTO" << qint64(26750);
    QTest::newRow("d1 double 0.1+0.2") << 1 << 2 << "IMPORTO_TASSE" << qint64(3000);
    QTest::newRow("d1 double 1234567.89") << 1 << 2 << "IMPORTOIVA" << qint64(12345678900);
    QTest::newRow("d1 double -2.675") << 1 << 2 << "IMPORTORA" << qint64(-26750);
}

void TestIBClient::money()
{
    QFETCH(int, dialect);
    QFETCH(int, numero);
    QFETCH(QString, column);
    QFETCH(qint64, expected);
    Connection c(dialect == 1 ? m_d1 : m_d3);
    c.db.Open();
    c.ds.setSQL(QStringLiteral("select * from contab where numero = :n"));
    c.ds.setParamInteger(QStringLiteral("n"), numero);
    c.ds.Open();
    QVERIFY(!c.ds.Eof());
    QCOMPARE(c.ds.asMoney(column), expected);
}

void TestIBClient::scaledMoney_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("scale 0") << "cast(5 as numeric(9,0))" << qint64(50000);
    QTest::newRow("smallint scale 1") << "cast(-12.3 as numeric(4,1))" << qint64(-123000);
    QTest::newRow("scale 4") << "cast(1.2345 as numeric(18,4))" << qint64(12345);
    QTest::newRow("scale 5 half up") << "cast(1.23455 as numeric(18,5))" << qint64(12346);
    QTest::newRow("scale 5 half away below 0") << "cast(-1.23455 as numeric(18,5))" << qint64(-12346);
    QTest::newRow("scale 5 down") << "cast(1.23454 as numeric(18,5))" << qint64(12345);
    QTest::newRow("large int64") << "cast(92233720368.54 as numeric(18,2))" << qint64(922337203685400);
    QTest::newRow("float") << "cast(2.675 as float)" << qint64(26750);
    QTest::newRow("integer") << "cast(-7 as integer)" << qint64(-70000);
}

void TestIBClient::scaledMoney()
{
    QFETCH(QString, expression);
    QFETCH(qint64, expected);
    Connection c(m_d3);
    c.db.Open();
    c.ds.setSQL(QStringLiteral("select %1 from rdb$database").arg(expression));
    c.ds.Open();
    QCOMPARE(c.ds.asMoney(0), expected);
}

void TestIBClient::nullsReadAsEmpty()
{
    Connection c(m_d3);
    c.db.Open();
    c.ds.setSQL(QStringLiteral("select COGNOME, CAP, IMPORTO, cast(null as integer) as N, "
                               "cast(null as date) as D from contab where numero = 7"));
    c.ds.Open();
    QVERIFY(!c.ds.Eof());
    for (int i = 0; i < c.ds.fieldCount(); ++i)
        QVERIFY(c.ds.isNull(i));
    QVERIFY(c.ds.asBytes(0).isEmpty());
    QVERIFY(c.ds.asBytes(1).isEmpty());
    QCOMPARE(c.ds.asString(0), QString());
    QCOMPARE(c.ds.asMoney(2), 0);
    QCOMPARE(c.ds.asInteger(3), 0);
    QVERIFY(c.ds.asDate(4).isNull());
}

void TestIBClient::toPositional_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("positional");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("names in order") << "select * from t where a between :Data1 and  :Data2 and b=:Intest"
                                    << "select * from t where a between ? and  ? and b=?"
                                    << QStringList{"Data1", "Data2", "Intest"};
    QTest::newRow("single quotes") << "select ':x', 'it''s :y' from t where a = :z"
                                   << "select ':x', 'it''s :y' from t where a = ?" << QStringList{"z"};
    QTest::newRow("double quotes") << "select \"A:B\" from t where a=:a"
                                   << "select \"A:B\" from t where a=?" << QStringList{"a"};
    QTest::newRow("repeated name") << "where a = :n or b = :n" << "where a = ? or b = ?"
                                   << QStringList{"n", "n"};
    QTest::newRow("comments") << "select 1 -- :a\nfrom t /* :b */ where c=:c"
                              << "select 1 -- :a\nfrom t /* :b */ where c=?" << QStringList{"c"};
    QTest::newRow("lone colon") << "select a : b, :" << "select a : b, :" << QStringList{};
}

void TestIBClient::toPositional()
{
    QFETCH(QString, sql);
    QFETCH(QString, positional);
    QFETCH(QStringList, names);
    QStringList found;
    QCOMPARE(IBDataSet::toPositional(sql, &found), positional);
    QCOMPARE(found, names);
}

void TestIBClient::repeatedParameterBindsTwice()
{
    Connection c(m_d3);
    c.db.Open();
    c.ds.setSQL(QStringLiteral("select NUMERO, ':d' as T from contab where data between :d and :D order by numero"));
    QCOMPARE(c.ds.paramNames(), (QStringList{"d", "D"}));
    c.ds.setParamDate(QStringLiteral("d"), QDate(2025, 1, 31)); // both markers, any case
    c.ds.Open();
    QVERIFY(!c.ds.Eof());
    QCOMPARE(c.ds.asInteger(0), 2);
    QCOMPARE(c.ds.asBytes(1), QByteArrayView(":d"));
    QVERIFY(!c.ds.Next());
    QVERIFY(c.ds.Eof());
    c.ds.Close();
    try {
        c.ds.setParamDate(QStringLiteral("nope"), QDate(2025, 1, 1));
        QFAIL("no error for an unknown parameter");
    } catch (const TolmError &e) {
        QCOMPARE(e.message(), QStringLiteral("Parameter nope not found"));
    }
}

void TestIBClient::columnsByName()
{
    Connection c(m_d3);
    c.db.Open();
    // 48 columns: more than the first description holds.
    c.ds.setSQL(QStringLiteral("select contab.*, contab.*, contab.*, "
                               "(select first 1 CF_ZAFFRIN from anagrafica where anagrafica.cf = contab.cf) as sogiva "
                               "from contab where numero = 1"));
    c.ds.Prepare();
    QCOMPARE(c.ds.fieldCount(), 49);
    QCOMPARE(c.ds.fieldIndex(QStringLiteral("cognome")), c.ds.fieldIndex(QStringLiteral("COGNOME")));
    QCOMPARE(c.ds.findField(QStringLiteral("nope")), -1);
    c.ds.Open();
    QCOMPARE(c.ds.asBytes(QStringLiteral("SOGIVA")), QByteArrayView("01234567890"));
    QCOMPARE(c.ds.asMoney(48 - 16 + 12), 1000000); // IMPORTO of the third copy
    QCOMPARE(c.ds.asDate(QStringLiteral("data")), QDate(2025, 1, 1));
    try {
        c.ds.asInteger(QStringLiteral("nope"));
        QFAIL("no error for an unknown field");
    } catch (const TolmError &e) {
        QCOMPARE(e.message(), QStringLiteral("Field nope not found"));
    }
}

void TestIBClient::closeCommitsAndDetaches()
{
    const QString path = m_dir.filePath(QStringLiteral("commit.fdb"));
    QVERIFY(FbFixture::createPatientDatabase(path));
    {
        Connection c(path);
        c.db.Open();
        c.ds.setSQL(QStringLiteral("select count(*) from contab"));
        c.ds.Open(); // starts the transaction
        QVERIFY(c.tr.InTransaction());
        IBDataSet insert(&c.db);
        insert.setSQL(FbFixture::insertInvoice({}).chopped(2)); // without ";\n"
        insert.ExecSQL();
        c.db.Close();
        QVERIFY(!c.tr.InTransaction());
        QVERIFY(!c.ds.Active());
        QVERIFY(!c.ds.Prepared());
        QVERIFY(!c.db.Connected());

        // Reopening prepares again and sees the committed row.
        c.db.Open();
        c.ds.Open();
        QCOMPARE(c.ds.asInteger(0), 1);
        insert.ExecSQL();
    } // destroyed while open: committed as well
    Connection c(path);
    c.db.Open();
    c.ds.setSQL(QStringLiteral("select count(*) from contab"));
    c.ds.Open();
    QCOMPARE(c.ds.asInteger(0), 2);
}

void TestIBClient::dataSetsFollowWhatTheyRunOn_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("prepared"); // the datasets keep their statements

    QTest::newRow("commit") << "commit" << true;
    QTest::newRow("rollback") << "rollback" << true;
    QTest::newRow("transaction destroyed") << "transaction destroyed" << true;
    QTest::newRow("connection closed") << "connection closed" << false;
    QTest::newRow("connection destroyed") << "connection destroyed" << false;
}

// Two datasets open on one connection and transaction; then either of those
// ends or goes away first.
void TestIBClient::dataSetsFollowWhatTheyRunOn()
{
    QFETCH(QString, step);
    QFETCH(bool, prepared);
    auto db = std::make_unique<IBDatabase>();
    db->setDatabaseName(m_d3);
    db->Params() << QStringLiteral("user_name=SYSDBA") << QStringLiteral("password=masterkey")
                 << QStringLiteral("lc_ctype=ISO8859_1");
    auto tr = std::make_unique<IBTransaction>();
    tr->setDefaultDatabase(db.get());
    db->Open();
    IBDataSet first(db.get());
    IBDataSet second(db.get());
    first.setSQL(QStringLiteral("select NUMERO from contab order by numero"));
    second.setSQL(QStringLiteral("select count(*) from contab"));
    first.Open();
    second.Open();
    QVERIFY(first.Active() && second.Active() && tr->InTransaction());

    if (step == QLatin1String("commit"))
        tr->Commit();
    else if (step == QLatin1String("rollback"))
        tr->Rollback();
    else if (step == QLatin1String("transaction destroyed"))
        tr.reset();
    else if (step == QLatin1String("connection closed"))
        db->Close();
    else
        db.reset();

    for (IBDataSet *ds : {&first, &second}) {
        QVERIFY(!ds->Active());
        QVERIFY(ds->Eof());
        QCOMPARE(ds->Prepared(), prepared);
        QCOMPARE(ds->Database(), db.get());
        QCOMPARE(ds->Transaction(), tr.get());
    }
    if (tr) {
        QVERIFY(!tr->InTransaction());
        QCOMPARE(tr->DefaultDatabase(), db.get());
    }
    if (!db)
        return; // the datasets and the transaction are destroyed unbound

    QCOMPARE(db->DefaultTransaction(), tr.get());
    if (!tr) {
        tr = std::make_unique<IBTransaction>();
        tr->setDefaultDatabase(db.get());
        first.setTransaction(tr.get());
    }
    db->Open();
    first.Open();
    QCOMPARE(first.asInteger(0), 1);
    QVERIFY(tr->InTransaction());
}

void TestIBClient::emptyTransactionParams()
{
    IBDatabase db;
    db.setDatabaseName(m_d3);
    db.Params() << QStringLiteral("user_name=SYSDBA") << QStringLiteral("password=masterkey")
                << QStringLiteral("lc_ctype=ISO8859_1");
    IBTransaction tr;
    tr.setDefaultDatabase(&db); // the link goes both ways
    QCOMPARE(db.DefaultTransaction(), &tr);
    db.Open();
    IBDataSet ds(&db);
    QCOMPARE(ds.Transaction(), &tr);
    ds.setSQL(QStringLiteral("select count(*) from contab"));
    ds.Open();
    QVERIFY(tr.InTransaction());
    QCOMPARE(ds.asInteger(0), 7);
    ds.Close();
    QVERIFY(tr.InTransaction()); // closing the dataset leaves the transaction
    tr.Commit();
    QVERIFY(!tr.InTransaction());
}

void TestIBClient::unreachableHost()
{
    Connection c(QStringLiteral("127.0.0.1/1:") + m_dir.filePath(QStringLiteral("none.fdb")));
    QCOMPARE(openError(c.db), QStringLiteral("Unable to complete network request to host \"127.0.0.1\".\n"
                                             "Failed to establish a connection."));
    QVERIFY(!c.db.Connected());
}

void TestIBClient::remoteHostOfName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected"); // host|service; empty: no server

    QTest::newRow("host:path") << "server:/data/a.fdb" << "server|3050";
    QTest::newRow("host/port:path") << "127.0.0.1/3051:/data/a.fdb" << "127.0.0.1|3051";
    QTest::newRow("host:drive") << "server:C:\\dati\\a.fdb" << "server|3050";
    QTest::newRow("service name") << "server/gds_db:a" << "server|gds_db";
    QTest::newRow("IPv6") << "[::1]:/data/a.fdb" << "::1|3050";
    QTest::newRow("IPv6 with port") << "[::1]/3051:/data/a.fdb" << "::1|3051";
    QTest::newRow("URL") << "inet://server:3052//data/a.fdb" << "server|3052";
    QTest::newRow("URL without port") << "inet4://server/a" << "server|3050";
    QTest::newRow("local path") << "/data/a.fdb" << "";
    QTest::newRow("local path with a colon") << "/data/a:b.fdb" << "";
    QTest::newRow("drive") << "C:\\dati\\a.fdb" << "";
    QTest::newRow("named pipe") << "\\\\server\\dati\\a.fdb" << "";
    QTest::newRow("local protocol") << "xnet://a.fdb" << "";
    QTest::newRow("alias") << "pazienti" << "";
}

void TestIBClient::remoteHostOfName()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const auto remote = remoteHost(name);
    QCOMPARE(remote ? remote->host + QLatin1Char('|') + remote->service : QString(), expected);
}

void TestIBClient::missingFile()
{
    const QString path = m_dir.filePath(QStringLiteral("missing.fdb"));
    Connection c(path);
    QCOMPARE(openError(c.db), QStringLiteral("I/O error during \"open\" operation for file \"%1\"\n"
                                             "Error while trying to open file\n"
                                             "No such file or directory").arg(path));
    QVERIFY(!c.db.Connected());
}

void TestIBClient::serverConnection()
{
    FB_REQUIRE_SERVER();
    const QString path = m_dir.filePath(QStringLiteral("server.fdb"));
    QVERIFY(FbFixture::createPatientDatabase(path));
    QVERIFY(FbFixture::runSql(path, FbFixture::insertInvoice({})));
    Connection c(FbFixture::serverConnectionString(path), FbFixture::serverPassword());
    c.db.Open();
    QCOMPARE(c.db.SQLDialect(), 3);
    QCOMPARE(numbersBetween(c.ds, QDate(2025, 1, 1), QDate(2025, 1, 31)), QSet<qint64>{1});
    c.db.Close();
    QVERIFY(!c.db.Connected());
}

void TestIBClient::wrongPassword()
{
    FB_REQUIRE_SERVER();
    const QString path = m_dir.filePath(QStringLiteral("password.fdb"));
    QVERIFY(FbFixture::createPatientDatabase(path));
    Connection c(FbFixture::serverConnectionString(path), QStringLiteral("wrong"));
    QCOMPARE(openError(c.db), QStringLiteral("Your user name and password are not defined. "
                                             "Ask your database administrator to set up a Firebird login."));
    QVERIFY(!c.db.Connected());
}

void TestIBClient::missingFileThroughServer()
{
    FB_REQUIRE_SERVER();
    const QString path = m_dir.filePath(QStringLiteral("missing-on-server.fdb"));
    Connection c(FbFixture::serverConnectionString(path), FbFixture::serverPassword());
    QCOMPARE(openError(c.db), QStringLiteral("I/O error during \"open\" operation for file \"%1\"\n"
                                             "Error while trying to open file\n"
                                             "No such file or directory").arg(path));
}

void TestIBClient::missingClientLibrary()
{
    const QString name = QStringLiteral("libfbclient-missing.so.9");
    FbClient::setLibraryName(name);
    QString message;
    try {
        IBDatabase db;
    } catch (const TolmError &e) {
        message = e.message();
    }
    FbClient::setLibraryName(QString::fromLatin1(FbClient::kDefaultLibraryName));
    QCOMPARE(message, QStringLiteral("InterBase library libfbclient-missing.so.9 not found in the path. "
                                     "Please install InterBase to use this functionality"));
    Connection c(m_d3); // the real library loads again
    c.db.Open();
    QVERIFY(c.db.Connected());
}

QTEST_GUILESS_MAIN(TestIBClient)
#include "test_ibclient.moc"
