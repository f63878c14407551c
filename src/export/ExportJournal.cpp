// The export journal: its lines appended after an export, and the extracted
// invoices looked up in it. The dialect is JournalFormat's, the values'
// parsers JournalParsers', the index of the table's keys JournalKeys', the
// writing of the lines and the repair of a torn end JournalWriter's.
#include "export/ExportJournal.h"

#include "export/JournalFormat.h"
#include "export/JournalKeys.h"
#include "export/JournalWriter.h"
#include "platform/ProgramFolder.h"
#include "platform/TolmError.h"
#include "records/DateText.h"

#include <QDir>
#include <QFile>
#include <QHash>

namespace {

// Lines read between two progress calls.
constexpr qint64 kLinesPerProgress = 65536;

// The exports (moment and file) that the lines name, numbered as the history
// keeps them. The lines of one export stand together: the last one is
// remembered apart.
class ExportNumbers
{
public:
    explicit ExportNumbers(ExportHistory &history) : m_history(history) {}

    quint32 numberOf(const JournalLine &line)
    {
        const qsizetype momentSize = line.moment.size();
        if (m_last.size() == momentSize + 1 + line.file.size() && m_last.startsWith(line.moment)
            && QByteArrayView(m_last).sliced(momentSize + 1) == line.file)
            return m_lastNumber;
        m_last = line.moment.toByteArray() + '\n' + line.file.toByteArray();
        const auto known = m_numbers.constFind(m_last);
        m_lastNumber = known != m_numbers.cend() ? *known : m_history.addExport(line.day, line.seconds, textOf(line.file));
        m_numbers.insert(m_last, m_lastNumber);
        return m_lastNumber;
    }

private:
    ExportHistory &m_history;
    QHash<QByteArray, quint32> m_numbers;
    QByteArray m_last;
    quint32 m_lastNumber = 0;
};

} // namespace

QString ExportJournal::defaultPath()
{
    return programFolder() + QLatin1String(fileName());
}

ExportHistory ExportJournal::lookUp(const std::vector<InvoiceRecord> &records, int sezionale,
                                    const std::function<void()> &progress) const
{
    ExportHistory history;
    QFile file(m_path);
    if (records.empty() || !file.open(QIODevice::ReadOnly))
        return history;

    if (progress)
        progress();
    KeyLookUp keys(records);
    if (progress)
        progress();
    ExportNumbers exports(history);
    LineReader reader;
    JournalLine line;
    qsizetype unreadable = 0;
    qint64 lines = 0;
    bool first = true;
    forEachLine(file, [&](QByteArrayView text, bool ended) {
        text = withoutLineEnd(text);
        if (first) {
            first = false;
            text = withoutMark(text);
            if (reader.places.takeTitles(text))
                return;
        }
        if (progress && ++lines % kLinesPerProgress == 0)
            progress();
        if (!reader.read(text, line)) {
            // An unfinished last line is the remains of an append that did
            // not end.
            if (ended && !isEmptyRow(text))
                ++unreadable;
            return;
        }
        if (line.sezionale == sezionale && line.apice.size() <= KeyLookUp::kLongestApice)
            keys.add(line.year, line.numero, line.apice, line.total, exports.numberOf(line));
    });
    history.setEntries(keys.finish());
    history.setUnreadableLines(unreadable);
    return history;
}

void ExportJournal::append(const std::vector<InvoiceRecord> &records, const QString &heading,
                           const QString &sezionale, const QString &exportFile, const QDateTime &moment,
                           const QLocale &locale) const
{
    if (records.empty())
        return;
    const QString file = QDir::toNativeSeparators(exportFile);
    const auto failure = appendJournalLines(m_path, records, fieldOf(heading) + ';' + fieldOf(sezionale) + ';',
                                            ';' + fieldOf(file) + ';' + momentText(moment).toLatin1() + kJournalLineEnd,
                                            locale);
    if (!failure)
        return;
    QString text = QStringLiteral("Esportazione scritta in \"%1\", "
                                  "ma non annotata nel registro delle esportazioni \"%2\"")
                       .arg(file, QDir::toNativeSeparators(m_path));
    const QString reason = failure->step == SafeWriteFailure::Step::Locked
                               ? QStringLiteral("un altro Tolm Export, su questo o su un altro computer, "
                                                "sta scrivendo nel registro da più di %1 secondi")
                                     .arg(SafeWriter::kLockWaitSeconds)
                               : failure->reason;
    if (!reason.isEmpty())
        text += QStringLiteral(": ") + reason;
    throw TolmError(text);
}
