#pragma once

#include <QLineEdit>
#include <QString>

// An edit whose typing limits bind the user only: once it holds typingLimit
// characters it takes no more, and a digits-only edit takes no other
// character. Text the program puts in with setText() is shown whole, however
// long and whatever it holds; the user can then shorten it but not lengthen
// it. Every kind of user edit is checked (typing, pasting, dropping, undo).
class LimitedLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    // A typingLimit of 0 means no limit.
    explicit LimitedLineEdit(int typingLimit, bool digitsOnly, QWidget *parent = nullptr);

    int typingLimit() const { return m_typingLimit; }
    bool digitsOnly() const { return m_digitsOnly; }

    // What a user edit from `before` to `after` leaves in the edit: `after`
    // when it keeps to the limits; otherwise the inserted text is cut to the
    // room left, and an edit that brings in a non-digit, or nothing once cut,
    // is undone. cursor receives the cursor position after the edit.
    static QString keepWithinLimits(const QString &before, const QString &after, int typingLimit,
                                    bool digitsOnly, int *cursor);

private:
    void checkUserEdit(const QString &after);

    int m_typingLimit;
    bool m_digitsOnly;
    QString m_lastText;
};
