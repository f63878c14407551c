#pragma once

class QWidget;
class TDataModule1;

// The association of headings with sezionali, as the settings dialog starts
// it: shows the association dialog on the data module's association table;
// after OK writes the table to [AssSezionale]; then reloads the table, after
// OK and Cancel alike. A failed write propagates to the caller and leaves the
// table as the user edited it.
void runAssociationDialog(QWidget *parent, TDataModule1 &dm);
