#include "records/InvoiceSummary.h"

InvoiceSummary summarize(const std::vector<InvoiceRecord> &records)
{
    InvoiceSummary summary;
    summary.invoices = qsizetype(records.size());
    for (const InvoiceRecord &r : records) {
        summary.total.add(r.totale());
        if (r.cf.isEmpty())
            ++summary.withoutTaxCode;
    }
    return summary;
}
