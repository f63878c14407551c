#include "app/ProgramEnd.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QList>

namespace {

// Cancels a modal dialog shown after the end was asked for (an error box
// of the data module's closing, say), once its event loop runs.
class LateDialogCanceller : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            auto *dialog = qobject_cast<QDialog *>(watched);
            if (dialog && dialog->isWindow() && dialog->isModal())
                QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
        }
        return false;
    }
};

} // namespace

ProgramEnd::ProgramEnd(QObject *parent)
    : QObject(parent)
{
    watch();
}

ProgramEnd::~ProgramEnd() = default;

void ProgramEnd::request()
{
    if (!m_requested) {
        m_requested = true;
        qApp->installEventFilter(new LateDialogCanceller(this));
    }
    endProgram();
}

void ProgramEnd::endProgram()
{
    // Innermost first; each exec() returns as after Cancel.
    QList<QWidget *> cancelled;
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (cancelled.contains(modal))
            break; // one that stays open: the loops end below all the same
        cancelled.append(modal);
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }
    QApplication::closeAllWindows();
    // Ends every running event loop; a dialog's exec() that starts before the
    // main loop has ended returns at once.
    QCoreApplication::exit(0);
    // During start-up no main loop runs yet: the one that starts later ends
    // as soon as it has begun.
    QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}
