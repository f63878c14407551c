#include "UiGap.h"

#include "app/TFormMain.h"
#include "data/TDataModule1.h"
#include "platform/TolmError.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>

UiGap measureUiGap(TDataModule1 &dataModule, const QDate &from, const QDate &to, int watchMs)
{
    TFormMain form(dataModule);
    form.show();
    QElapsedTimer wait;
    wait.start();
    while (!(form.windowHandle() && form.windowHandle()->isExposed())) {
        if (wait.elapsed() > 10000)
            throw TolmError(QStringLiteral("the main window was never shown"));
        QCoreApplication::processEvents();
    }
    form.DateTimePickerDal->setDate(from);
    form.DateTimePickerAl->setDate(to);
    QCoreApplication::processEvents();

    UiGap result;
    QElapsedTimer clock;
    qint64 last = 0;
    const auto pulse = [&] {
        const qint64 now = clock.nsecsElapsed();
        result.maxGapMs = std::max(result.maxGapMs, double(now - last) / 1e6);
        last = now;
    };
    QTimer heartbeat;
    heartbeat.setInterval(0);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        pulse();
        ++result.loopRuns;
    });
    heartbeat.start();
    clock.start();
    QEventLoop loop;
    // After the window, connected first, has taken the invoices.
    QObject::connect(&dataModule, &TDataModule1::extractionFinished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    if (watchMs > 0)
        QTimer::singleShot(watchMs, &loop, [&] {
            QTest::keyClick(&form, Qt::Key_Escape);
            loop.quit();
        });
    form.Button1Click();
    loop.exec();
    pulse();
    heartbeat.stop();
    if (watchMs > 0) {
        if (!dataModule.extractionStopped())
            throw TolmError(QStringLiteral("the read that waits on a server was not stopped"));
        return result;
    }
    if (dataModule.dxMemDataFatture.isEmpty())
        throw TolmError(QStringLiteral("the extraction through the window found no invoice"));
    return result;
}
