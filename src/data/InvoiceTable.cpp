#include "data/InvoiceTable.h"

#include "platform/AnsiCodePage.h"

#include <QColor>

#include <algorithm>
#include <array>
#include <new>

namespace {
const std::array<InvoiceTable::Field, InvoiceTable::ColumnCount> kFields = {{
    {"data", "Data", 0, 10},
    {"numero", "Numero", 0, 10},
    {"Apice", "Apice", 8, 8},
    {"Cognome", "Cognome", 30, 30},
    {"nome", "Nome", 30, 30},
    {"cf", "C.F.", 16, 16},
    {"importo", "Importo", 0, 10},
    {"bollo", "Bollo", 0, 10},
    {"importoiva", "Iva", 0, 10},
    {"importora", "R.A.", 0, 10},
    {"totale", "Totale", 0, 10},
    {"P.Iva", "P.Iva", 16, 16},
    {"Descrizione", "Descrizione", 30, 30},
    {"indirizzo", "indirizzo", 35, 35},
    {"cap", "cap", 5, 5},
    {"citta", "citta", 25, 25},
    {"provincia", "provincia", 2, 2},
}};

QString currency(const QLocale &locale, qint64 amount)
{
    return locale.toCurrencyString(double(amount) / double(kMoneyScale));
}

template <int N>
QString text(const FixedText<N> &value)
{
    return fromAnsi(value.data(), value.size());
}
} // namespace

const InvoiceTable::Field &InvoiceTable::field(int column)
{
    return kFields[size_t(column)];
}

InvoiceTable::InvoiceTable(QObject *parent) : QAbstractTableModel(parent) {}

void InvoiceTable::reopen()
{
    beginResetModel();
    releaseRecords();
    m_open = true;
    endResetModel();
}

void InvoiceTable::beginFill()
{
    if (m_filling)
        return;
    beginResetModel();
    m_filling = true;
    releaseRecords();
    m_open = true;
}

void InvoiceTable::endFill()
{
    if (!m_filling)
        return;
    putInOrder();
    m_filling = false;
    endResetModel();
}

void InvoiceTable::releaseRecords()
{
    std::vector<InvoiceRecord>().swap(m_records);
    m_staging.clear();
    m_stagedInLast = kStagingBlock;
}

void InvoiceTable::newStagingBlock()
{
    m_staging.push_back(std::make_unique_for_overwrite<InvoiceRecord[]>(kStagingBlock));
    m_stagedInLast = 0;
}

void InvoiceTable::putInOrder()
{
    const size_t count = m_staging.empty() ? 0 : (m_staging.size() - 1) * kStagingBlock + m_stagedInLast;
    const auto staged = [this](size_t i) -> const InvoiceRecord & {
        return m_staging[i / kStagingBlock][i % kStagingBlock];
    };
    try {
        // Small keys sorted, then every record copied once, in order, into a
        // vector of the exact size: far less memory moved than sorting the
        // records themselves, and no spare room.
        struct Key
        {
            qint64 day;
            qint32 numero;
            quint32 position; // order of addition, for equal date and number
        };
        std::vector<Key> keys;
        keys.reserve(count);
        for (size_t i = 0; i < count; ++i)
            keys.push_back({staged(i).data.toJulianDay(), staged(i).numero, quint32(i)});
        std::sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
            if (a.day != b.day)
                return a.day < b.day;
            if (a.numero != b.numero)
                return a.numero < b.numero;
            return a.position < b.position;
        });
        // The table is empty here: beginFill() emptied it.
        std::vector<InvoiceRecord> ordered;
        ordered.reserve(count);
        constexpr size_t kAhead = 16; // records fetched ahead of the copy
        for (size_t k = 0; k < count; ++k) {
            if (k + kAhead < count) {
                const char *next = reinterpret_cast<const char *>(&staged(keys[k + kAhead].position));
                for (size_t line = 0; line < sizeof(InvoiceRecord); line += 64)
                    __builtin_prefetch(next + line);
                __builtin_prefetch(next + sizeof(InvoiceRecord) - 1);
            }
            ordered.push_back(staged(keys[k].position));
        }
        m_records.swap(ordered);
    } catch (const std::bad_alloc &) {
        // Without memory for the keys or the copy: move the records over
        // and sort them in place, the stable sort keeping the order of
        // addition for equal date and number. Short of memory even for
        // that, the table keeps what it could take.
        try {
            m_records.reserve(count);
            for (size_t i = 0; i < count; ++i)
                m_records.push_back(staged(i));
        } catch (const std::bad_alloc &) {
        }
        std::stable_sort(m_records.begin(), m_records.end(), [](const InvoiceRecord &a, const InvoiceRecord &b) {
            if (a.data != b.data)
                return a.data < b.data;
            return a.numero < b.numero;
        });
    }
    m_staging.clear();
    m_stagedInLast = kStagingBlock;
}

int InvoiceTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_open ? 0 : int(m_records.size());
}

int InvoiceTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_open ? 0 : ColumnCount;
}

QString InvoiceTable::displayText(qsizetype row, int column) const
{
    const InvoiceRecord &r = at(row);
    switch (column) {
    case ColData: return m_locale.toString(r.data, QLocale::ShortFormat);
    case ColNumero: return QString::number(r.numero);
    case ColApice: return text(r.Apice);
    case ColCognome: return text(r.Cognome);
    case ColNome: return text(r.nome);
    case ColCf: return text(r.cf);
    case ColImporto: return currency(m_locale, r.importo);
    case ColBollo: return currency(m_locale, r.bollo);
    case ColImportoiva: return currency(m_locale, r.importoiva);
    case ColImportora: return currency(m_locale, r.importora);
    case ColTotale: return currency(m_locale, r.totale());
    case ColPIva: return text(r.sogiva);
    case ColDescrizione: return fromAnsi(r.descrizione());
    case ColIndirizzo: return text(r.indirizzo);
    case ColCap: return text(r.cap);
    case ColCitta: return text(r.citta);
    case ColProvincia: return text(r.provincia);
    default: return {};
    }
}

QVariant InvoiceTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return displayText(index.row(), index.column());
    case Qt::BackgroundRole:
        // A missing tax code stands out in red.
        if (index.column() == ColCf)
            return at(index.row()).cf.isEmpty() ? QColor(255, 0, 0) : QColor(255, 255, 255);
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == ColNumero || (index.column() >= ColImporto && index.column() <= ColTotale))
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant InvoiceTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < columnCount() ? QString::fromLatin1(field(section).label) : QVariant();
    return QVariant();
}
