#include "support/FbFixture.h"

#include "platform/TolmError.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace FbFixture {
namespace {

QString g_lastError;

// QTest reports an exception that escapes a test function without its text
// and then ends the program: show the text first.
[[noreturn]] void reportUncaught()
{
    if (std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "Uncaught exception: %s\n", qPrintable(errorText(e)));
        } catch (...) {
        }
    }
    std::abort();
}

const bool g_terminateHandlerSet = (std::set_terminate(reportUncaught), true);

QString isqlProgram()
{
    return QStringLiteral("isql-fb");
}

bool fail(const QString &text)
{
    g_lastError = text;
    qWarning().noquote() << "FbFixture:" << text;
    return false;
}

// Runs a Firebird tool through the embedded engine; false, with its output
// kept, when it fails or writes "Statement failed".
bool runTool(const QString &program, const QStringList &arguments, const QString &shown)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    if (!tool.waitForStarted())
        return fail(QStringLiteral("cannot start %1: %2").arg(program, tool.errorString()));
    tool.waitForFinished(120000);
    const QString output = QString::fromUtf8(tool.readAll());
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0
        || output.contains(QLatin1String("Statement failed")))
        return fail(QStringLiteral("%1 failed (%2):\n%3\n--- %4 ---\n%5")
                        .arg(program)
                        .arg(tool.exitCode())
                        .arg(output, arguments.join(QLatin1Char(' ')), shown));
    g_lastError.clear();
    return true;
}

// Runs an isql script through the embedded engine.
bool runIsql(const QString &script)
{
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/tolm-fixture-XXXXXX.sql"));
    if (!file.open())
        return fail(QStringLiteral("cannot write a temporary script"));
    file.write(script.toUtf8());
    file.close();
    return runTool(isqlProgram(), {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-i"), file.fileName()},
                   script);
}

bool setForcedWrites(const QString &path, bool on)
{
    return runTool(QStringLiteral("gfix"),
                   {QStringLiteral("-write"), on ? QStringLiteral("sync") : QStringLiteral("async"),
                    QStringLiteral("-user"), QStringLiteral("SYSDBA"), QStringLiteral("-password"),
                    QStringLiteral("masterkey"), path},
                   QString());
}

QString connectLine(const QString &path)
{
    return QStringLiteral("SET NAMES UTF8;\nCONNECT %1 USER 'SYSDBA' PASSWORD 'masterkey';\n").arg(literal(path));
}

} // namespace

QString lastError()
{
    return g_lastError;
}

QString literal(const std::optional<QString> &text)
{
    if (!text)
        return QStringLiteral("NULL");
    QString quoted = *text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString fixturePath(const QString &fixtureName)
{
    return QStringLiteral(TOLM_FIXTURES_DIR) + QLatin1Char('/') + fixtureName;
}

bool createDatabase(const QString &path, int dialect)
{
    if (QFile::exists(path) && !QFile::remove(path))
        return fail(QStringLiteral("cannot remove %1").arg(path));
    return runIsql(QStringLiteral("SET SQL DIALECT %1;\nSET NAMES UTF8;\n"
                                  "CREATE DATABASE %2 USER 'SYSDBA' PASSWORD 'masterkey' "
                                  "PAGE_SIZE 8192 DEFAULT CHARACTER SET ISO8859_1;\nCOMMIT;\n")
                       .arg(dialect)
                       .arg(literal(path)));
}

bool runSql(const QString &path, const QString &sql)
{
    return runIsql(connectLine(path) + sql + QStringLiteral("\nCOMMIT;\n"));
}

bool bulkLoad(const QString &path, const QString &sql)
{
    return setForcedWrites(path, false) && runSql(path, sql) && setForcedWrites(path, true);
}

bool runScript(const QString &path, const QString &fixtureName)
{
    QFile file(fixturePath(fixtureName));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1").arg(file.fileName()));
    return runSql(path, QString::fromUtf8(file.readAll()));
}

bool createPatientDatabase(const QString &path, int dialect)
{
    return createDatabase(path, dialect) && runScript(path, QStringLiteral("patients.sql"));
}

bool createConfigDatabase(const QString &path, int dialect)
{
    return createDatabase(path, dialect) && runScript(path, QStringLiteral("config.sql"));
}

Invoice invoice(int numero, QDate data, const QString &cognome, std::optional<QString> cf, const QString &importo)
{
    Invoice i;
    i.numero = numero;
    i.data = data;
    i.cognome = cognome;
    i.cf = cf;
    i.importo = importo;
    return i;
}

QString insertInvoice(const Invoice &invoice)
{
    QString when = invoice.data.toString(Qt::ISODate);
    if (invoice.ora.isValid())
        when += QLatin1Char(' ') + invoice.ora.toString(QStringLiteral("HH:mm:ss"));
    return QStringLiteral("INSERT INTO contab (TIPO, DATA, INTESTAZIONE, NUMERO, APICE, COGNOME, NOME, CF, "
                          "INDIRIZZO, CAP, CITTA, PROVINCIA, IMPORTO, IMPORTO_TASSE, IMPORTOIVA, IMPORTORA) "
                          "VALUES (%1, %2, %3, %4, %5, %6, %7, %8, %9, %10, %11, %12, %13, %14, %15, %16);\n")
        .arg(QString::number(invoice.tipo), literal(when), literal(invoice.intestazione),
             invoice.numero ? QString::number(*invoice.numero) : QStringLiteral("NULL"),
             literal(invoice.apice), literal(invoice.cognome), literal(invoice.nome), literal(invoice.cf),
             literal(invoice.indirizzo))
        .arg(literal(invoice.cap), literal(invoice.citta), literal(invoice.provincia), invoice.importo,
             invoice.importoTasse, invoice.importoIva, invoice.importoRa);
}

QString insertInvoices(int count, const QString &heading, QDate firstDay, int days)
{
    return QStringLiteral(
               "SET TERM ^ ;\n"
               "EXECUTE BLOCK AS DECLARE i INTEGER = 0;\nBEGIN\n  WHILE (i < %1) DO BEGIN\n"
               "    INSERT INTO contab (TIPO, DATA, INTESTAZIONE, NUMERO, COGNOME, NOME, CF, INDIRIZZO, CAP, CITTA,\n"
               "      PROVINCIA, IMPORTO, IMPORTO_TASSE, IMPORTOIVA, IMPORTORA)\n"
               "    VALUES (1, DATEADD(MOD(:i, %4) DAY TO DATE %3), %2, :i + 1, 'Rossi', 'Mario',\n"
               "      'RSSMRA80A01H501U', 'Via Roma 1', '20100', 'Milano', 'MI', 100, 2, 22, 0);\n"
               "    i = i + 1;\n  END\nEND^\nSET TERM ; ^\n")
        .arg(count)
        .arg(literal(heading), literal(firstDay.toString(Qt::ISODate)))
        .arg(days);
}

QString insertPatient(const QString &cf, const std::optional<QString> &partitaIva)
{
    return QStringLiteral("INSERT INTO anagrafica (CF, BADGE, TELEFONO, EMAIL, ESCLUSO_ELENCO, CF_ZAFFRIN, "
                          "CODICE_CLIENTE) VALUES (%1, 'B1', '0612345678', 'paziente@example.com', 0, %2, 'C1');\n")
        .arg(literal(cf), literal(partitaIva));
}

QString insertHeading(const QString &sigla, const QString &descrizione)
{
    return QStringLiteral("INSERT INTO intestazioni (sigla, descrizione) VALUES (%1, %2);\n")
        .arg(literal(sigla), literal(descrizione));
}

QString serverAddress()
{
    return qEnvironmentVariable("TOLM_TEST_FB_SERVER");
}

QString serverPassword()
{
    const QString password = qEnvironmentVariable("TOLM_TEST_FB_PASSWORD");
    return password.isEmpty() ? QStringLiteral("masterkey") : password;
}

QString serverConnectionString(const QString &path)
{
    return serverAddress() + QLatin1Char(':') + path;
}

} // namespace FbFixture
