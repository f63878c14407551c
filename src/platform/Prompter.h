#pragma once

#include <QString>
#include <optional>

// Every message box, question, folder browser and file-open dialog goes
// through here. The program uses QtPrompter (message boxes titled
// "Tolm Export"); tests install one that records texts and answers.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // Plain message box with an OK button.
    virtual void information(const QString &text) = 0;
    // Error box: the default error report.
    virtual void error(const QString &text) = 0;
    // Question with the information icon, Yes and No, Yes the default.
    virtual bool questionYesNo(const QString &text) = 0;
    // Question with OK and Cancel ("Delete record?").
    virtual bool confirmOkCancel(const QString &text) = 0;
    // Folder browser starting at startFolder; nullopt when cancelled.
    virtual std::optional<QString> chooseFolder(const QString &startFolder) = 0;
    // File-open dialog; nullopt when cancelled.
    virtual std::optional<QString> chooseOpenFile(const QString &filter, const QString &defaultSuffix) = 0;

    // The prompter in use. Never null once the program or a test set one.
    static Prompter &current();
    static void setCurrent(Prompter *prompter);
};
