#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <vector>

// The heading association table: the headings of the configuration database
// with the sezionale each one is filed under ("-1" for none). Rows stand in
// the order they were appended; the current row is the selected heading.
// Text is Windows-1252 cut to the field sizes (2, 60, 2). Whoever shows or
// edits it in a grid listens to its signals.
class AssociationTable : public QObject
{
    Q_OBJECT

public:
    enum Column { ColIndex, ColSigla, ColDescrizione, ColSezionale, ColumnCount };
    static constexpr int kSiglaSize = 2;
    static constexpr int kDescrizioneSize = 60;
    static constexpr int kSezionaleSize = 2;

    struct Row {
        qint32 index = 0;
        QByteArray Sigla;
        QByteArray Descrizione;
        QByteArray Sezionale;
    };

    explicit AssociationTable(QObject *parent = nullptr);
    ~AssociationTable() override;

    // Empties the table (close and open again).
    void reopen();
    // Appends a row, cutting the texts to size; it becomes the current row.
    void appendRow(qint32 index, const QString &sigla, const QString &descrizione, const QString &sezionale);

    int size() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    const Row &row(int i) const { return m_rows[size_t(i)]; }

    // The current row: -1 when the table is empty.
    int currentRow() const { return m_current; }
    void setCurrentRow(int row);
    void first() { setCurrentRow(m_rows.empty() ? -1 : 0); }
    // Moves to the row whose index equals value; stays put when none has it.
    bool locateIndex(qint32 value);
    bool hasCurrent() const { return m_current >= 0 && m_current < size(); }
    QString currentSigla() const;
    QString currentSezionale() const;
    // The current sezionale as a whole number; raises "'<text>' is not a
    // valid integer value" when it is not one (no current row included).
    int currentSezionaleNumber() const;

    // Grid editing: insert an empty row before a row (at the end when
    // before is size()), remove a row, change one field (text cut to the
    // field's size).
    void insertEmptyRow(int before);
    void removeRow(int row);
    void setField(int row, int column, const QString &value);
    // Gives a row back the fields of an earlier copy of it.
    void restoreRow(int row, const Row &copy);
    // The field as text; index as a number.
    QString fieldText(int row, int column) const;

    static int fieldSize(int column);

signals:
    void aboutToReset();
    void reset();
    void rowsAboutToBeInserted(int first, int last);
    void rowsInserted();
    void rowsAboutToBeRemoved(int first, int last);
    void rowsRemoved();
    void fieldChanged(int row, int column);
    void currentRowChanged(int row);

private:
    std::vector<Row> m_rows;
    int m_current = -1;
};
