#pragma once

#include <QRect>
#include <QScreen>
#include <QWidget>

// Puts a dialog in the middle of the screen it is shown on.
inline void centraSulloSchermo(QWidget *finestra)
{
    const QScreen *schermo = finestra->screen();
    if (!schermo)
        return;
    QRect cornice = finestra->frameGeometry();
    cornice.moveCenter(schermo->availableGeometry().center());
    finestra->move(cornice.topLeft());
}
