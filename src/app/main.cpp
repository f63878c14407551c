#include "app/ConnectionWaitWindow.h"
#include "app/ProgramSetup.h"
#include "app/QtPrompter.h"
#include "app/ProgramEnd.h"
#include "app/TFormMain.h"
#include "data/TDataModule1.h"
#include "data/WorkerThreads.h"
#include "dialogs/TDlgOpenFile.h"
#include "dialogs/TRecordDlg.h"
#include "platform/TolmError.h"

#include <QApplication>

#include <cstdlib>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);
    ProgramEnd programEnd; // before the data module's first attach
    QtPrompter prompter;
    Prompter::setCurrent(&prompter);

    ConnectionWaitWindow connectionWait;
    std::unique_ptr<TDataModule1> dataModule;
    try {
        dataModule = std::make_unique<TDataModule1>(&connectionWait);
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
    // A read that was stopped, or an attach the program did not wait for,
    // may still wait on a server after the data module's second: the program
    // ends without it (there is nothing left to write), and without the
    // client library's exit-time shutdown under its call.
    if (WorkerThreads::running() > 0)
        std::_Exit(status);
    return status;
}
