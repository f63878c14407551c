#include "StopTime.h"

#include "app/TFormMain.h"
#include "data/TDataModule1.h"
#include "platform/TolmError.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWindow>

StopTime measureStop(TDataModule1 &dataModule, const QDate &from, const QDate &to, int pressAfterMs)
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
    QTimer::singleShot(pressAfterMs, Qt::PreciseTimer, &form, [&] {
        result.progressAtPress = form.LabelRiepilogo->text();
        QTest::keyClick(&form, Qt::Key_Escape);
        // The window is idle again once the key's handler has returned.
        result.stopMs = double(clock.nsecsElapsed()) / 1e6 - pressAfterMs;
        loop.quit();
    });
    QObject::connect(&dataModule, &TDataModule1::extractionFinished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    clock.start();
    form.Button1Click();
    loop.exec();
    if (result.progressAtPress.isEmpty() || !dataModule.extractionStopped() || !dataModule.dxMemDataFatture.isEmpty()
        || form.LabelRiepilogo->text() != QStringLiteral("Estrazione interrotta"))
        throw TolmError(QStringLiteral("Escape after %1 ms did not stop the read (the line says: %2)")
                            .arg(pressAfterMs)
                            .arg(form.LabelRiepilogo->text()));
    return result;
}
