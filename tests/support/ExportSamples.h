#pragma once

#include "export/ExportFile.h"

#include <QByteArray>
#include <QDate>

// What the export tests share: the header line of the import file as the
// accounting package expects it, one plain invoice and a full set of codes.
namespace ExportSamples {

inline const QByteArray kHeader =
    "ATT;REG;SEZ;DATA OPER;N.PROTO;PROG.P;RIGA;DATA DOC;N.DOC;CLIFOR;ALIQ;TIT.INAP;IMPONIB;IVA;SETT.;DARE;AVERE;"
    "VOCE IVA;FUNZ;DESCR CLIFOR;NOTE;CODFISCALE;PARTITAIVA;NOMINATIVO;INDIRIZZO;CAP;COMUNE;PROV;TIPO CLIFOR;"
    "SOGG 770;ESCLUDI DA SPESOMETRO;NUM STATO EST;COD STATO;TEL;FAX;EMAIL\r\n";

// An invoice of 6 November 2025 to Mario Rossi, Via Po 1, 10100 Torino.
inline InvoiceRecord invoice(int numero, qint64 importo)
{
    InvoiceRecord r;
    r.data = QDate(2025, 11, 6);
    r.numero = numero;
    r.importo = importo;
    r.cf.set("CF1");
    r.Cognome.set("Rossi");
    r.nome.set("Mario");
    r.indirizzo.set("Via Po 1");
    r.cap.set("10100");
    r.citta.set("Torino");
    r.provincia.set("TO");
    return r;
}

// Every accounting code set, fee and stamp duty apart.
inline ExportSettings codes()
{
    ExportSettings s;
    s.attivita = "A1";
    s.registro = "R";
    s.iva = "22";
    s.inapplicabilita = "N4";
    s.voceIva = "V1";
    s.settore = "S1";
    s.contoDare = "D1";
    s.contoAvere = "C1";
    s.inapplicabilitaBollo = "N1B";
    s.voceIvaBollo = "VB";
    s.settoreBollo = "SB";
    s.contoDareBollo = "DB";
    s.contoAvereBollo = "CB";
    return s;
}

} // namespace ExportSamples
