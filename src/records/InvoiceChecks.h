#pragma once

#include "records/InvoiceRecord.h"
#include "records/TaxCode.h"

#include <utility>
#include <vector>

// What the accounting package would reject in a table of invoices, found once
// after the table is filled: tax codes that are present but cannot be right,
// and invoices counted twice (the same number, Apice, year and kind: invoice
// or credit note). Only the rows concerned are kept.
class InvoiceChecks
{
public:
    InvoiceChecks() = default;
    // Checks the records; O(n log n) for n records.
    explicit InvoiceChecks(const std::vector<InvoiceRecord> &records);

    // None when the row's tax code is missing or can be right.
    TaxCodeProblem taxCodeProblem(qsizetype row) const;
    // Another row holding the same invoice as this one; -1 when none.
    qsizetype duplicateOf(qsizetype row) const;

    qsizetype invalidTaxCodeCount() const { return qsizetype(m_taxCodes.size()); }
    qsizetype duplicateCount() const { return qsizetype(m_duplicates.size()); }

private:
    // Ordered by row; rows fit in 32 bits as in the grid.
    std::vector<std::pair<quint32, TaxCodeProblem>> m_taxCodes;
    std::vector<std::pair<quint32, quint32>> m_duplicates;
};
