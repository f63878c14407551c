#pragma once

#include "app/TFormMain.h"
#include "data/TDataModule1.h"
#include "support/TestFolder.h"
// GCC 12 sees a false "maybe uninitialized" in the optional<QString> queues.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/TestPrompter.h"
#pragma GCC diagnostic pop

#include <QAbstractItemModelTester>
#include <QByteArray>

#include <memory>

// The program started on a folder of its own, as main() starts it: Tolm.ini
// in the folder, a prompter that records every message, the data module
// and, for the tests of the window, the main window over it with a model
// tester on its grid. Gone in the reverse order.
struct TestProgram
{
    // The folder and the prompter only: start() follows.
    TestProgram() = default;
    // Started on that Tolm.ini.
    explicit TestProgram(const QByteArray &ini) { start(ini); }

    // Writes Tolm.ini (none when ini is null) and starts the data module.
    void start(const QByteArray &ini);
    // The main window over the data module.
    void openWindow();

    TestFolder folder;
    TestPrompter prompter;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<TFormMain> window;
    std::unique_ptr<QAbstractItemModelTester> gridTester;
};
