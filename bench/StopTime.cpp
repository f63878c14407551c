#include "StopTime.h"

#include "app/TFormMain.h"
#include "data/TDataModule1.h"
#include "platform/TolmError.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWindow>

StopTime measureStop(TDataModule1 &dataModule, const QDate &from, const QDate &to, int pressAfterMs,
                     qint64 pressAtInvoices)
{
    TFormMain form(dataModule);
    form.show();
    form.activateWindow();
    QElapsedTimer wait;
    wait.start();
    // Escape reaches the window's shortcut only while the window is active.
    while (!(form.windowHandle() && form.windowHandle()->isExposed() && form.isActiveWindow())) {
        if (wait.elapsed() > 10000)
            throw TolmError(QStringLiteral("the main window was never shown and active"));
        QCoreApplication::processEvents();
    }
    form.DateTimePickerDal->setDate(from);
    form.DateTimePickerAl->setDate(to);
    QCoreApplication::processEvents();

    StopTime result;
    QElapsedTimer clock;
    QEventLoop loop;
    qint64 due = pressAfterMs;
    const auto press = [&] {
        result.progressAtPress = form.LabelRiepilogo->text();
        QTest::keyClick(&form, Qt::Key_Escape);
        // The window is idle again once the key's handler has returned.
        result.stopMs = double(clock.nsecsElapsed()) / 1e6 - double(due);
        loop.quit();
    };
    // Halfway through the rows: when the summary line has counted them.
    QTimer look;
    if (pressAtInvoices >= 0) {
        static const QRegularExpression read(QStringLiteral("Fatture lette: ([0-9.]+)"));
        QObject::connect(&look, &QTimer::timeout, &form, [&] {
            const QRegularExpressionMatch match = read.match(form.LabelRiepilogo->text());
            if (match.hasMatch() && match.captured(1).remove(QLatin1Char('.')).toLongLong() >= pressAtInvoices) {
                look.stop();
                due = clock.elapsed();
                press();
            }
        });
        look.start(5);
    } else {
        QTimer::singleShot(pressAfterMs, Qt::PreciseTimer, &form, press);
    }
    QObject::connect(&dataModule, &TDataModule1::extractionFinished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    clock.start();
    form.Button1Click();
    loop.exec();
    if (result.progressAtPress.isEmpty() || !dataModule.extractionStopped() || !dataModule.dxMemDataFatture.isEmpty()
        || form.LabelRiepilogo->text() != QStringLiteral("Estrazione interrotta"))
        throw TolmError(QStringLiteral("Escape after %1 ms did not stop the read (the line says: %2)")
                            .arg(due)
                            .arg(form.LabelRiepilogo->text()));
    return result;
}
