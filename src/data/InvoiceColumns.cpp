#include "data/InvoiceColumns.h"

#include "firebird/IBDataSet.h"

namespace {
// True when the database's text did not fit (blanks aside).
template <int N>
bool readText(FixedText<N> &field, const IBDataSet &query, int column)
{
    const QByteArrayView bytes = query.asBytes(column);
    field.setLatin1(bytes.data(), bytes.size());
    return bytes.size() > N && FixedText<N>::cutsText(bytes.data(), bytes.size());
}
} // namespace

InvoiceColumns::InvoiceColumns(const IBDataSet &query)
    : m_data(query.fieldIndex(QStringLiteral("DATA"))),
      m_numero(query.fieldIndex(QStringLiteral("NUMERO"))),
      m_cf(query.fieldIndex(QStringLiteral("CF"))),
      m_indirizzo(query.fieldIndex(QStringLiteral("INDIRIZZO"))),
      m_cap(query.fieldIndex(QStringLiteral("CAP"))),
      m_citta(query.fieldIndex(QStringLiteral("CITTA"))),
      m_provincia(query.fieldIndex(QStringLiteral("PROVINCIA"))),
      m_sogiva(query.fieldIndex(QStringLiteral("SOGIVA"))),
      m_apice(query.fieldIndex(QStringLiteral("APICE"))),
      m_importo(query.fieldIndex(QStringLiteral("IMPORTO"))),
      m_bollo(query.fieldIndex(QStringLiteral("IMPORTO_TASSE"))),
      m_iva(query.fieldIndex(QStringLiteral("IMPORTOIVA"))),
      m_ra(query.fieldIndex(QStringLiteral("IMPORTORA"))),
      m_cognome(query.fieldIndex(QStringLiteral("COGNOME"))),
      m_nome(query.fieldIndex(QStringLiteral("NOME")))
{
}

void InvoiceColumns::read(const IBDataSet &query, InvoiceRecord &r) const
{
    r.data = query.asDate(m_data);
    r.numero = qint32(query.asInteger(m_numero));
    const bool cfCut = readText(r.cf, query, m_cf);
    readText(r.indirizzo, query, m_indirizzo);
    readText(r.cap, query, m_cap);
    readText(r.citta, query, m_citta);
    readText(r.provincia, query, m_provincia);
    const bool sogivaCut = readText(r.sogiva, query, m_sogiva);
    r.cut = quint8((cfCut ? InvoiceRecord::CutCf : 0) | (sogivaCut ? InvoiceRecord::CutSogiva : 0));
    readText(r.Apice, query, m_apice);
    r.importo = query.asMoney(m_importo);
    r.bollo = query.asMoney(m_bollo);
    r.importoiva = query.asMoney(m_iva);
    r.importora = query.asMoney(m_ra);
    readText(r.Cognome, query, m_cognome);
    readText(r.nome, query, m_nome);
}
