// Fuzz target for the export journal: any bytes stand as the journal found
// beside Tolm.ini, as a hand or a spreadsheet may have left it.
//
// Input: the journal's bytes.
//
// Checked: a look-up of a few invoices finds each at most once and counts no
// more unreadable lines than the journal has; an export's lines appended
// after those bytes keep them up to their last line end (what follows it,
// the remains of an unfinished line, may be cut away or closed with a line
// end), end with a line end, and are found again, the invoice with the
// total it was exported with, whatever titles the journal's first line has.
#include "export/ExportJournal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

[[noreturn]] void fail(const char *what, const QByteArray &journal)
{
    std::fprintf(stderr, "fuzz_journal: %s\njournal: %s\n", what, journal.toPercentEncoding().constData());
    std::abort();
}

void check(bool ok, const char *what, const QByteArray &journal)
{
    if (!ok)
        fail(what, journal);
}

std::vector<InvoiceRecord> invoices()
{
    std::vector<InvoiceRecord> records(3);
    records[0].data = QDate(2025, 1, 15);
    records[0].numero = 7;
    records[0].importo = 1000000;
    records[1].data = QDate(2025, 1, 20);
    records[1].numero = 8;
    records[1].Apice.set("bis ");
    records[1].importo = 125000;
    records[2].data = QDate(2025, 1, 20);
    records[2].numero = 9;
    records[2].Apice.set("\xE8");
    records[2].importo = -100000;
    return records;
}

QString journalPath()
{
    // TOLM_FUZZ_TMP names the folder to work in (tests/fuzz/run sets it);
    // else a tmpfs keeps the many small writes off the disk.
    static std::unique_ptr<QTemporaryDir> folder;
    if (!folder) {
        QString base = qEnvironmentVariable("TOLM_FUZZ_TMP");
        if (base.isEmpty())
            base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        folder = std::make_unique<QTemporaryDir>(base + QStringLiteral("/tolm-fuzz-journal-XXXXXX"));
        if (!folder->isValid())
            fail("no temporary folder", base.toUtf8());
    }
    return folder->filePath(QStringLiteral("TolmRegistro.csv"));
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size)
{
    const QByteArray journal(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = journalPath();
    if (!writeFile(path, journal))
        fail("cannot write the journal", journal);

    const std::vector<InvoiceRecord> records = invoices();
    const ExportJournal reader(path);
    const ExportHistory before = reader.lookUp(records, 1);
    check(before.exportedCount() <= qsizetype(records.size()), "more invoices found than the table holds", journal);
    check(before.unreadableLines() <= journal.count('\n') + 1, "more unreadable lines than lines", journal);

    const QDateTime moment(QDate(2025, 2, 3), QTime(10, 30, 5));
    reader.append(records, QStringLiteral("AB"), QStringLiteral("1"), QStringLiteral("y.csv"), moment,
                  QLocale(QLocale::Italian, QLocale::Italy));
    const QByteArray after = readFile(path);
    check(after.startsWith(journal.left(journal.lastIndexOf('\n') + 1)), "lines before the append changed", journal);
    check(after.endsWith("\r\n"), "the journal does not end with a line end", journal);

    const ExportHistory again = reader.lookUp(records, 1);
    check(again.exportedCount() == qsizetype(records.size()), "an invoice just appended not found", journal);
    for (size_t row = 0; row < records.size(); ++row) {
        const auto exported = again.exportOf(qsizetype(row));
        check(exported && exported->total == records[row].totale() && exported->file == QLatin1String("y.csv")
                  && exported->day == moment.date() && exported->time == moment.time(),
              "an invoice just appended found with another export", journal);
    }
    return 0;
}
