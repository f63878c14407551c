#include "app/ProgramSetup.h"
#include "app/QtPrompter.h"
#include "app/ProgramEnd.h"
#include "app/TFormMain.h"
#include "data/TDataModule1.h"
#include "dialogs/TDlgOpenFile.h"
#include "dialogs/TRecordDlg.h"
#include "platform/TolmError.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);
    ProgramEnd programEnd; // before the data module's first attach
    QtPrompter prompter;
    Prompter::setCurrent(&prompter);

    std::unique_ptr<TDataModule1> dataModule;
    try {
        dataModule = std::make_unique<TDataModule1>();
    } catch (const std::exception &error) {
        // Start-up cannot go on without the data module.
        QtPrompter::fatalError(errorText(error));
        return 1;
    }

    int status = 0;
    {
        TFormMain formMain(*dataModule);
        // The database list dialog and the record dialog are created hidden
        // after the main window and kept until the end.
        TDlgOpenFile DlgOpenFile;
        TRecordDlg RecordDlg;
        if (!formMain.quitRequested()) {
            formMain.show();
            status = app.exec();
        }
    }
    dataModule.reset();
    Prompter::setCurrent(nullptr);
    return status;
}
