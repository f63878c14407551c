#pragma once

#include <QDate>
#include <QString>
#include <QTime>

#include <optional>

// Real Firebird databases for the tests, built with isql-fb through the
// embedded engine (a plain file path, SYSDBA, no server). Every script runs
// after "SET NAMES UTF8;", so accented literals arrive as characters; text
// columns take the database's character set ISO8859_1.
//
// isql-fb is another process: while the test holds a connection to a file
// through the embedded engine, isql cannot open that file ("Database already
// opened with engine instance, incompatible with current"). Close the
// connection before running SQL on its file.
//
// The functions that run isql-fb return false on failure and print isql's
// output as a warning; lastError() keeps it:
//   QVERIFY(FbFixture::createPatientDatabase(path));
//   QVERIFY(FbFixture::runSql(path, FbFixture::insertInvoice(invoice)));
namespace FbFixture {

// An empty database of that SQL dialect (1 or 3), default character set
// ISO8859_1. An existing file is replaced.
[[nodiscard]] bool createDatabase(const QString &path, int dialect = 3);
// Runs SQL statements (each ended by ";") on the database, then commits.
[[nodiscard]] bool runSql(const QString &path, const QString &sql);
// runSql() for many rows: written without forced writes, as a bulk load,
// which are on again afterwards.
[[nodiscard]] bool bulkLoad(const QString &path, const QString &sql);
// Runs a script of tests/fixtures (e.g. "patients.sql").
[[nodiscard]] bool runScript(const QString &path, const QString &fixtureName);
QString fixturePath(const QString &fixtureName);
QString lastError();

// createDatabase + patients.sql (tables contab and anagrafica).
[[nodiscard]] bool createPatientDatabase(const QString &path, int dialect = 3);
// createDatabase + config.sql (table intestazioni).
[[nodiscard]] bool createConfigDatabase(const QString &path, int dialect = 3);

// An SQL string literal, quotes doubled; nullopt gives NULL.
QString literal(const std::optional<QString> &text);

// One row of contab. Text fields left unset are NULL; amounts are SQL
// numeric literals ("100.00", "-2.5", "NULL").
struct Invoice
{
    int tipo = 1;
    QDate data = QDate(2025, 1, 15);
    QTime ora; // a time of day: only where DATA is a timestamp (dialect 1)
    QString intestazione = QStringLiteral("01");
    std::optional<int> numero = 1;
    std::optional<QString> apice, cognome, nome, cf, indirizzo, cap, citta, provincia;
    QString importo = QStringLiteral("0");
    QString importoTasse = QStringLiteral("0");
    QString importoIva = QStringLiteral("0");
    QString importoRa = QStringLiteral("0");
};
// An invoice of the heading "01": number, date, surname, tax code and amount.
Invoice invoice(int numero, QDate data, const QString &cognome, std::optional<QString> cf,
                const QString &importo = QStringLiteral("0"));
// "INSERT INTO contab (...) VALUES (...);"
QString insertInvoice(const Invoice &invoice);
// `count` invoices of the heading generated inside the engine: numbers 1 to
// count, dates spread over `days` days from firstDay, the same patient
// (with a tax code) in each, importo 100, bollo 2, IVA 22. Thousands of
// rows take a fraction of a second.
QString insertInvoices(int count, const QString &heading = QStringLiteral("01"),
                       QDate firstDay = QDate(2025, 1, 1), int days = 31);
// "INSERT INTO anagrafica (...) VALUES (...);" for a patient with a tax code
// and a VAT number (CF_ZAFFRIN); the other columns get plain values.
QString insertPatient(const QString &cf, const std::optional<QString> &partitaIva);
// "INSERT INTO intestazioni (sigla, descrizione) VALUES (...);"
QString insertHeading(const QString &sigla, const QString &descrizione);

// The private test server (scripts/firebird-server): TOLM_TEST_FB_SERVER
// ("127.0.0.1/3051"), empty when no server runs for the tests.
QString serverAddress();
// TOLM_TEST_FB_PASSWORD, "masterkey" by default.
QString serverPassword();
// "<server>:<path>": the database file through the server. A file opened by
// the server cannot be opened by the embedded engine at the same time, so
// give server tests files of their own.
QString serverConnectionString(const QString &path);

} // namespace FbFixture

// Skips the current test when no test server is running.
#define FB_REQUIRE_SERVER()                                                                      \
    do {                                                                                         \
        if (FbFixture::serverAddress().isEmpty())                                                \
            QSKIP("TOLM_TEST_FB_SERVER is not set: no Firebird server (scripts/firebird-server)"); \
    } while (false)
