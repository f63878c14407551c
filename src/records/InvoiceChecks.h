#pragma once

#include "records/InvoiceRecord.h"
#include "records/TaxCode.h"

#include <utility>
#include <vector>

// What the accounting package would reject in a table of invoices, found once
// after the table is filled: tax codes that are present but cannot be right
// or were cut to fit the table, invoices counted twice (the same number,
// Apice, year and kind: invoice or credit note), and invoices that the
// import would file under the same protocol number (the same number and year,
// another Apice: the export writes the number without the Apice). Apice is
// compared as the database compares it, trailing blanks ignored. Only the
// rows concerned are kept.
class InvoiceChecks
{
public:
    InvoiceChecks() = default;
    // Checks the records; O(n log n) for n records.
    explicit InvoiceChecks(const std::vector<InvoiceRecord> &records);

    // None when the row's tax code is missing or can be right.
    TaxCodeProblem taxCodeProblem(qsizetype row) const;
    // Another row holding the same invoice as this one, one read from
    // another patient database where there is one; -1 when none.
    qsizetype duplicateOf(qsizetype row) const;
    // How many rows hold this row's invoice, itself included: 1 when it
    // stands alone.
    qsizetype copyCount(qsizetype row) const;
    // A row with the same number and year but another Apice, which the
    // import would take as the same protocol; -1 when none.
    qsizetype sameProtocolAs(qsizetype row) const;

    qsizetype invalidTaxCodeCount() const { return qsizetype(m_taxCodes.size()); }
    qsizetype duplicateCount() const { return qsizetype(m_duplicates.size()); }
    qsizetype sameProtocolCount() const { return qsizetype(m_sameProtocols.size()); }

private:
    using Key = std::pair<quint64, quint32>; // year and number, row
    struct Copies
    {
        quint32 other;
        quint32 count;
    };

    // The rows of one year and number, more than one.
    void checkGroup(const std::vector<InvoiceRecord> &records, Key *first, Key *end);

    // Ordered by row; rows fit in 32 bits as in the grid.
    std::vector<std::pair<quint32, TaxCodeProblem>> m_taxCodes;
    std::vector<std::pair<quint32, Copies>> m_duplicates;
    std::vector<std::pair<quint32, quint32>> m_sameProtocols;
};
