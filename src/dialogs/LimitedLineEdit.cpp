#include "dialogs/LimitedLineEdit.h"

#include <algorithm>

namespace {

bool allDigits(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

LimitedLineEdit::LimitedLineEdit(int typingLimit, bool digitsOnly, QWidget *parent)
    : QLineEdit(parent), m_typingLimit(typingLimit), m_digitsOnly(digitsOnly)
{
    // textEdited comes before textChanged, so m_lastText still holds the text
    // from before the user's edit when it is checked. It is read from the
    // edit itself: a refused edit replaces the text inside textEdited, and the
    // textChanged that follows still carries the refused text.
    connect(this, &QLineEdit::textEdited, this, &LimitedLineEdit::checkUserEdit);
    connect(this, &QLineEdit::textChanged, this, [this] { m_lastText = text(); });
}

QString LimitedLineEdit::keepWithinLimits(const QString &before, const QString &after, int typingLimit,
                                          bool digitsOnly, int *cursor)
{
    // The edit replaced before[prefix, before.size() - suffix) with inserted.
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    QString inserted = after.mid(prefix, after.size() - prefix - suffix);

    if (digitsOnly && !allDigits(inserted)) {
        *cursor = int(prefix);
        return before;
    }
    if (typingLimit > 0 && after.size() > typingLimit && after.size() > before.size()) {
        const qsizetype kept = after.size() - inserted.size();
        const qsizetype room = std::max<qsizetype>(typingLimit, before.size()) - kept;
        if (room <= 0) {
            *cursor = int(prefix);
            return before;
        }
        inserted.truncate(room);
        *cursor = int(prefix + inserted.size());
        return after.left(prefix) + inserted + after.right(suffix);
    }
    *cursor = int(prefix + inserted.size());
    return after;
}

void LimitedLineEdit::checkUserEdit(const QString &after)
{
    int cursor = 0;
    const QString kept = keepWithinLimits(m_lastText, after, m_typingLimit, m_digitsOnly, &cursor);
    if (kept == after)
        return;
    setText(kept);
    setCursorPosition(cursor);
}
