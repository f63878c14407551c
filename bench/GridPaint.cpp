#include "GridPaint.h"

#include "app/TFormMain.h"
#include "data/TDataModule1.h"
#include "platform/TolmError.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QEvent>
#include <QTableView>
#include <QWindow>

namespace {
// Notes that a paint event reached the watched widget.
class PaintWatcher : public QObject
{
public:
    bool seen = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            seen = true;
        return QObject::eventFilter(watched, event);
    }
};

// Runs the event loop until done() or the deadline; false at the deadline.
template <typename Done>
bool processUntil(Done done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return true;
}
} // namespace

GridTiming measureGridResetPaint(TDataModule1 &dataModule, const QDate &from, const QDate &to)
{
    QElapsedTimer clock;
    clock.start();
    qint64 resetEnd = -1;
    PaintWatcher watcher;

    // Connected before the window gives the grid its model, so this runs
    // first when the reset ends, ahead of the views' own handling of it.
    const QMetaObject::Connection connection =
        QObject::connect(&dataModule.dxMemDataFatture, &InvoiceTable::reset, [&] {
            resetEnd = clock.nsecsElapsed();
            watcher.seen = false;
        });

    dataModule.closeExtraction();
    TFormMain form(dataModule);
    form.DBGrid1->viewport()->installEventFilter(&watcher);
    form.show();
    if (!processUntil([&] { return form.windowHandle() && form.windowHandle()->isExposed() && watcher.seen; }, 10000))
        throw TolmError(QStringLiteral("the main window was never painted"));
    QCoreApplication::processEvents();

    resetEnd = -1;
    form.DateTimePickerDal->setDate(from);
    form.DateTimePickerAl->setDate(to);
    watcher.seen = false;
    // The read runs on its threads; its invoices come into the table in one
    // reset when the window takes them, the last reset.
    form.Button1Click();
    if (!processUntil([&] { return !form.isReading(); }, 600000))
        throw TolmError(QStringLiteral("the extraction did not end"));
    const qint64 handled = clock.nsecsElapsed();
    if (resetEnd < 0)
        throw TolmError(QStringLiteral("the extraction did not reset the invoice table"));
    if (!processUntil([&] { return watcher.seen; }, 10000))
        throw TolmError(QStringLiteral("the grid was not painted after the extraction"));
    const qint64 painted = clock.nsecsElapsed();
    QObject::disconnect(connection);

    GridTiming timing;
    timing.viewResetMs = double(handled - resetEnd) / 1e6;
    timing.totalMs = double(painted - resetEnd) / 1e6;
    return timing;
}
