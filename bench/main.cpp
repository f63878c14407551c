// tolm-bench <program folder> <first day> <last day> [journal lines]
//
// Measures the data path of the program over the databases that the
// Tolm.ini of <program folder> names (bench/run builds them): extraction
// against a bare fetch loop, export against one plain write, the export
// journal (its append after the export, and the look-up of the extracted
// invoices in a journal of [journal lines] lines, by default as many as
// the invoices), the heap held per invoice, the grid's reset-to-paint time,
// the window's event loop during a read and how soon Escape stops one. Ends
// with the lines invoices=, extract_ratio=, export_ratio=,
// bytes_per_invoice=.
#include "GridPaint.h"
#include "Memory.h"
#include "PlainWrite.h"
#include "RawFetch.h"
#include "SilentPrompter.h"
#include "StopTime.h"
#include "SlowLink.h"
#include "UiGap.h"

#include "firebird/IBDatabase.h"
#include "data/TDataModule1.h"
#include "data/WorkerThreads.h"
#include "export/ExportFile.h"
#include "export/ExportJournal.h"
#include "platform/AnsiCodePage.h"
#include "records/InvoiceChecks.h"
#include "platform/ErrorReport.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "platform/TolmError.h"
#include "settings/TConfigurazione.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {
constexpr int kRuns = 3;

struct Seconds
{
    double wall = 1e300;
    double cpu = 1e300; // the whole process's, engine threads included
};

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

Seconds secondsOf(const std::function<void()> &work)
{
    QElapsedTimer clock;
    const double cpuBefore = processCpuSeconds();
    clock.start();
    work();
    return {double(clock.nsecsElapsed()) / 1e9, processCpuSeconds() - cpuBefore};
}

Seconds best(const Seconds &a, const Seconds &b)
{
    return {std::min(a.wall, b.wall), std::min(a.cpu, b.cpu)};
}

// One warm-up run of each, then kRuns alternating runs; the best of each.
std::pair<Seconds, Seconds> bestOfAlternating(const std::function<void()> &measured,
                                              const std::function<void()> &floor)
{
    measured();
    floor();
    Seconds bestMeasured, bestFloor;
    for (int i = 0; i < kRuns; ++i) {
        bestMeasured = best(bestMeasured, secondsOf(measured));
        bestFloor = best(bestFloor, secondsOf(floor));
    }
    return {bestMeasured, bestFloor};
}

void printLine(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void requireNoMessage(const SilentPrompter &prompter, const char *step)
{
    if (!prompter.messages.isEmpty())
        throw TolmError(QStringLiteral("%1 showed: %2").arg(QLatin1String(step), prompter.messages.join(QStringLiteral(" | "))));
}

// The extraction of the data module against the bare fetch loop over the
// same databases (see bestOfAlternating); both must read the same rows.
std::pair<Seconds, Seconds> againstFetchLoop(TDataModule1 &dm, const RawFetchRequest &request,
                                             const SilentPrompter &prompter, const char *step)
{
    qint64 fetched = 0;
    // Each read attaches and detaches every database itself, as the fetch
    // loop does; the fetch loop reads them one after another.
    const auto times = bestOfAlternating([&] { dm.EstraiDati(1, request.from, request.to); },
                                         [&] { fetched = rawFetch(request); });
    requireNoMessage(prompter, step);
    if (fetched != dm.dxMemDataFatture.size())
        throw TolmError(QStringLiteral("%1: the fetch loop read %2 rows, the extraction %3")
                            .arg(QLatin1String(step))
                            .arg(fetched)
                            .arg(dm.dxMemDataFatture.size()));
    return times;
}

// A folder of its own for a measure on other databases: a Tolm.ini naming
// the configuration database and the patient databases given, with the
// password of the server they are read through.
QString measureFolder(const QString &name, const QString &config, const QStringList &databases,
                      const QString &password)
{
    const QString folder = QDir::temp().filePath(QStringLiteral("tolm-bench-") + name);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QString ini = QStringLiteral("[Config]\nfile=%1\n[Database]\nuser=SYSDBA\npwd=%2\n[File]\n").arg(config, password);
    for (qsizetype i = 0; i < databases.size(); ++i)
        ini += QStringLiteral("%1=%2\n").arg(i + 1).arg(databases[i]);
    ini += QStringLiteral("[AssSezionale]\nAB=1\n");
    QFile file(folder + QStringLiteral("/Tolm.ini"));
    if (!file.open(QIODevice::WriteOnly) || file.write(ini.toUtf8()) < 0)
        throw TolmError(QStringLiteral("cannot write %1").arg(file.fileName()));
    return folder;
}

// The program over the bare fetch loop, both reading the databases of
// netFolder (bench/run's small set) through the tests' server behind a slow
// link: 10 ms each way.
double measureNetRatio(const QString &netFolder, const QDate &from, const QDate &to)
{
    const QString server = qEnvironmentVariable("TOLM_TEST_FB_SERVER");
    const quint16 serverPort = quint16(server.section(QLatin1Char('/'), 1).toUInt());
    SlowLink link(serverPort, 10);
    QStringList databases;
    for (int d = 1; d <= 3; ++d)
        databases << QStringLiteral("127.0.0.1/%1:%2/patients%3.fdb").arg(link.port()).arg(netFolder).arg(d);
    const QString password = qEnvironmentVariable("TOLM_TEST_FB_PASSWORD");
    setProgramFolder(measureFolder(QStringLiteral("net"), netFolder + QStringLiteral("/config.fdb"), databases,
                                   password));
    SilentPrompter prompter;
    TDataModule1 dm;
    requireNoMessage(prompter, "start-up over the slow link");
    RawFetchRequest request;
    request.databases = databases;
    request.user = QByteArrayLiteral("SYSDBA");
    request.password = password.toLatin1();
    request.characterSet = QByteArrayLiteral("ISO8859_1");
    request.from = from;
    request.to = to;
    request.heading = dm.MTableAssIntest.currentSigla().toLatin1();
    const auto [extraction, fetchLoop] = againstFetchLoop(dm, request, prompter, "extraction over the slow link");
    printLine(QStringLiteral("net_extraction_s=%1 net_fetch_loop_s=%2 invoices=%3 (best of %4, 20 ms round trip)")
                  .arg(extraction.wall, 0, 'f', 3).arg(fetchLoop.wall, 0, 'f', 3)
                  .arg(dm.dxMemDataFatture.size()).arg(kRuns));
    return extraction.wall / fetchLoop.wall;
}

// The window while the one patient database's attach waits on a host that
// does not answer: the event loop's longest pause over three seconds, and
// how soon Escape gives the window back.
void measureOffline(const QString &config, const QDate &from, const QDate &to)
{
    const QString offline = qEnvironmentVariable("TOLM_OFFLINE_HOST") + QStringLiteral(":/srv/tolm/pazienti.fdb");
    setProgramFolder(measureFolder(QStringLiteral("offline"), config, {offline}, QString()));
    SilentPrompter prompter;
    TDataModule1 dm;
    const UiGap gap = measureUiGap(dm, from, to, 3000);
    const StopTime stop = measureStop(dm, from, to, 3000);
    requireNoMessage(prompter, "offline read");
    printLine(QStringLiteral("offline_ui_max_gap_ms=%1").arg(gap.maxGapMs, 0, 'f', 1));
    printLine(QStringLiteral("offline_stop_ms=%1").arg(stop.stopMs, 0, 'f', 1));
}


// The journal's look-up and append over the extracted table, against the
// extraction and the export; leaves a journal of journalLines lines.
struct JournalTiming
{
    Seconds lookUp;
    Seconds append;
    qsizetype found = 0;
};

JournalTiming measureJournal(TDataModule1 &dm, qint64 journalLines)
{
    const ExportJournal journal(ExportJournal::defaultPath());
    const std::vector<InvoiceRecord> &records = dm.dxMemDataFatture.records();
    const QString sigla = dm.MTableAssIntest.currentSigla();
    const QString sezionale = dm.MTableAssIntest.currentSezionale();
    const QString file = exportFilePath(dm.configurazione->exportSettings(), sezionale);
    const QDateTime moment = QDateTime::currentDateTime();
    JournalTiming timing;

    // The lines of an export of the whole table, into a new journal each time.
    for (int i = 0; i <= kRuns; ++i) {
        QFile::remove(journal.path());
        const Seconds once = secondsOf([&] { journal.append(records, sigla, sezionale, file, moment); });
        if (i > 0) // the first is the warm-up
            timing.append = best(timing.append, once);
    }
    // The journal grown to its size with exports of another sezionale, whose
    // lines are read but not looked up.
    const QString other = QString::number(sezionale.toInt() + 1);
    for (qint64 lines = qint64(records.size()); lines < journalLines;) {
        const size_t count = size_t(std::min<qint64>(journalLines - lines, qint64(records.size())));
        journal.append(std::vector<InvoiceRecord>(records.begin(), records.begin() + qsizetype(count)), sigla, other,
                       file, moment);
        lines += qint64(count);
    }
    const int number = dm.MTableAssIntest.currentSezionaleNumber();
    for (int i = 0; i <= kRuns; ++i) {
        ExportHistory history;
        const Seconds once = secondsOf([&] { history = journal.lookUp(records, number); });
        timing.found = history.exportedCount();
        if (i > 0)
            timing.lookUp = best(timing.lookUp, once);
    }
    return timing;
}

int run(const QString &folder, const QDate &from, const QDate &to, qint64 journalLines, const QString &netFolder)
{
    SilentPrompter prompter;
    setProgramFolder(folder);
    // The practice's regional settings: the decimal comma in the file.
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    // The extraction and the export are measured without a journal, which
    // the journal's own figures then build.
    QFile::remove(ExportJournal::defaultPath());

    TDataModule1 dm;
    requireNoMessage(prompter, "start-up");
    if (!dm.listDB || dm.listDB->empty() || !dm.MTableAssIntest.hasCurrent())
        throw TolmError(QStringLiteral("Tolm.ini in %1 names no patient database or no heading").arg(folder));
    printLine(QStringLiteral("databases=%1 heading=%2 sezionale=%3 period=%4..%5")
            .arg(dm.listDB->size())
            .arg(dm.MTableAssIntest.currentSigla(), dm.MTableAssIntest.currentSezionale(),
                 from.toString(Qt::ISODate), to.toString(Qt::ISODate)));

    // Memory: an extraction that finds nothing attaches every database and
    // prepares the query; the heap it leaves is the base for the first real
    // extraction into the empty table.
    dm.EstraiDati(1, from.addDays(-30), from.addDays(-1));
    requireNoMessage(prompter, "empty extraction");
    const qint64 heapBefore = Memory::heapInUse();
    const qint64 rssBefore = Memory::residentBytes();
    const double firstExtraction = secondsOf([&] { dm.EstraiDati(1, from, to); }).wall;
    requireNoMessage(prompter, "extraction");
    const qint64 heapAfter = Memory::heapInUse();
    const qint64 rssAfter = Memory::residentBytes();
    const qint64 held = dm.dxMemDataFatture.size();
    if (held == 0)
        throw TolmError(QStringLiteral("the extraction found no invoice"));
    const double bytesPerInvoice = double(heapAfter - heapBefore) / double(held);
    printLine(QStringLiteral("first_extraction_s=%1 (into the empty table)").arg(firstExtraction, 0, 'f', 3));
    printLine(QStringLiteral("heap_growth_bytes=%1 rss_growth_bytes=%2 sizeof_record=%3 rss_per_invoice=%4")
            .arg(heapAfter - heapBefore)
            .arg(rssAfter - rssBefore)
            .arg(sizeof(InvoiceRecord))
            .arg(double(rssAfter - rssBefore) / double(held), 0, 'f', 1));

    // Extraction against the bare fetch loop.
    const ProfileFile ini(settingsFilePath());
    RawFetchRequest request;
    request.databases = ini.sectionValues(QStringLiteral("File"));
    request.user = toAnsi(ini.readString(QStringLiteral("Database"), QStringLiteral("user"), QStringLiteral("SYSDBA")));
    request.password = toAnsi(ini.readString(QStringLiteral("Database"), QStringLiteral("pwd"), QString()));
    request.characterSet = QByteArrayLiteral("ISO8859_1");
    request.from = from;
    request.to = to;
    request.heading = dm.MTableAssIntest.currentSigla().toLatin1();
    const auto [extraction, fetchLoop] = againstFetchLoop(dm, request, prompter, "extraction");
    if (dm.dxMemDataFatture.size() != held)
        throw TolmError(QStringLiteral("the extraction read %1 rows, then %2").arg(held).arg(dm.dxMemDataFatture.size()));
    printLine(QStringLiteral("extraction_s=%1 fetch_loop_s=%2 (best of %3; cpu %4 s and %5 s, ratio %6)")
            .arg(extraction.wall, 0, 'f', 3).arg(fetchLoop.wall, 0, 'f', 3).arg(kRuns)
            .arg(extraction.cpu, 0, 'f', 3).arg(fetchLoop.cpu, 0, 'f', 3)
            .arg(extraction.cpu / fetchLoop.cpu, 0, 'f', 3));

    // The checks the grid shows after an extraction, once over the table.
    Seconds checks;
    qsizetype flagged = 0;
    for (int i = 0; i < kRuns; ++i) {
        checks = best(checks, secondsOf([&] {
                          const InvoiceChecks found(dm.dxMemDataFatture.records());
                          flagged = found.invalidTaxCodeCount() + found.duplicateCount() + found.sameProtocolCount();
                      }));
    }
    printLine(QStringLiteral("checks_s=%1 flagged=%2 (best of %3; %4 of the extraction)")
            .arg(checks.wall, 0, 'f', 3).arg(flagged).arg(kRuns)
            .arg(checks.wall / extraction.wall, 0, 'f', 3));

    // Export against one plain write of the same bytes: the export's own
    // step (what "Esporta" runs before it adds to the journal).
    const ExportSettings settings = dm.configurazione->exportSettings();
    const QString sezionale = dm.MTableAssIntest.currentSezionale();
    const QString exportPath = exportFilePath(settings, sezionale);
    const auto exportFile = [&] { esportafile(dm.dxMemDataFatture, settings, sezionale); };
    exportFile();
    QFile written(exportPath);
    if (!written.open(QIODevice::ReadOnly))
        throw TolmError(QStringLiteral("no export file at %1").arg(exportPath));
    const QByteArray content = written.readAll();
    written.close();
    const QString exportFolder = QFileInfo(exportPath).path();
    const auto [exportTime, plainTime] = bestOfAlternating(
        exportFile, [&] { plainWrite(exportFolder, QStringLiteral("plain-write.csv"), content); });
    printLine(QStringLiteral("export_s=%1 plain_write_s=%2 file_bytes=%3 (best of %4)")
            .arg(exportTime.wall, 0, 'f', 3).arg(plainTime.wall, 0, 'f', 3).arg(content.size()).arg(kRuns));
    QFile::remove(exportFolder + QStringLiteral("/plain-write.csv"));

    // The export journal: the lines of the export appended, and the
    // extracted invoices looked up in a journal of journalLines lines.
    const JournalTiming journal = measureJournal(dm, std::max<qint64>(journalLines, held));
    const qint64 journalBytes = QFileInfo(ExportJournal::defaultPath()).size();
    printLine(QStringLiteral("journal_append_s=%1 lines=%2 (best of %3; %4 of the export's own time)")
            .arg(journal.append.wall, 0, 'f', 3).arg(held).arg(kRuns)
            .arg(journal.append.wall / exportTime.wall, 0, 'f', 3));
    printLine(QStringLiteral("journal_lookup_s=%1 journal_lines=%2 journal_bytes=%3 found=%4 "
                             "(best of %5; %6 of the extraction)")
            .arg(journal.lookUp.wall, 0, 'f', 3).arg(std::max<qint64>(journalLines, held)).arg(journalBytes)
            .arg(journal.found).arg(kRuns).arg(journal.lookUp.wall / extraction.wall, 0, 'f', 3));
    if (journal.found != held)
        throw TolmError(QStringLiteral("the journal gave %1 of %2 invoices").arg(journal.found).arg(held));
    // The extraction as the user meets it, the look-up included.
    const double withJournal = secondsOf([&] { dm.EstraiDati(1, from, to); }).wall;
    requireNoMessage(prompter, "extraction");
    printLine(QStringLiteral("extraction_with_journal_s=%1 (once; marked %2)")
            .arg(withJournal, 0, 'f', 3).arg(dm.dxMemDataFatture.exportHistory().exportedCount()));

    // The grid of the main window.
    const GridTiming grid = measureGridResetPaint(dm, from, to);
    requireNoMessage(prompter, "grid");
    printLine(QStringLiteral("grid_view_reset_ms=%1").arg(grid.viewResetMs, 0, 'f', 1));
    printLine(QStringLiteral("grid_reset_paint_ms=%1").arg(grid.totalMs, 0, 'f', 1));

    // The window during the extraction: the event loop's longest pause.
    const UiGap gap = measureUiGap(dm, from, to);
    requireNoMessage(prompter, "window");
    printLine(QStringLiteral("ui_loop_runs=%1").arg(gap.loopRuns));
    printLine(QStringLiteral("ui_max_gap_ms=%1").arg(gap.maxGapMs, 0, 'f', 1));

    // Escape halfway through the rows of a read of the whole period.
    const StopTime stop = measureStop(dm, from, to, 0, held / 2);
    requireNoMessage(prompter, "stop");
    printLine(QStringLiteral("stop_pressed_at=%1 invoices (%2)").arg(held / 2).arg(stop.progressAtPress));
    // The read's threads end on their own at their next look.
    WorkerThreads::waitForAll(std::chrono::seconds(30));
    printLine(QStringLiteral("stop_ms=%1").arg(stop.stopMs, 0, 'f', 1));

    // The office network, where bench/run gives it: a server behind a slow
    // link, and a host that does not answer.
    double netRatio = -1;
    if (!netFolder.isEmpty() && !qEnvironmentVariableIsEmpty("TOLM_TEST_FB_SERVER"))
        netRatio = measureNetRatio(netFolder, from, to);
    if (!qEnvironmentVariableIsEmpty("TOLM_OFFLINE_HOST"))
        measureOffline(dm.configurazione->FFileConfig, from, to);
    setProgramFolder(folder);

    printLine(QStringLiteral("checks_ms=%1").arg(checks.wall * 1000.0, 0, 'f', 1));
    printLine(QStringLiteral("journal_append_ms=%1").arg(journal.append.wall * 1000.0, 0, 'f', 1));
    printLine(QStringLiteral("journal_ms=%1").arg(journal.lookUp.wall * 1000.0, 0, 'f', 1));
    // The journal of the measures is not kept.
    QFile::remove(ExportJournal::defaultPath());

    if (netRatio >= 0)
        printLine(QStringLiteral("net_ratio=%1").arg(netRatio, 0, 'f', 3));
    // A read stopped while it waited on the host that does not answer ends
    // by the connect time-out: the process ends after it.
    WorkerThreads::waitForAll(std::chrono::seconds(30));
    printLine(QStringLiteral("invoices=%1").arg(held));
    printLine(QStringLiteral("extract_ratio=%1").arg(extraction.wall / fetchLoop.wall, 0, 'f', 3));
    printLine(QStringLiteral("export_ratio=%1").arg(exportTime.wall / plainTime.wall, 0, 'f', 3));
    printLine(QStringLiteral("bytes_per_invoice=%1").arg(bytesPerInvoice, 0, 'f', 1));
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QDate from = QDate::fromString(args.value(2), Qt::ISODate);
    const QDate to = QDate::fromString(args.value(3), Qt::ISODate);
    bool linesGiven = args.size() >= 5;
    const qint64 journalLines = linesGiven ? args.at(4).toLongLong(&linesGiven) : 0;
    if ((args.size() != 4 && !linesGiven) || args.size() > 6 || !from.isValid() || !to.isValid()) {
        std::fprintf(stderr, "usage: tolm-bench <folder with Tolm.ini> <first day yyyy-mm-dd> <last day> "
                             "[journal lines [folder of the databases read over a slow link]]\n");
        return 2;
    }
    try {
        return run(args.at(1), from, to, journalLines, args.value(5));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tolm-bench: %s\n", qPrintable(errorText(error)));
        return 1;
    }
}
