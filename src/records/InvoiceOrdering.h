#pragma once

#include "records/InvoiceRecord.h"
#include "records/InvoiceStaging.h"

#include <functional>
#include <vector>

// The records of an extraction in date, then number order, in two steps:
// each database's part has its order found on its own (on the thread that
// read it, while the other databases are still read), then the parts'
// records are copied once, merged in that order. Records with equal date and
// number keep the order of the parts, then the order in which each part took
// them.
//
// goOn, when given, is called between steps a few tens of milliseconds apart:
// when it answers false, the step ends there, nothing is moved into ordered
// and the answer is false. Short of memory, std::bad_alloc goes on to the
// caller and what was given stays as it was.

// A record's place in its part's order.
struct InvoiceOrderKey
{
    qint64 day;
    qint32 numero;
    quint32 place; // its block in the part and its place in the block
};

// One part with its order.
struct SortedPart
{
    const InvoiceStaging *records = nullptr;
    std::vector<InvoiceOrderKey> order;
};

// Finds the order of part.records.
bool sortPart(SortedPart &part, const std::function<bool()> &goOn = {});

// Copies the records of the parts, each sorted, into ordered in one order,
// leaving it with no spare room; spare, the memory of an earlier table
// (emptied), takes the copy when it fits without much room to spare, and is
// given back otherwise.
bool putInOrder(const std::vector<const SortedPart *> &parts, std::vector<InvoiceRecord> &spare,
                std::vector<InvoiceRecord> &ordered, const std::function<bool()> &goOn = {});
