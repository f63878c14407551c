#include "settings/ConnectionString.h"

// GCC 12 reports a false "maybe uninitialized" inside std::optional<QString>.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/TestPrompter.h"
#pragma GCC diagnostic pop

#include <QTest>

class TestConnectionString : public QObject
{
    Q_OBJECT

private slots:
    void parseAndWrite_data();
    void parseAndWrite();
};

void TestConnectionString::parseAndWrite_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("malformed");

    const QString bs = QStringLiteral("\\");
    const QString path = QStringLiteral("C:\\dati\\x.fdb");

    QTest::newRow("tcp") << "srv:" + path << "srv" << path << "srv:" + path << false;
    QTest::newRow("tcp with port") << "srv/3051:" + path << "srv/3051" << path << "srv/3051:" + path << false;
    QTest::newRow("tcp empty file") << "srv:" << "srv" << "" << "srv:" << false;
    QTest::newRow("drive letter") << path << "" << path << path << false;
    QTest::newRow("one-letter host is a drive") << "a:C:\\x.fdb" << "" << "a:C:\\x.fdb" << "a:C:\\x.fdb" << false;
    QTest::newRow("bare name") << "pazienti.fdb" << "" << "pazienti.fdb" << "pazienti.fdb" << false;
    QTest::newRow("unix path") << "/dati/x.fdb" << "" << "/dati/x.fdb" << "/dati/x.fdb" << false;
    QTest::newRow("empty") << "" << "" << "" << "" << false;
    QTest::newRow("named pipe") << bs + bs + "srv" + bs + path << "srv" << path << "srv:" + path << false;
    QTest::newRow("named pipe share path") << "\\\\srv\\dati\\x.fdb" << "srv" << "dati\\x.fdb" << "srv:dati\\x.fdb" << false;
    QTest::newRow("spx") << "srv@" + path << "srv" << path << "srv:" + path << false;
    QTest::newRow("at sign without colon is local") << "srv@x.fdb" << "" << "srv@x.fdb" << "srv@x.fdb" << false;

    // A named pipe without a backslash after the host is kept whole.
    QTest::newRow("named pipe without path") << "\\\\srv" << "" << "\\\\srv" << "\\\\srv" << true;
    QTest::newRow("named pipe with colon, no path") << "\\\\srv:C:x.fdb" << "" << "\\\\srv:C:x.fdb"
                                                    << "\\\\srv:C:x.fdb" << true;
    // "@" after the first colon belongs to the file of a TCP text.
    QTest::newRow("at sign in the tcp file") << "srv:C:\\dati\\a@b.fdb" << "srv" << "C:\\dati\\a@b.fdb"
                                             << "srv:C:\\dati\\a@b.fdb" << false;

    // Where host:file would read back as another host or file, the entry
    // keeps its own text.
    QTest::newRow("one-letter pipe host") << "\\\\a\\x.fdb" << "a" << "x.fdb" << "\\\\a\\x.fdb" << false;
    QTest::newRow("one-letter spx host") << "a@x:y" << "a" << "x:y" << "a@x:y" << false;
    QTest::newRow("pipe host with colon") << "\\\\a:b\\x" << "a:b" << "x" << "\\\\a:b\\x" << false;
    QTest::newRow("pipe host with at sign") << "\\\\h@x\\f" << "h@x" << "f" << "\\\\h@x\\f" << false;
    QTest::newRow("empty tcp host") << ":x.fdb" << "" << "x.fdb" << ":x.fdb" << false;
    QTest::newRow("empty spx host") << "@C:\\x" << "" << "C:\\x" << "@C:\\x" << false;

    const QString longHost(60, QLatin1Char('h'));
    const QString longFile = "C:\\" + QString(400, QLatin1Char('f')) + ".fdb";
    QTest::newRow("long host and file held whole") << longHost + ":" + longFile << longHost << longFile
                                                   << longHost + ":" + longFile << false;
    QTest::newRow("accents kept") << "Studio:C:\\Città\\è.fdb" << "Studio" << "C:\\Città\\è.fdb"
                                  << "Studio:C:\\Città\\è.fdb" << false;
}

void TestConnectionString::parseAndWrite()
{
    QFETCH(QString, text);
    QFETCH(QString, host);
    QFETCH(QString, file);
    QFETCH(QString, written);
    QFETCH(bool, malformed);

    TestPrompter prompter;
    const ParsedConnection connection = analizzaconnessione(text);
    QCOMPARE(connection.parts.host, host);
    QCOMPARE(connection.parts.file, file);
    QCOMPARE(confirmedText(connection.parts), written);
    QCOMPARE(connection.malformed, malformed);
    // The parser itself shows nothing: its reader reports a malformed text.
    QVERIFY(prompter.all.isEmpty());
}

QTEST_APPLESS_MAIN(TestConnectionString)
#include "test_connectionstring.moc"
