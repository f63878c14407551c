#pragma once

#include "platform/Money.h"
#include "records/FixedText.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>

#include <limits>
#include <optional>

// One extracted invoice. Text fields hold Windows-1252 bytes cut to the
// field's size; amounts are fixed point in ten-thousandths.
struct InvoiceRecord
{
    QDate data;
    qint32 numero = 0;
    // The patient database it was read from: its place in the database list.
    quint16 source = 0;
    // Texts that the database held longer than their fields, blanks aside:
    // the table and the export have them cut. Bits of CutText; the byte
    // stands in room the alignment of the amounts leaves free anyway.
    quint8 cut = 0;
    enum CutText : quint8 { CutCf = 1, CutSogiva = 2 };
    qint64 importo = 0;
    qint64 bollo = 0;
    qint64 importoiva = 0;
    qint64 importora = 0;
    FixedText<8> Apice;
    FixedText<30> Cognome;
    FixedText<30> nome;
    FixedText<16> cf;
    FixedText<16> sogiva; // P.Iva
    FixedText<35> indirizzo;
    FixedText<5> cap;
    FixedText<25> citta;
    FixedText<2> provincia;

    // The sum of the four amounts, withholding tax included.
    // The extraction admits only invoices whose sum fits; summed in unsigned
    // arithmetic all the same, so that a record made otherwise cannot make
    // it undefined.
    qint64 totale() const
    {
        return qint64(quint64(importo) + quint64(bollo) + quint64(importoiva) + quint64(importora));
    }
    // The sum as "totale <units>,<four decimals>" when adding the four
    // amounts one after the other leaves the range of qint64; nothing when
    // it stays within it. The extraction admits only invoices without one.
    std::optional<QString> totalOutOfRange() const
    {
        qint64 sum = importo;
        if (addWithinRange(sum, bollo) && addWithinRange(sum, importoiva) && addWithinRange(sum, importora))
            return std::nullopt;
        return exactTotalText();
    }
    // Apice as the database compares it: blanks after it do not count, so
    // 'A' and 'A ' are the same.
    QByteArrayView comparedApice() const
    {
        int length = Apice.size();
        while (length > 0 && Apice.data()[length - 1] == ' ')
            --length;
        return QByteArrayView(Apice.data(), length);
    }
    // "Fattura Emessa" for a zero or positive amount, else "Nota di Credito".
    QByteArray descrizione() const
    {
        return importo >= 0 ? QByteArrayLiteral("Fattura Emessa") : QByteArrayLiteral("Nota di Credito");
    }

private:
    // Adds amount to sum when the result stays within the range of qint64.
    static bool addWithinRange(qint64 &sum, qint64 amount)
    {
        if (amount > 0 ? sum > std::numeric_limits<qint64>::max() - amount
                       : sum < std::numeric_limits<qint64>::min() - amount)
            return false;
        sum += amount;
        return true;
    }
    // The exact sum of the four amounts as text, however large.
    QString exactTotalText() const;
};
