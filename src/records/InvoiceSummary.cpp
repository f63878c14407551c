#include "records/InvoiceSummary.h"

#include <bit>
#include <cmath>

void AmountSum::add(qint64 amount)
{
    const quint64 low = m_low + quint64(amount);
    const quint64 carry = low < m_low ? 1 : 0;
    // The amount's own upper half: all ones for a negative amount.
    const quint64 high = amount < 0 ? ~quint64(0) : 0;
    m_low = low;
    m_high += high + carry;
}

double AmountSum::toDouble() const
{
    const bool negative = (m_high >> 63) != 0;
    quint64 low = m_low;
    quint64 high = m_high;
    if (negative) {
        // The magnitude: -2^127 too stands as an unsigned 2^127.
        low = ~low + 1;
        high = ~high + (low == 0 ? 1 : 0);
    }
    double magnitude;
    if (high == 0) {
        magnitude = double(low);
    } else {
        // The 64 bits from the highest set one down, with a last bit set when
        // any bit below them is: rounding those 64 bits to the 53 of a double
        // then rounds the whole as the exact value would round.
        const int shift = std::bit_width(high);
        quint64 top = shift == 64 ? high : (high << (64 - shift)) | (low >> shift);
        const quint64 below = shift == 64 ? low : low & ((quint64(1) << shift) - 1);
        if (below != 0)
            top |= 1;
        magnitude = std::ldexp(double(top), shift);
    }
    return negative ? -magnitude : magnitude;
}

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
