// A patient database added through the database list and its location
// dialog, then confirmed, is read by the extraction at the next start.
#include "data/TDataModule1.h"
#include "dialogs/DatabaseListAction.h"
#include "dialogs/TDlgOpenFile.h"
#include "dialogs/TOpenDatabaseDlg.h"
#include "support/FbFixture.h"
#include "support/NextDialog.h"
#include "support/TestFolder.h"
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/TestPrompter.h"
#pragma GCC diagnostic pop

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TestDatabaseListRestart : public QObject
{
    Q_OBJECT

private slots:
    void addedDatabaseIsReadAtNextStart();
};

void TestDatabaseListRestart::addedDatabaseIsReadAtNextStart()
{
    TestFolder folder;
    TestPrompter prompter;
    const QString config = folder.filePath(QStringLiteral("config.fdb"));
    const QString first = folder.filePath(QStringLiteral("primo.fdb"));
    const QString added = folder.filePath(QStringLiteral("aggiunto.fdb"));
    QVERIFY(FbFixture::createConfigDatabase(config));
    QVERIFY(FbFixture::runSql(config, QStringLiteral("INSERT INTO intestazioni (sigla, descrizione) VALUES ('01', 'Studio');")));
    FbFixture::Invoice invoice;
    invoice.cognome = QStringLiteral("Rossi");
    invoice.cf = QStringLiteral("CF1");
    invoice.importo = QStringLiteral("100");
    QVERIFY(FbFixture::createPatientDatabase(first));
    QVERIFY(FbFixture::runSql(first, FbFixture::insertInvoice(invoice)));
    invoice.cognome = QStringLiteral("Bianchi");
    invoice.numero = 2;
    QVERIFY(FbFixture::createPatientDatabase(added));
    QVERIFY(FbFixture::runSql(added, FbFixture::insertInvoice(invoice)));
    folder.writeIni(settingsFileText(config, {first}, QStringLiteral("[AssSezionale]\n01=1\n")));

    auto extractedSurnames = [] {
        TDataModule1 dm;
        dm.MTableAssIntest.first();
        dm.EstraiDati(1, QDate(2025, 1, 1), QDate(2025, 12, 31));
        QByteArrayList names;
        for (const InvoiceRecord &r : dm.dxMemDataFatture.records())
            names << r.Cognome.bytes();
        return names;
    };
    QCOMPARE(extractedSurnames(), QByteArrayList{"Rossi"});

    // Add the second database through the list and the location dialog, then confirm.
    bool listShown = false, locationShown = false;
    answerNextDialog<TDlgOpenFile>([&](TDlgOpenFile &list) {
        listShown = true;
        answerNextDialog<TOpenDatabaseDlg>([&](TOpenDatabaseDlg &location) {
            locationShown = true;
            location.EditFile->setText(added);
            QTest::mouseClick(location.OKBtn, Qt::LeftButton);
        });
        list.SpeedButton1Click();
        QTest::mouseClick(list.OKBtn, Qt::LeftButton);
    });
    runDatabaseListDialog(nullptr);
    QVERIFY(listShown);
    QVERIFY(locationShown);
    QVERIFY(folder.readIni().contains(QStringLiteral("2=%1").arg(added).toUtf8()));

    // The running program keeps its connections; a new start reads both.
    QCOMPARE(extractedSurnames(), (QByteArrayList{"Rossi", "Bianchi"}));
    QVERIFY(prompter.errors.isEmpty());
}

QTEST_MAIN(TestDatabaseListRestart)
#include "test_databaselist_restart.moc"
