#include "support/TestProgram.h"

#include <QTableView>

void TestProgram::start(const QByteArray &ini)
{
    if (!ini.isNull())
        folder.writeIni(ini);
    dm = std::make_unique<TDataModule1>();
}

void TestProgram::openWindow()
{
    window = std::make_unique<TFormMain>(*dm);
    gridTester = std::make_unique<QAbstractItemModelTester>(window->DBGrid1->model(),
                                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
}
