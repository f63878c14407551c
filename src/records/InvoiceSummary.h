#pragma once

#include "records/InvoiceRecord.h"

#include <QtGlobal>

#include <vector>

// A sum of qint64 amounts that cannot wrap, however many are added: 128 bits
// held in two 64-bit halves, so that it needs no 128-bit integer type of the
// compiler (32-bit builds have none).
class AmountSum
{
public:
    void add(qint64 amount);
    // The sum rounded once to the nearest double, ties to even: what a
    // 128-bit integer converted to double gives.
    double toDouble() const;

private:
    // The sum in two's complement: the upper half carries the sign.
    quint64 m_low = 0;
    quint64 m_high = 0;
};

// The figures of the line under the invoice grid: how many invoices, the sum
// of their totals and how many have no tax code.
struct InvoiceSummary
{
    qsizetype invoices = 0;
    AmountSum total; // ten-thousandths
    qsizetype withoutTaxCode = 0;

    // The sum of the totals in currency units.
    double totalUnits() const { return total.toDouble() / double(kMoneyScale); }
};

InvoiceSummary summarize(const std::vector<InvoiceRecord> &records);
