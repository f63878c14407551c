#pragma once

#include "records/AmountText.h"
#include "records/InvoiceRecord.h"

#include <QtGlobal>

#include <vector>

// The figures of the line under the invoice grid: how many invoices, the sum
// of their totals and how many have no tax code.
struct InvoiceSummary
{
    qsizetype invoices = 0;
    AmountSum total; // ten-thousandths, exact however many invoices
    qsizetype withoutTaxCode = 0;
};

InvoiceSummary summarize(const std::vector<InvoiceRecord> &records);
