#pragma once

#include "platform/Prompter.h"

#include <QStringList>

#include <deque>
#include <optional>

// Records every message and answers questions and dialogs from scripts.
// Installs itself as the current prompter while it lives.
class TestPrompter : public Prompter
{
public:
    TestPrompter() { Prompter::setCurrent(this); }
    ~TestPrompter() override { Prompter::setCurrent(nullptr); }

    void information(const QString &text) override { informations << text; all << text; }
    void error(const QString &text) override { errors << text; all << text; }
    bool questionYesNo(const QString &text) override
    {
        questions << text; all << text;
        return pop(yesNoAnswers, true);
    }
    bool confirmOkCancel(const QString &text) override
    {
        questions << text; all << text;
        return pop(okCancelAnswers, true);
    }
    std::optional<QString> chooseFolder(const QString &startFolder) override
    {
        folderStarts << startFolder;
        return pop(folderAnswers, std::optional<QString>());
    }
    std::optional<QString> chooseOpenFile(const QString &filter, const QString &defaultSuffix) override
    {
        fileFilters << filter; fileSuffixes << defaultSuffix;
        return pop(fileAnswers, std::optional<QString>());
    }

    void clear() { informations.clear(); errors.clear(); questions.clear(); all.clear(); }

    QStringList informations, errors, questions, all, folderStarts, fileFilters, fileSuffixes;
    std::deque<bool> yesNoAnswers, okCancelAnswers;
    std::deque<std::optional<QString>> folderAnswers, fileAnswers;

private:
    // GCC 12 wrongly sees a std::optional<QString> as maybe uninitialised here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
    template <typename T>
    static T pop(std::deque<T> &queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
#pragma GCC diagnostic pop
};
