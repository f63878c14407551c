#include "models/InvoiceModel.h"

#include "platform/AnsiCodePage.h"
#include "records/DateText.h"

#include <QColor>

namespace {
const QColor kRejected(255, 165, 0);
// Exported before: light blue; with another total then, violet.
const QColor kExported(173, 216, 230);
const QColor kExportedOtherTotal(176, 128, 255);

template <int N>
QString text(const FixedText<N> &value)
{
    return fromAnsi(value.data(), value.size());
}
} // namespace

InvoiceModel::InvoiceModel(const InvoiceTable &table, QObject *parent) : QAbstractTableModel(parent), m_table(table)
{
    connect(&table, &InvoiceTable::aboutToReset, this, &InvoiceModel::beginResetModel);
    connect(&table, &InvoiceTable::reset, this, &InvoiceModel::endResetModel);
    connect(&table, &InvoiceTable::rowsAboutToBeAppended, this,
            [this](qsizetype first, qsizetype last) { beginInsertRows({}, int(first), int(last)); });
    connect(&table, &InvoiceTable::rowsAppended, this, &InvoiceModel::endInsertRows);
    connect(&table, &InvoiceTable::exportHistoryChanged, this, [this] {
        if (rowCount() > 0)
            emit dataChanged(index(0, InvoiceTable::ColData), index(rowCount() - 1, InvoiceTable::ColData),
                             {Qt::BackgroundRole, Qt::ToolTipRole});
    });
}

void InvoiceModel::setDisplayLocale(const QLocale &locale)
{
    m_locale = locale;
    m_currency = CurrencyFormat(locale);
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
}

int InvoiceModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_table.isOpen() ? 0 : int(m_table.size());
}

int InvoiceModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_table.columnCount();
}

QString InvoiceModel::displayText(qsizetype row, int column) const
{
    const InvoiceRecord &r = m_table.at(row);
    switch (column) {
    case InvoiceTable::ColData: return m_locale.toString(r.data, QLocale::ShortFormat);
    case InvoiceTable::ColNumero: return QString::number(r.numero);
    case InvoiceTable::ColApice: return text(r.Apice);
    case InvoiceTable::ColCognome: return text(r.Cognome);
    case InvoiceTable::ColNome: return text(r.nome);
    case InvoiceTable::ColCf: return text(r.cf);
    case InvoiceTable::ColImporto: return m_currency.text(r.importo);
    case InvoiceTable::ColBollo: return m_currency.text(r.bollo);
    case InvoiceTable::ColImportoiva: return m_currency.text(r.importoiva);
    case InvoiceTable::ColImportora: return m_currency.text(r.importora);
    case InvoiceTable::ColTotale: return m_currency.text(r.totale());
    case InvoiceTable::ColPIva: return text(r.sogiva);
    case InvoiceTable::ColDescrizione: return fromAnsi(r.descrizione());
    case InvoiceTable::ColIndirizzo: return text(r.indirizzo);
    case InvoiceTable::ColCap: return text(r.cap);
    case InvoiceTable::ColCitta: return text(r.citta);
    case InvoiceTable::ColProvincia: return text(r.provincia);
    default: return {};
    }
}

QString InvoiceModel::numeroTip(qsizetype row) const
{
    const InvoiceChecks &checks = m_table.checks();
    QStringList lines;
    const qsizetype copy = checks.duplicateOf(row);
    if (copy >= 0) {
        const qsizetype copies = checks.copyCount(row);
        lines << QStringLiteral("Fattura presente %1 (archivio %2)")
                     .arg(copies == 2 ? QStringLiteral("due volte") : QStringLiteral("%1 volte").arg(copies),
                          m_sourceNames.value(m_table.at(copy).source));
    }
    const qsizetype sameProtocol = checks.sameProtocolAs(row);
    if (sameProtocol >= 0) {
        const InvoiceRecord &other = m_table.at(sameProtocol);
        const QByteArrayView apiceBytes = other.comparedApice();
        const QString apice = fromAnsi(apiceBytes.data(), apiceBytes.size());
        lines << QStringLiteral("Stesso protocollo nell'esportazione: l'Apice non viene esportato "
                                "(anche fattura %1%2 del %3)")
                     .arg(QString::number(other.numero), apice, m_locale.toString(other.data, QLocale::ShortFormat));
    }
    return lines.join(QLatin1Char('\n'));
}

QString InvoiceModel::dataTip(qsizetype row) const
{
    const std::optional<ExportHistory::Export> exported = m_table.exportHistory().exportOf(row);
    if (!exported)
        return {};
    QString tip = QStringLiteral("Esportata il %1 alle %2 in %3")
                      .arg(dayText(exported->day),
                           exported->time.toString(QStringLiteral("hh:mm")), exported->file);
    if (exported->total != m_table.at(row).totale())
        tip += QStringLiteral("\ncon totale diverso: ") + m_currency.text(exported->total);
    return tip;
}

QVariant InvoiceModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return displayText(index.row(), index.column());
    case Qt::BackgroundRole:
        // A missing tax code stands out in red; what the accounting package
        // would reject, in orange.
        if (index.column() == InvoiceTable::ColCf) {
            if (m_table.at(index.row()).cf.isEmpty())
                return QColor(255, 0, 0);
            if (m_table.checks().taxCodeProblem(index.row()) != TaxCodeProblem::None)
                return kRejected;
            return QColor(255, 255, 255);
        }
        if (index.column() == InvoiceTable::ColNumero
            && (m_table.checks().duplicateOf(index.row()) >= 0 || m_table.checks().sameProtocolAs(index.row()) >= 0))
            return kRejected;
        if (index.column() == InvoiceTable::ColPIva && (m_table.at(index.row()).cut & InvoiceRecord::CutSogiva))
            return kRejected;
        if (index.column() == InvoiceTable::ColData) {
            const std::optional<ExportHistory::Export> exported = m_table.exportHistory().exportOf(index.row());
            if (exported)
                return exported->total == m_table.at(index.row()).totale() ? kExported : kExportedOtherTotal;
        }
        return {};
    case Qt::ToolTipRole:
        if (index.column() == InvoiceTable::ColCf) {
            const TaxCodeProblem problem = m_table.checks().taxCodeProblem(index.row());
            return problem == TaxCodeProblem::None ? QVariant() : QVariant(taxCodeProblemText(problem));
        }
        if (index.column() == InvoiceTable::ColNumero || index.column() == InvoiceTable::ColData) {
            const QString tip =
                index.column() == InvoiceTable::ColNumero ? numeroTip(index.row()) : dataTip(index.row());
            return tip.isEmpty() ? QVariant() : QVariant(tip);
        }
        if (index.column() == InvoiceTable::ColPIva && (m_table.at(index.row()).cut & InvoiceRecord::CutSogiva))
            return QStringLiteral("P.Iva troppo lunga nel database: esportata tagliata a %1 caratteri")
                .arg(decltype(InvoiceRecord::sogiva)::capacity);
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == InvoiceTable::ColNumero
            || (index.column() >= InvoiceTable::ColImporto && index.column() <= InvoiceTable::ColTotale))
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant InvoiceModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    return QString::fromLatin1(InvoiceTable::field(section).label);
}
