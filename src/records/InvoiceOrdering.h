#pragma once

#include "records/InvoiceRecord.h"
#include "records/InvoiceStaging.h"

#include <functional>
#include <vector>

// Puts the records of the parts into date, then number order; records with
// equal date and number keep the order of the parts, then the order in which
// each part took them. The result goes into ordered, which is left with no
// spare room; spare, the memory of an earlier table (emptied), takes the
// copy when it fits without much room to spare, and is given back otherwise.
//
// goOn, when given, is called between the steps, a few tens of milliseconds
// apart: when it answers false, nothing is moved into ordered and the answer
// is false. Short of memory, std::bad_alloc goes on to the caller and the
// parts stay as they are.
bool putInOrder(const std::vector<const InvoiceStaging *> &parts, std::vector<InvoiceRecord> &spare,
                std::vector<InvoiceRecord> &ordered, const std::function<bool()> &goOn = {});
