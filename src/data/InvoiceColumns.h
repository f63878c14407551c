#pragma once

// In data/: it reads the client layer's rows into records, and only data/
// may include both firebird/ and records/.

#include "records/InvoiceRecord.h"

class IBDataSet;

// The extraction query's columns, looked up once when the query is open;
// read() then fills a record from each row without looking them up again.
class InvoiceColumns
{
public:
    explicit InvoiceColumns(const IBDataSet &query);

    // Fills the record from the query's current row; source is left as it
    // is. Texts are cut to their fields (the record's cut says so for the
    // tax code and the VAT number) and ISO-8859-1 bytes taken as
    // Windows-1252. An amount that does not fit raises AmountOutOfRange once
    // data, numero and the texts before the amounts are filled.
    void read(const IBDataSet &query, InvoiceRecord &r) const;

private:
    int m_data;
    int m_numero;
    int m_cf;
    int m_indirizzo;
    int m_cap;
    int m_citta;
    int m_provincia;
    int m_sogiva;
    int m_apice;
    int m_importo;
    int m_bollo;
    int m_iva;
    int m_ra;
    int m_cognome;
    int m_nome;
};
