#pragma once

#include "data/TDataModule1.h"
#include "support/ErrorOf.h"

#include <QByteArray>
#include <QString>
#include <QTest>

// Makes the heading with that code the selected one (the current row).
inline void selectHeading(TDataModule1 &dm, const QByteArray &sigla)
{
    for (int i = 0; i < dm.MTableAssIntest.size(); ++i) {
        if (dm.MTableAssIntest.row(i).Sigla == sigla) {
            dm.MTableAssIntest.setCurrentRow(i);
            return;
        }
    }
    QFAIL("no such heading");
}

inline void selectHeading(TDataModule1 &dm, const QString &sigla)
{
    selectHeading(dm, sigla.toLatin1());
}

inline void selectHeading(TDataModule1 &dm, const char *sigla)
{
    selectHeading(dm, QByteArray(sigla));
}
