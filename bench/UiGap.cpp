#include "UiGap.h"

#include "app/TFormMain.h"
#include "data/TDataModule1.h"
#include "platform/TolmError.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>

#include <algorithm>

UiGap measureUiGap(TDataModule1 &dataModule, const QDate &from, const QDate &to)
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
    form.Button1Click();
    pulse();
    heartbeat.stop();
    if (dataModule.dxMemDataFatture.isEmpty())
        throw TolmError(QStringLiteral("the extraction through the window found no invoice"));
    return result;
}
