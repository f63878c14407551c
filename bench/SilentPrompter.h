#pragma once

#include "platform/Prompter.h"

#include <QStringList>

// Answers every question with yes and keeps the texts of the messages: a
// message during a measured run means the run did not do what it measures.
class SilentPrompter : public Prompter
{
public:
    SilentPrompter() { Prompter::setCurrent(this); }
    ~SilentPrompter() override { Prompter::setCurrent(nullptr); }

    void information(const QString &text) override { messages << text; }
    void error(const QString &text) override { messages << text; }
    bool questionYesNo(const QString &) override { return true; }
    bool confirmOkCancel(const QString &) override { return true; }
    std::optional<QString> chooseFolder(const QString &) override { return std::nullopt; }
    std::optional<QString> chooseOpenFile(const QString &, const QString &) override { return std::nullopt; }

    QStringList messages;
};
