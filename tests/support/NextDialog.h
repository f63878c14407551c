#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <utility>

// Scripted answers to modal dialogs. Before the step that opens a modal
// dialog (whose exec() runs an event loop of its own), a test says how to
// answer it:
//
//   answerNextDialog<TDlgOpenFile>([](TDlgOpenFile &list) { ...; list.OKBtn->click(); });
//   runDatabaseListDialog(nullptr);
//
// As soon as a shown dialog of that type is the active modal window, the
// answer runs on it; it is expected to close it. An answer that finds no
// such dialog within two seconds, or leaves it open, counts as missed, and
// the modal window then open is closed so that the test goes on.

// True when an answer has been missed since the last clearMissedDialogs().
bool missedDialog();
void clearMissedDialogs();

namespace NextDialog {
void noteMissed(QWidget *open);
constexpr int kTries = 200;    // looks at the modal window,
constexpr int kIntervalMs = 10; // this far apart after the first
} // namespace NextDialog

template <typename Dialog, typename Answer>
void answerNextDialog(Answer answer, int triesLeft = NextDialog::kTries)
{
    // The first look as soon as the event loop runs, then again and again
    // until the dialog is up.
    const int delay = triesLeft == NextDialog::kTries ? 0 : NextDialog::kIntervalMs;
    QTimer::singleShot(delay, qApp, [answer = std::move(answer), triesLeft]() mutable {
        QPointer<QWidget> open = QApplication::activeModalWidget();
        auto *dialog = qobject_cast<Dialog *>(open.data());
        if (!dialog || !dialog->windowHandle()) {
            if (triesLeft > 0)
                answerNextDialog<Dialog>(std::move(answer), triesLeft - 1);
            else
                NextDialog::noteMissed(open);
            return;
        }
        answer(*dialog);
        if (open && open->isVisible())
            NextDialog::noteMissed(open);
    });
}
