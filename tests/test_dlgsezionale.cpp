// The association dialog against a plain association table: layout, editing
// in place with the field sizes, the grid's row keys and OK with an open
// editor.
#include "records/AssociationTable.h"
#include "dialogs/TDlgSezionale.h"
// GCC 12 sees a false "maybe uninitialized" in the optional<QString> queues.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/TestPrompter.h"
#pragma GCC diagnostic pop

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include <memory>

class TestDlgSezionale : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layoutAndColumns();
    void opensOnCurrentRow();
    void editInPlaceStopsAtFieldSize_data();
    void editInPlaceStopsAtFieldSize();
    void escapeUndoesCellWithoutClosing();
    void escapeUndoesCellThenRowThenCancels();
    void escapeAfterLeavingTheRowCancels();
    void insertKeyInsertsBeforeCurrent();
    void downOnLastRowAppends();
    void ctrlDeleteAsksFirst_data();
    void ctrlDeleteAsksFirst();
    void okWhileEditingPostsTheEdit_data();
    void okWhileEditingPostsTheEdit();
    void postPendingEditCommitsOpenEditor();

private:
    // Shows the dialog, active, with the grid on the given cell.
    void openOn(int row, int column);
    QLineEdit *openEditor() const;
    static void type(const QString &text);

    std::unique_ptr<TestPrompter> prompter;
    std::unique_ptr<AssociationTable> table;
    std::unique_ptr<TDlgSezionale> dialog;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

void TestDlgSezionale::init()
{
    prompter = std::make_unique<TestPrompter>();
    table = std::make_unique<AssociationTable>();
    table->appendRow(0, QStringLiteral("AA"), QStringLiteral("Studio Alfa"), QStringLiteral("1"));
    table->appendRow(1, QStringLiteral("BB"), QStringLiteral("Studio Beta"), QStringLiteral("-1"));
    table->appendRow(2, QStringLiteral("CC"), QStringLiteral("Studio Gamma"), QStringLiteral("3"));
    table->first();
}

void TestDlgSezionale::cleanup()
{
    tester.reset();
    dialog.reset();
    table.reset();
    prompter.reset();
}

void TestDlgSezionale::openOn(int row, int column)
{
    dialog = std::make_unique<TDlgSezionale>(*table);
    tester = std::make_unique<QAbstractItemModelTester>(dialog->DBGrid1->model(),
                                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
    dialog->show();
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    dialog->DBGrid1->setFocus();
    dialog->DBGrid1->setCurrentIndex(dialog->DBGrid1->model()->index(row, column));
}

QLineEdit *TestDlgSezionale::openEditor() const
{
    return qobject_cast<QLineEdit *>(dialog->DBGrid1->indexWidget(dialog->DBGrid1->currentIndex()));
}

void TestDlgSezionale::type(const QString &text)
{
    for (QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

void TestDlgSezionale::layoutAndColumns()
{
    TDlgSezionale dlg(*table);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Associazione Sezionali"));
    QCOMPARE(dlg.size(), QSize(312, 179));
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    QCOMPARE(dlg.DBGrid1->geometry(), QRect(5, 5, 302, 136));
    QCOMPARE(dlg.DBGrid1->objectName(), QStringLiteral("DBGrid1"));

    // Every column shows at the dialog's size, on every platform's style:
    // Descrizione and Sigla as wide as the Parts say, Sezionale the rest.
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QHeaderView *header = dlg.DBGrid1->horizontalHeader();
    QVERIFY(header->isSectionHidden(AssociationTable::ColIndex));
    QStringList titles;
    QList<int> widths;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (header->isSectionHidden(logical))
            continue;
        titles << dlg.DBGrid1->model()->headerData(logical, Qt::Horizontal).toString();
        widths << header->sectionSize(logical);
    }
    QCOMPARE(titles, (QStringList{"Descrizione", "Sigla", "Sezionale"}));
    const int rest = dlg.DBGrid1->viewport()->width() - 205 - 27;
    QVERIFY2(rest >= 27, qPrintable(QString::number(rest)));
    QCOMPARE(widths, (QList<int>{205, 27, rest}));
    QVERIFY(!dlg.DBGrid1->horizontalScrollBar()->isVisible());

    QCOMPARE(dlg.OKBtn->text(), QStringLiteral("OK"));
    QVERIFY(dlg.OKBtn->isDefault());
    QCOMPARE(dlg.CancelBtn->text(), QStringLiteral("Cancel"));
    QCOMPARE(dlg.findChild<QPushButton *>("OKBtn"), dlg.OKBtn);
    QCOMPARE(dlg.findChild<QPushButton *>("CancelBtn"), dlg.CancelBtn);
}

void TestDlgSezionale::opensOnCurrentRow()
{
    table->setCurrentRow(2);
    TDlgSezionale dlg(*table);
    QCOMPARE(dlg.DBGrid1->currentIndex().row(), 2);

    // Moving in the grid moves the table.
    dlg.DBGrid1->setCurrentIndex(dlg.DBGrid1->model()->index(1, AssociationTable::ColSigla));
    QCOMPARE(table->currentRow(), 1);
}

void TestDlgSezionale::editInPlaceStopsAtFieldSize_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");

    const QString longText = QString(70, QLatin1Char('d'));
    QTest::newRow("Sigla") << int(AssociationTable::ColSigla) << "XYZ" << "XY";
    QTest::newRow("Descrizione") << int(AssociationTable::ColDescrizione) << longText << longText.left(60);
    QTest::newRow("Sezionale") << int(AssociationTable::ColSezionale) << "123" << "12";
}

void TestDlgSezionale::editInPlaceStopsAtFieldSize()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, stored);

    openOn(1, column);
    type(typed);
    QLineEdit *editor = openEditor();
    QVERIFY(editor);
    QCOMPARE(editor->text(), stored);
    // Leaving the row posts it.
    QTest::keyClick(editor, Qt::Key_Up);
    QVERIFY(!openEditor());
    QCOMPARE(table->fieldText(1, column), stored);
    QCOMPARE(table->currentRow(), 0);
}

void TestDlgSezionale::escapeUndoesCellWithoutClosing()
{
    openOn(0, AssociationTable::ColSezionale);
    type(QStringLiteral("7"));
    QVERIFY(openEditor());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!openEditor());
    QVERIFY(dialog->isVisible());
    QCOMPARE(table->row(0).Sezionale, QByteArray("1"));
}

void TestDlgSezionale::escapeUndoesCellThenRowThenCancels()
{
    openOn(0, AssociationTable::ColDescrizione);
    type(QStringLiteral("Nuovo"));
    // Tab takes the typing into the cell and stays in the row.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(dialog->DBGrid1->currentIndex(), dialog->DBGrid1->model()->index(0, AssociationTable::ColSigla));
    type(QStringLiteral("XY"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(dialog->DBGrid1->currentIndex(), dialog->DBGrid1->model()->index(0, AssociationTable::ColSezionale));
    type(QStringLiteral("5"));
    QVERIFY(openEditor());

    // First: the typing in the cell.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!openEditor());
    QVERIFY(dialog->isVisible());
    QCOMPARE(table->row(0).Sezionale, QByteArray("1"));
    QCOMPARE(table->row(0).Sigla, QByteArray("XY"));
    QCOMPARE(dialog->DBGrid1->model()->index(0, AssociationTable::ColDescrizione).data().toString(),
             QStringLiteral("Nuovo"));

    // Then: the row as the grid entered it.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(dialog->isVisible());
    QCOMPARE(table->row(0).Sigla, QByteArray("AA"));
    QCOMPARE(table->row(0).Descrizione, QByteArray("Studio Alfa"));
    QCOMPARE(table->row(0).Sezionale, QByteArray("1"));
    QCOMPARE(dialog->DBGrid1->model()->index(0, AssociationTable::ColDescrizione).data().toString(),
             QStringLiteral("Studio Alfa"));
    QCOMPARE(table->currentRow(), 0);

    // Nothing left to undo: Cancel.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
}

void TestDlgSezionale::escapeAfterLeavingTheRowCancels()
{
    openOn(1, AssociationTable::ColSezionale);
    type(QStringLiteral("5"));
    // Leaving the row posts it; the row entered has nothing to undo.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(table->row(1).Sezionale, QByteArray("5"));
    QCOMPARE(table->currentRow(), 2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
}

void TestDlgSezionale::insertKeyInsertsBeforeCurrent()
{
    openOn(1, AssociationTable::ColSigla);
    QTest::keyClick(dialog->DBGrid1, Qt::Key_Insert);
    QCOMPARE(table->size(), 4);
    QCOMPARE(table->currentRow(), 1);
    QCOMPARE(dialog->DBGrid1->currentIndex().row(), 1);
    QCOMPARE(table->row(1).Sigla, QByteArray());
    QCOMPARE(table->row(2).Sigla, QByteArray("BB"));

    type(QStringLiteral("DD"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(table->row(1).Sigla, QByteArray("DD"));
    QCOMPARE(table->currentRow(), 2);
}

void TestDlgSezionale::downOnLastRowAppends()
{
    openOn(1, AssociationTable::ColSigla);
    QTest::keyClick(dialog->DBGrid1, Qt::Key_Down);
    QCOMPARE(table->size(), 3);
    QCOMPARE(table->currentRow(), 2);

    QTest::keyClick(dialog->DBGrid1, Qt::Key_Down);
    QCOMPARE(table->size(), 4);
    QCOMPARE(table->currentRow(), 3);
    QCOMPARE(dialog->DBGrid1->currentIndex().row(), 3);
    // The new row is still untouched: no second row after it.
    QTest::keyClick(dialog->DBGrid1, Qt::Key_Down);
    QCOMPARE(table->size(), 4);

    // Filled in, Down from the editor posts it and appends the next one.
    type(QStringLiteral("EE"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(table->row(3).Sigla, QByteArray("EE"));
    QCOMPARE(table->size(), 5);
    QCOMPARE(table->currentRow(), 4);
}

void TestDlgSezionale::ctrlDeleteAsksFirst_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QByteArrayList>("siglas");
    QTest::newRow("OK") << true << QByteArrayList{"AA", "CC"};
    QTest::newRow("Cancel") << false << QByteArrayList{"AA", "BB", "CC"};
}

void TestDlgSezionale::ctrlDeleteAsksFirst()
{
    QFETCH(bool, answer);
    QFETCH(QByteArrayList, siglas);

    prompter->okCancelAnswers = {answer};
    openOn(1, AssociationTable::ColDescrizione);
    QTest::keyClick(dialog->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(prompter->questions, QStringList{"Delete record?"});
    QByteArrayList left;
    for (int i = 0; i < table->size(); ++i)
        left << table->row(i).Sigla;
    QCOMPARE(left, siglas);
    QCOMPARE(table->currentRow(), 1);
    QVERIFY(dialog->isVisible());
}

void TestDlgSezionale::okWhileEditingPostsTheEdit_data()
{
    QTest::addColumn<bool>("byMouse");
    QTest::newRow("OK button clicked") << true;
    QTest::newRow("accept") << false;
}

void TestDlgSezionale::okWhileEditingPostsTheEdit()
{
    QFETCH(bool, byMouse);

    openOn(2, AssociationTable::ColSezionale);
    type(QStringLiteral("45"));
    QVERIFY(openEditor());
    if (byMouse)
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    else
        dialog->accept();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY(!dialog->isVisible());
    QCOMPARE(table->row(2).Sezionale, QByteArray("45"));
}

void TestDlgSezionale::postPendingEditCommitsOpenEditor()
{
    openOn(0, AssociationTable::ColDescrizione);
    type(QStringLiteral("Nuovo"));
    QVERIFY(openEditor());
    dialog->postPendingEdit();
    QVERIFY(!openEditor());
    QCOMPARE(table->row(0).Descrizione, QByteArray("Nuovo"));
    // Nothing open: nothing happens.
    dialog->postPendingEdit();
    QCOMPARE(table->row(0).Descrizione, QByteArray("Nuovo"));
}

QTEST_MAIN(TestDlgSezionale)
#include "test_dlgsezionale.moc"
