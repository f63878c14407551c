#include "support/NextDialog.h"

namespace {
bool g_missed = false;
} // namespace

bool missedDialog()
{
    return g_missed;
}

void clearMissedDialogs()
{
    g_missed = false;
}

void NextDialog::noteMissed(QWidget *open)
{
    g_missed = true;
    if (!open || !open->isVisible())
        return;
    if (auto *dialog = qobject_cast<QDialog *>(open))
        dialog->reject();
    else
        open->close();
}
