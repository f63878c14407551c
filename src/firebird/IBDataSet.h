#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "platform/Money.h"
#include "platform/TolmError.h"

#include <ibase.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

class FbClient;
class IBDatabase;
class IBTransaction;

// A statement on a connection: a SELECT read row by row, or any other
// statement run with ExecSQL().
//
// The SQL text may name parameters as :name; they are turned into positional
// markers (outside '...' and "..." spans and comments) and set by name, case
// insensitively; a name used twice is set in both places. Setting a parameter
// prepares the statement, in the connection's dialect, when it is not
// prepared yet. Parameters not set are null.
//
// Reading: Open() runs the statement and stands on the first row; Next()
// moves on and returns false past the last row, where Eof() is true. Columns
// are read by index (find it once with fieldIndex()) or by name. What a read
// returns stays valid until the next Next(), Close() or re-preparation.
//
//   ds.setDatabase(&db);                  // and its default transaction
//   ds.setSQL("select NUMERO, COGNOME from contab where data between :d1 and :d2");
//   ds.setParamDate("d1", from);
//   ds.setParamDate("d2", to);
//   ds.Open();                            // starts the transaction if needed
//   const int numero = ds.fieldIndex("NUMERO"), cognome = ds.fieldIndex("COGNOME");
//   for (; !ds.Eof(); ds.Next()) {
//       qint64 n = ds.asInteger(numero);
//       QByteArrayView c = ds.asBytes(cognome);
//   }
//   ds.Close();
//
// The dataset owns its statement handle and nothing else. It closes its cursor
// when its transaction is about to end, and drops its statement when its
// connection is about to close. A connection or transaction destroyed before
// the dataset leaves it unbound (Database() or Transaction() null).
// An amount too large for ten-thousandths in 64 bits. value() is the
// column's value as text, as the database holds it.
class AmountOutOfRange : public TolmError
{
public:
    AmountOutOfRange(const QString &field, const QString &value)
        : TolmError(QStringLiteral("Field %1: amount %2 out of range").arg(field, value)), m_value(value) {}
    const QString &value() const { return m_value; }

private:
    QString m_value;
};

class IBDataSet : public QObject
{
    Q_OBJECT

public:
    explicit IBDataSet(IBDatabase *database = nullptr);
    ~IBDataSet() override;
    IBDataSet(const IBDataSet &) = delete;
    IBDataSet &operator=(const IBDataSet &) = delete;

    // Binding. A new connection closes and unprepares the dataset; the
    // transaction becomes the connection's default one unless the current
    // transaction runs on that connection. A new transaction closes it.
    IBDatabase *Database() const;
    void setDatabase(IBDatabase *database);
    IBTransaction *Transaction() const;
    void setTransaction(IBTransaction *transaction);

    // A new text closes and unprepares the dataset.
    const QString &SQL() const { return m_sql; }
    void setSQL(const QString &sql);

    // Prepares on the bound connection (which must be open), starting the
    // transaction if it is not active.
    void Prepare();
    void Unprepare();
    bool Prepared() const { return m_statement != 0; }

    // Parameter names in marker order; a repeated name appears each time.
    const QStringList &paramNames() const { return m_paramNames; }
    // Where a day begins or ends, for a date sent as a timestamp.
    enum class DayMoment { Start, LastMoment };
    // A date is sent as DATE where the statement expects a DATE, else as a
    // TIMESTAMP (dialect 1 describes its dates as timestamps) at 00:00:00, or
    // at the day's last moment, 23:59:59.9999, so that a range's last day
    // counts whole.
    void setParamDate(const QString &name, QDate value, DayMoment moment = DayMoment::Start);
    // Text is sent as bytes of the connection's character set.
    void setParamText(const QString &name, const QString &value);
    void setParamInteger(const QString &name, qint64 value);
    void setParamNull(const QString &name);

    // Runs the SELECT and stands on its first row. Does nothing when open.
    void Open();
    void Close();
    bool Active() const { return m_active; }
    bool Eof() const { return m_eof; }
    // Next row; false when there is none (Eof() is then true).
    bool Next();
    // Runs a statement that returns no rows (insert, update, DDL...).
    void ExecSQL();

    // Columns of the prepared statement.
    int fieldCount() const { return int(m_columns.size()); }
    QString fieldName(int index) const { return m_columns[size_t(index)].name; }
    // Index of the column with that name, case-insensitively: -1 when none.
    int findField(const QString &name) const;
    // The same; throws TolmError("Field <name> not found") when none.
    int fieldIndex(const QString &name) const;

    // Reads by index; fast path, no lookup, no allocation for the types the
    // column holds natively. The types a read meets row after row are read
    // here, in line; the others in IBDataSet.cpp.
    bool isNull(int index) const { return *m_columns[size_t(index)].indicator < 0; }
    // Text bytes as the server sends them: CHAR columns padded to their
    // length, trailing blanks kept. Null gives an empty view. Other types are
    // written as text (dates as yyyy-MM-dd).
    QByteArrayView asBytes(int index) const
    {
        const Column &c = m_columns[size_t(index)];
        if (*c.indicator < 0)
            return {};
        if (c.type == SQL_VARYING)
            return QByteArrayView(c.data + 2, std::clamp<qsizetype>(load<short>(c.data), 0, c.length));
        if (c.type == SQL_TEXT)
            return QByteArrayView(c.data, c.length);
        return formatted(index);
    }
    // asBytes() decoded from the connection's character set.
    QString asString(int index) const;
    // Integers, scaled numbers and floating values rounded; null gives 0.
    qint64 asInteger(int index) const
    {
        const Column &c = m_columns[size_t(index)];
        if (*c.indicator < 0)
            return 0;
        if (c.type == SQL_LONG && c.scale == 0)
            return load<ISC_LONG>(c.data);
        return integerOf(index);
    }
    // From DATE or TIMESTAMP (the time is dropped); null gives a null QDate.
    QDate asDate(int index) const
    {
        const Column &c = m_columns[size_t(index)];
        if (*c.indicator < 0)
            return {};
        if (c.type == SQL_TYPE_DATE)
            return QDate::fromJulianDay(load<ISC_DATE>(c.data) + kIscDateEpoch);
        if (c.type == SQL_TIMESTAMP)
            return QDate::fromJulianDay(load<ISC_TIMESTAMP>(c.data).timestamp_date + kIscDateEpoch);
        conversionError(index, "date");
    }
    // Ten-thousandths of the unit: scaled integers exactly (rounded half away
    // from zero below four decimals), DOUBLE and FLOAT rounded to the nearest;
    // null gives 0. A value that does not fit in 64 bits of ten-thousandths
    // raises AmountOutOfRange.
    qint64 asMoney(int index) const
    {
        const Column &c = m_columns[size_t(index)];
        if (*c.indicator < 0)
            return 0;
        // NUMERIC(15,2) of dialect 3, and the like.
        qint64 money;
        if (c.type == SQL_INT64 && c.scale <= 0 && c.scale >= -kMoneyDecimals
            && !__builtin_mul_overflow(load<ISC_INT64>(c.data), kMoneyPerStep[size_t(-c.scale)], &money))
            return money;
        return moneyOf(index);
    }

    // Reads by column name (a lookup each call: for loops, use indices).
    bool isNull(const QString &name) const { return isNull(fieldIndex(name)); }
    QByteArrayView asBytes(const QString &name) const { return asBytes(fieldIndex(name)); }
    QString asString(const QString &name) const { return asString(fieldIndex(name)); }
    qint64 asInteger(const QString &name) const { return asInteger(fieldIndex(name)); }
    QDate asDate(const QString &name) const { return asDate(fieldIndex(name)); }
    qint64 asMoney(const QString &name) const { return asMoney(fieldIndex(name)); }

    // The SQL text with every :name replaced by "?", and the names in order.
    static QString toPositional(const QString &sql, QStringList *names);

private:
    struct FreeDeleter
    {
        void operator()(void *p) const { std::free(p); }
    };
    using Sqlda = std::unique_ptr<XSQLDA, FreeDeleter>;

    struct Column
    {
        short type;     // SQL_* without the null flag
        short scale;
        short length;   // declared length of the data area
        const char *data;
        const short *indicator;
        QString name;
        mutable QByteArray scratch; // text form of a non-text value
    };

    struct Param
    {
        short describedType; // SQL_* without the null flag
        short describedSubtype;
        short indicator = -1;
        union {
            qint64 integer;
            ISC_LONG int32;
            ISC_DATE date;
            ISC_TIMESTAMP timestamp;
        } value{};
        QByteArray text;
    };

    // ISC_DATE counts days from 17 November 1858, Julian day 2400001.
    static constexpr qint64 kIscDateEpoch = 2400001;

    template <typename T>
    static T load(const char *data)
    {
        T value;
        std::memcpy(&value, data, sizeof value);
        return value;
    }

    IBTransaction *effectiveTransaction() const;
    void ensurePrepared();
    void describeOutput();
    void describeInput();
    std::vector<int> slotsOf(const QString &name);
    void bindNull(int slot);
    void execute();
    void closeCursor() noexcept;
    [[noreturn]] void conversionError(int index, const char *target) const;
    QByteArrayView formatted(int index) const;
    qint64 integerOf(int index) const;
    qint64 moneyOf(int index) const;

    const FbClient *m_client;
    QPointer<IBDatabase> m_database;
    QPointer<IBTransaction> m_transaction;
    QString m_sql;
    QString m_positionalSql;
    QStringList m_paramNames;

    isc_stmt_handle m_statement = 0;
    Sqlda m_in;
    Sqlda m_out;
    std::vector<Param> m_params;
    std::vector<Column> m_columns;
    std::unique_ptr<char[]> m_row; // data and indicators of every column
    bool m_active = false;
    bool m_eof = true;
    bool m_cursorOpen = false;
};
