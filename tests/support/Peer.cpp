// Another Tolm Export on the same program folder, for the tests: started
// beside a test, it does to the shared files what a second program does.
//
//   tolm_peer journal JOURNAL SEZIONALE EXPORTS INVOICES
//       exports EXPORTS times INVOICES invoices of the sezionale into the
//       journal, one export after the other: invoices 1, 2, ... of
//       1 January 2025, under the heading P<sezionale>, into P<sezionale>.csv;
//       it begins when a line comes on its input, so that two begin together
//   tolm_peer hold JOURNAL MILLISECONDS
//       appends Peer::kHeldLine to the journal, but stops halfway through it
//       for that long: meanwhile the journal's lock is held and its last line
//       unfinished. It says "holding" on its output when it stops.
//   tolm_peer settings FOLDER SAVES TAG
//       saves the settings of FOLDER/Tolm.ini SAVES times, every text key of
//       [Generale] set to TAG-n in save n
//
// Exit status 0 when everything was written, else 1 with the messages on its
// error output.
#include "support/Peer.h"

#include "export/ExportJournal.h"
#include "platform/ProgramFolder.h"
#include "platform/SafeWriter.h"
#include "platform/TolmError.h"
#include "settings/TConfigurazione.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

#include <cstdio>
#include <vector>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return 1;
}

int exportInto(const QString &journal, int sezionale, int exports, int invoices)
{
    const QString heading = QStringLiteral("P%1").arg(sezionale);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin))
        return fail(QStringLiteral("no line to begin"));
    for (int e = 0; e < exports; ++e) {
        std::vector<InvoiceRecord> records(static_cast<size_t>(invoices));
        for (int i = 0; i < invoices; ++i) {
            records[size_t(i)].data = QDate(2025, 1, 1);
            records[size_t(i)].numero = e * invoices + i + 1;
            records[size_t(i)].importo = (e * invoices + i + 1) * 100;
        }
        try {
            ExportJournal(journal).append(records, heading, QString::number(sezionale), heading + QStringLiteral(".csv"),
                                          QDateTime::currentDateTime());
        } catch (const TolmError &e) {
            return fail(e.message());
        }
    }
    return 0;
}

int hold(const QString &journal, int milliseconds)
{
    const QByteArrayView line(Peer::kHeldLine);
    const qsizetype half = line.size() / 2;
    const auto failure = SafeWriter(journal).append([&](const SafeWriter::Sink &sink) {
        sink(line.data(), half);
        std::printf("holding\n");
        std::fflush(stdout);
        QThread::msleep(milliseconds);
        sink(line.data() + half, line.size() - half);
    });
    return failure ? fail(QStringLiteral("not written: %1").arg(failure->reason)) : 0;
}

int saveSettings(const QString &folder, int saves, const QString &tag)
{
    setProgramFolder(folder);
    TConfigurazione settings;
    for (int n = 1; n <= saves; ++n) {
        for (const GeneraleKey &key : generaleKeys()) {
            if (key.kind == GeneraleKey::Text)
                settings.setValue(key, QStringLiteral("%1-%2").arg(tag).arg(n));
        }
        try {
            settings.salvaconfig();
        } catch (const TolmError &e) {
            return fail(QStringLiteral("save %1: %2").arg(n).arg(e.message()));
        }
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString command = args.value(1);
    if (command == QLatin1String("journal") && args.size() == 6)
        return exportInto(args[2], args[3].toInt(), args[4].toInt(), args[5].toInt());
    if (command == QLatin1String("hold") && args.size() == 4)
        return hold(args[2], args[3].toInt());
    if (command == QLatin1String("settings") && args.size() == 5)
        return saveSettings(args[2], args[3].toInt(), args[4]);
    return fail(QStringLiteral("usage: tolm_peer journal JOURNAL SEZIONALE EXPORTS INVOICES | "
                               "hold JOURNAL MILLISECONDS | settings FOLDER SAVES TAG"));
}
