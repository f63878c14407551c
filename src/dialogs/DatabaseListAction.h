#pragma once

class QWidget;

// "File su cui operare": shows the databases of section [File] of Tolm.ini in
// the list dialog, the last one current. On OK the section is erased and
// written anew with keys 1..n in list order (host:file, or the file alone);
// on Cancel the file is not touched. A failed write raises
// "Unable to write to <path of Tolm.ini>" for the caller's guard to report.
void runDatabaseListDialog(QWidget *parent);
