#include "data/DatabaseReader.h"

#include "data/InvoiceColumns.h"
#include "data/TDataModule1.h"
#include "firebird/IBDataSet.h"
#include "firebird/IBDatabase.h"
#include "firebird/IBTransaction.h"
#include "platform/TolmError.h"
#include "records/DateText.h"

#include <optional>

namespace {

// Rows between two looks at stop (a power of two).
constexpr qint64 kRowsPerLook = 256;

// An error of the read that already says where it happened.
class InvoiceError : public TolmError
{
public:
    using TolmError::TolmError;
};

InvoiceError amountOutOfRange(const QString &database, const InvoiceRecord &r, const QString &value)
{
    return InvoiceError(QStringLiteral("Importo fuori intervallo nel database %1, fattura %2 del %3: %4")
                            .arg(database)
                            .arg(r.numero)
                            .arg(dayText(r.data), value));
}

} // namespace

bool DatabaseReader::read(const InvoiceQuery &query, const std::atomic<bool> &stop)
{
    try {
        return readRows(query, stop);
    } catch (const InvoiceError &) {
        throw;
    } catch (const TolmError &error) {
        // Several databases are read at once: say which one failed.
        if (m_database.name.isEmpty())
            throw;
        throw TolmError(QStringLiteral("%1: %2").arg(m_database.name, error.message()));
    }
}

bool DatabaseReader::readRows(const InvoiceQuery &query, const std::atomic<bool> &stop)
{
    IBDatabase database;
    IBTransaction transaction;
    IBDataSet dataset;
    database.setDatabaseName(m_database.name);
    database.Params() = m_database.params;
    transaction.Params() = m_database.transactionParams;
    transaction.setDefaultDatabase(&database);
    dataset.setSQL(QString::fromLatin1(TDataModule1::kExtractionSql));
    dataset.setDatabase(&database);
    dataset.setTransaction(&transaction);

    database.Open();
    if (stop.load(std::memory_order_relaxed))
        return false;
    dataset.setParamDate(QStringLiteral("Data1"), query.from);
    // Where DATA holds a time, the last day counts whole.
    dataset.setParamDate(QStringLiteral("Data2"), query.to, IBDataSet::DayMoment::LastMoment);
    dataset.setParamText(QStringLiteral("Intest"), query.heading);
    dataset.Open();

    const InvoiceColumns columns(dataset);
    InvoiceRecord r;
    r.source = m_source;
    bool stopped = stop.load(std::memory_order_relaxed);
    for (qint64 row = 1; !stopped && !dataset.Eof(); dataset.Next(), ++row) {
        std::optional<QString> outOfRange;
        try {
            columns.read(dataset, r);
        } catch (const AmountOutOfRange &error) {
            outOfRange = error.value();
        }
        if (r.cf.isEmpty())
            m_everyTaxCode = false;
        if (!outOfRange)
            outOfRange = r.totalOutOfRange();
        if (outOfRange)
            throw amountOutOfRange(m_database.name, r, *outOfRange);
        m_staging.append(r);
        m_invoicesRead.fetch_add(1, std::memory_order_relaxed);
        if ((row & (kRowsPerLook - 1)) == 0)
            stopped = stop.load(std::memory_order_relaxed);
    }
    dataset.Close();
    // The program only reads: end the transaction and the attachment now
    // rather than holding the database's oldest active transaction back.
    transaction.Commit();
    database.Close();
    return !stopped;
}
