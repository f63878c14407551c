#include "app/ConnectionWaitWindow.h"

#include "app/WaitCursor.h"

#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// How often the window looks whether the attach has returned.
constexpr int kLookIntervalMs = 50;

// Neither Escape nor the window's close button ends the wait: only the
// attach's return, or the program's end, which cancels it.
class WaitDialog : public QDialog
{
protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() != Qt::Key_Escape)
            QDialog::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};
} // namespace

void ConnectionWaitWindow::wait(const QString &database,
                                const std::function<bool(std::chrono::milliseconds)> &waitFor)
{
    WaitCursor cursor;
    WaitDialog window;
    window.setObjectName(QStringLiteral("ConnectionWaitWindow"));
    window.setWindowTitle(QStringLiteral("Tolm Export"));
    window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto *layout = new QVBoxLayout(&window);
    auto *text = new QLabel(QStringLiteral("Connessione al database di configurazione...\n") + database, &window);
    text->setObjectName(QStringLiteral("ConnectionWaitText"));
    layout->addWidget(text);
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &window, [&] {
        if (waitFor(std::chrono::milliseconds(0)))
            window.accept();
    });
    look.start(kLookIntervalMs);
    // Ends when the attach returns, or as after Cancel when the program is
    // told to end.
    window.exec();
}
