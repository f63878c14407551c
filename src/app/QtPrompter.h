#pragma once

#include "platform/Prompter.h"

// The program's prompter: message boxes titled with the program title,
// the folder browser and the file-open dialog of Qt. Qt's standard buttons
// and dialogs speak the user's language (setUpApplication); the buttons the
// program names itself keep their given captions.
class QtPrompter : public Prompter
{
public:
    void information(const QString &text) override;
    void error(const QString &text) override;
    bool questionYesNo(const QString &text) override;
    bool confirmOkCancel(const QString &text) override;
    std::optional<QString> chooseFolder(const QString &startFolder) override;
    std::optional<QString> chooseOpenFile(const QString &filter, const QString &defaultSuffix) override;

    // The box of an error that ends the program before its event loop runs,
    // titled "Application Error".
    static void fatalError(const QString &text);
};

// "Tolm Export"
QString programTitle();
