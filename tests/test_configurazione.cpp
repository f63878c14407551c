#include "settings/TConfigurazione.h"

#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "platform/Today.h"
#include "platform/TolmError.h"
#include "support/Immutable.h"
#include "support/Peer.h"
#include "support/SmallDisk.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <memory>

namespace {

// The export folder used until the settings name one.
QString defaultFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\EsportazioneTarvendo");
#else
    return QDir::homePath() + QStringLiteral("/EsportazioneTarvendo");
#endif
}

// The folder's parts, each followed by the separator the program appends,
// with the platform's separators only: separated({"/out", "061125"}) is
// "/out/061125/" here, "\out\061125\" on Windows.
QString separated(const QStringList &parts)
{
    QString text;
    for (const QString &part : parts)
        text += QDir::toNativeSeparators(part) + pathSeparator();
    return text;
}

// Every loaded value as text, by field name, so that one table covers them.
QString field(const TConfigurazione &c, const QString &name)
{
    const QHash<QString, QString> fields = {
        {"FFileConfig", c.FFileConfig},
        {"FPeriodoSalvataggio", QString::number(c.FPeriodoSalvataggio)},
        {"CartellaSalvataggio", c.CartellaSalvataggio()},
        {"CreaSottocartelle", c.CreaSottocartelle() ? "1" : "0"},
        {"CartellaEsportazione", c.CartellaEsportazione()},
        {"FEstensioneTXT", c.FEstensioneTXT ? "1" : "0"},
        {"FAttivita", c.FAttivita},
        {"FRegistro", c.FRegistro},
        {"FSettore", c.FSettore},
        {"FContoDare", c.FContoDare},
        {"FContoAvere", c.FContoAvere},
        {"FSettoreBollo", c.FSettoreBollo},
        {"FContoDareBollo", c.FContoDareBollo},
        {"FContoAvereBollo", c.FContoAvereBollo},
        {"FIVA", c.FIVA},
        {"FInapplicabilita", c.FInapplicabilita},
        {"FVoceIva", c.FVoceIva},
        {"FInapplicabilitaBollo", c.FInapplicabilitaBollo},
        {"FVoceIvaBollo", c.FVoceIvaBollo},
        {"listasez", c.listasez.join(u'|')},
    };
    Q_ASSERT(fields.contains(name));
    return fields.value(name);
}

QString saveError(TConfigurazione &c)
{
    try {
        c.salvaconfig();
    } catch (const TolmError &e) {
        return e.message();
    }
    return QString();
}

const QByteArray kOtherSectionsBefore = "; Tolm\r\n[Config]\r\nfile=/db/config.fdb\r\n\r\n"
                                        "[Database]\r\nuser=SYSDBA\r\npwd=x\r\n[File]\r\n1=/db/a.fdb\r\n";
const QByteArray kOtherSectionsAfter = "[AssSezionale]\r\nAB=3\r\nCD=-1\r\n";

// Which save of "tolm_peer settings" the file holds: "A-7" when every text
// key of [Generale] is A-7, every other key is there and the other sections
// are as they were (kOtherSectionsBefore, [Generale], kOtherSectionsAfter);
// empty before the first save. Anything else is a mix or a torn file.
QString savedTag(const QByteArray &text)
{
    const QByteArray head = kOtherSectionsBefore + "[Generale]\r\n";
    const QByteArray tail = "\r\n" + kOtherSectionsAfter;
    if (!text.startsWith(head) || !text.endsWith(tail) || text.size() < head.size() + tail.size())
        return QStringLiteral("torn: ") + QString::fromLatin1(text);
    const QByteArray keys = text.sliced(head.size(), text.size() - head.size() - tail.size());
    if (keys == "PeriodoSalvataggio=2\r\n")
        return QString();
    QSet<QByteArray> names, values;
    for (const QByteArray &line : keys.split('\n')) {
        if (line.isEmpty())
            continue;
        const qsizetype equals = line.indexOf('=');
        const QByteArray name = line.first(std::max<qsizetype>(equals, 0));
        names.insert(name);
        for (const GeneraleKey &key : generaleKeys()) {
            if (key.kind == GeneraleKey::Text && name == key.name)
                values.insert(line.sliced(equals + 1).chopped(line.endsWith('\r') ? 1 : 0));
        }
    }
    if (names.size() != qsizetype(generaleKeys().size()) || values.size() != 1)
        return QStringLiteral("mixed: ") + QString::fromLatin1(text);
    return QString::fromLatin1(*values.cbegin());
}

} // namespace

class TestConfigurazione : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void defaultsWithoutFile();
    void load_data();
    void load();
    void exportFolderAtLoad_data();
    void exportFolderAtLoad();
    void exportFolderRules();
    void saveWritesGeneraleOnly();
    void saveErrors_data();
    void saveErrors();
    void failedSaveLeavesFileAsItWas_data();
    void failedSaveLeavesFileAsItWas();
    void reloadAssociations();
    void twoProgramsSaveAtOnce();
};

void TestConfigurazione::init()
{
    setToday(QDate(2025, 11, 6));
}

void TestConfigurazione::cleanup()
{
    setToday(QDate());
}

void TestConfigurazione::defaultsWithoutFile()
{
    TestFolder folder;
    TConfigurazione c;
    QCOMPARE(c.FFileConfig, QString());
    QVERIFY(c.listasez.isEmpty());
    QCOMPARE(c.FPeriodoSalvataggio, 0);
    QCOMPARE(c.CartellaSalvataggio(), defaultFolder());
    QCOMPARE(c.CreaSottocartelle(), true);
    QCOMPARE(c.CartellaEsportazione(), separated({defaultFolder(), "061125"}));
    QCOMPARE(c.FEstensioneTXT, false);
    QCOMPARE(c.FAttivita, QStringLiteral("0"));
    QCOMPARE(c.FRegistro, QStringLiteral("A"));
    QCOMPARE(c.FIVA, QStringLiteral("22"));
    for (const QString *text : {&c.FSettore, &c.FContoDare, &c.FContoAvere, &c.FSettoreBollo, &c.FContoDareBollo,
                                &c.FContoAvereBollo, &c.FInapplicabilita, &c.FVoceIva, &c.FInapplicabilitaBollo,
                                &c.FVoceIvaBollo})
        QCOMPARE(*text, QString());
    QCOMPARE(c.inifile().path(), QDir::toNativeSeparators(folder.iniPath()));
    QVERIFY(!QFile::exists(folder.iniPath()));
}

void TestConfigurazione::load_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("config file") << QByteArray("[Config]\nfile=/db/config.fdb\n") << "FFileConfig" << "/db/config.fdb";
    QTest::newRow("associations") << QByteArray("[AssSezionale]\nAB=3\ncd = -1\nEF=\n") << "listasez" << "AB=3|cd=-1|EF=";
    QTest::newRow("period") << QByteArray("[Generale]\nPeriodoSalvataggio=3\n") << "FPeriodoSalvataggio" << "3";
    QTest::newRow("period 0x3") << QByteArray("[Generale]\nPeriodoSalvataggio=0x3\n") << "FPeriodoSalvataggio" << "3";
    QTest::newRow("period 0X3") << QByteArray("[Generale]\nPeriodoSalvataggio=0X3\n") << "FPeriodoSalvataggio" << "3";
    QTest::newRow("period abc") << QByteArray("[Generale]\nPeriodoSalvataggio=abc\n") << "FPeriodoSalvataggio" << "0";
    QTest::newRow("period empty") << QByteArray("[Generale]\nPeriodoSalvataggio=\n") << "FPeriodoSalvataggio" << "0";
    QTest::newRow("names in other case") << QByteArray("[generale]\nperiodosalvataggio=4\n") << "FPeriodoSalvataggio" << "4";
    QTest::newRow("subfolders 0") << QByteArray("[Generale]\nCreaSottocartelle=0\n") << "CreaSottocartelle" << "0";
    QTest::newRow("subfolders true") << QByteArray("[Generale]\nCreaSottocartelle=true\n") << "CreaSottocartelle" << "1";
    QTest::newRow("subfolders false") << QByteArray("[Generale]\nCreaSottocartelle=false\n") << "CreaSottocartelle" << "1";
    QTest::newRow("subfolders yes") << QByteArray("[Generale]\nCreaSottocartelle=yes\n") << "CreaSottocartelle" << "1";
    QTest::newRow("txt 1") << QByteArray("[Generale]\nEstensioneTXT=1\n") << "FEstensioneTXT" << "1";
    QTest::newRow("txt yes") << QByteArray("[Generale]\nEstensioneTXT=yes\n") << "FEstensioneTXT" << "0";
    QTest::newRow("activity empty") << QByteArray("[Generale]\nAttivita=\n") << "FAttivita" << "";
    QTest::newRow("register") << QByteArray("[Generale]\nRegistro=B\n") << "FRegistro" << "B";
    QTest::newRow("vat") << QByteArray("[Generale]\nIVA=10\n") << "FIVA" << "10";
    QTest::newRow("accented") << QStringLiteral("[Generale]\nVoceIva=Città è ò €\n").toUtf8() << "FVoceIva"
                              << QStringLiteral("Città è ò €");

    // The stamp-duty codes take the fee codes only when their keys are absent.
    QTest::newRow("stamp sector absent") << QByteArray("[Generale]\nSettore=123\n") << "FSettoreBollo" << "123";
    QTest::newRow("stamp sector empty") << QByteArray("[Generale]\nSettore=123\nSettoreBollo=\n") << "FSettoreBollo" << "";
    QTest::newRow("stamp sector own") << QByteArray("[Generale]\nSettore=1\nSettoreBollo=2\n") << "FSettoreBollo" << "2";
    QTest::newRow("stamp debit absent") << QByteArray("[Generale]\nContoDare=D\n") << "FContoDareBollo" << "D";
    QTest::newRow("stamp debit empty") << QByteArray("[Generale]\nContoDare=D\nContoDareBollo=\n") << "FContoDareBollo" << "";
    QTest::newRow("stamp credit absent") << QByteArray("[Generale]\nContoAvere=A\n") << "FContoAvereBollo" << "A";
    QTest::newRow("stamp credit empty") << QByteArray("[Generale]\nContoAvere=A\nContoAvereBollo=\n") << "FContoAvereBollo" << "";
    QTest::newRow("stamp exemption absent") << QByteArray("[Generale]\nInapplicabilita=E\n") << "FInapplicabilitaBollo" << "E";
    QTest::newRow("stamp exemption empty")
        << QByteArray("[Generale]\nInapplicabilita=E\nInapplicabilitaBollo=\n") << "FInapplicabilitaBollo" << "";
    QTest::newRow("stamp vat item absent") << QByteArray("[Generale]\nVoceIva=V\n") << "FVoceIvaBollo" << "V";
    QTest::newRow("stamp vat item empty") << QByteArray("[Generale]\nVoceIva=V\nVoceIvaBollo=\n") << "FVoceIvaBollo" << "";
    QTest::newRow("fee key after stamp key")
        << QByteArray("[Generale]\nVoceIvaBollo=B\nVoceIva=V\n") << "FVoceIvaBollo" << "B";
}

void TestConfigurazione::load()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    TestFolder folder;
    folder.writeIni(ini);
    TConfigurazione c;
    QCOMPARE(field(c, name), expected);
    QCOMPARE(folder.readIni(), ini);
}

void TestConfigurazione::exportFolderAtLoad_data()
{
    QTest::addColumn<QByteArray>("generale");
    QTest::addColumn<QString>("expected");

    QTest::newRow("defaults") << QByteArray() << separated({defaultFolder(), "061125"});
    QTest::newRow("default folder, subfolders off")
        << QByteArray("CreaSottocartelle=0\n") << separated({defaultFolder()});
    QTest::newRow("subfolders on") << QByteArray("CartellaSalvataggio=/out\nCreaSottocartelle=1\n") << separated({"/out", "061125"});
    QTest::newRow("subfolders off") << QByteArray("CartellaSalvataggio=/out\nCreaSottocartelle=0\n") << separated({"/out"});
    QTest::newRow("subfolders as a word") << QByteArray("CartellaSalvataggio=/out\nCreaSottocartelle=no\n")
                                          << separated({"/out", "061125"});
    QTest::newRow("ending with separator, on") << QByteArray("CartellaSalvataggio=/out/\n") << separated({"/out/", "061125"});
    QTest::newRow("ending with separator, off")
        << QByteArray("CartellaSalvataggio=/out/\nCreaSottocartelle=0\n") << separated({"/out/"});
    QTest::newRow("empty folder, on") << QByteArray("CartellaSalvataggio=\n") << separated({"", "061125"});
    QTest::newRow("empty folder, off") << QByteArray("CartellaSalvataggio=\nCreaSottocartelle=0\n") << "";
}

void TestConfigurazione::exportFolderAtLoad()
{
    QFETCH(QByteArray, generale);
    QFETCH(QString, expected);
    TestFolder folder;
    folder.writeIni("[Config]\nfile=/db/config.fdb\n[Generale]\n" + generale);
    TConfigurazione c;
    QCOMPARE(c.CartellaEsportazione(), expected);
}

void TestConfigurazione::exportFolderRules()
{
    TestFolder folder;
    const QByteArray ini("[Generale]\nCartellaSalvataggio=/out\nCreaSottocartelle=0\n");
    folder.writeIni(ini);
    TConfigurazione c;
    QCOMPARE(c.CartellaEsportazione(), separated({"/out"}));

    c.setCartellaEsportazione("/chosen");
    QCOMPARE(c.CartellaEsportazione(), separated({"/chosen"}));
    c.setCartellaEsportazione(separated({"/chosen"})); // the text it holds: no change
    QCOMPARE(c.CartellaEsportazione(), separated({"/chosen"}));
    c.setCartellaEsportazione("/other/");
    QCOMPARE(c.CartellaEsportazione(), separated({"/other/"}));

    // The same saved folder or flag changes nothing, so the choice stays.
    c.setCartellaSalvataggio("/out");
    c.setCreaSottocartelle(false);
    QCOMPARE(c.CartellaEsportazione(), separated({"/other/"}));

    c.setCartellaSalvataggio("/OUT");
    QCOMPARE(c.CartellaSalvataggio(), QDir::toNativeSeparators("/OUT"));
    QCOMPARE(c.CartellaEsportazione(), separated({"/OUT"}));
    c.setCreaSottocartelle(true);
    QCOMPARE(c.CartellaEsportazione(), separated({"/OUT", "061125"}));

    // Past midnight the folder keeps its day until a rule runs again.
    setToday(QDate(2025, 11, 7));
    QCOMPARE(c.CartellaEsportazione(), separated({"/OUT", "061125"}));
    c.setCartellaSalvataggio("/new");
    QCOMPARE(c.CartellaEsportazione(), separated({"/new", "071125"}));
    c.setCreaSottocartelle(false);
    QCOMPARE(c.CartellaEsportazione(), separated({"/new"}));

    QCOMPARE(folder.readIni(), ini);
}

void TestConfigurazione::saveWritesGeneraleOnly()
{
    TestFolder folder;
    folder.writeIni(kOtherSectionsBefore + "[Generale]\r\nPeriodoSalvataggio=2\r\n\r\n" + kOtherSectionsAfter);
    {
        TConfigurazione c;
        c.FPeriodoSalvataggio = -5;
        c.setCartellaSalvataggio("/saved");
        c.setCreaSottocartelle(false);
        c.setCartellaEsportazione("/chosen"); // never saved
        c.FEstensioneTXT = true;
        c.FAttivita = "1";
        c.FRegistro = "B";
        c.FSettore = "S";
        c.FContoDare = "D";
        c.FContoAvere = "A";
        c.FSettoreBollo = "";
        c.FContoDareBollo = "DB";
        c.FContoAvereBollo = "AB";
        c.FIVA = "10";
        c.FInapplicabilita = QStringLiteral("Esente è ò €");
        c.FVoceIva = "V";
        c.FInapplicabilitaBollo = "IB";
        c.FVoceIvaBollo = "VB";
        c.salvaconfig();
    }
    // A file of plain ASCII takes the accented value in the ANSI code page.
    // The folder is saved with the platform's separators.
    const QByteArray generale = encodedText(QStringLiteral("[Generale]\r\n"
                                                           "PeriodoSalvataggio=-5\r\n"
                                                           "CartellaSalvataggio=")
                                                + QDir::toNativeSeparators("/saved")
                                                + QStringLiteral("\r\n"
                                                                 "CreaSottocartelle=0\r\n"
                                                                 "EstensioneTXT=1\r\n"
                                                                 "Attivita=1\r\n"
                                                                 "Registro=B\r\n"
                                                                 "Settore=S\r\n"
                                                                 "ContoDare=D\r\n"
                                                                 "ContoAvere=A\r\n"
                                                                 "SettoreBollo=\r\n"
                                                                 "ContoDareBollo=DB\r\n"
                                                                 "ContoAvereBollo=AB\r\n"
                                                                 "IVA=10\r\n"
                                                                 "Inapplicabilita=Esente è ò €\r\n"
                                                                 "VoceIva=V\r\n"
                                                                 "InapplicabilitaBollo=IB\r\n"
                                                                 "VoceIvaBollo=VB\r\n"
                                                                 "\r\n"),
                                            QStringLiteral("windows-1252"));
    QCOMPARE(folder.readIni(), kOtherSectionsBefore + generale + kOtherSectionsAfter);

    // Read back as saved; the empty stamp sector no longer falls back.
    TConfigurazione c;
    QCOMPARE(c.FPeriodoSalvataggio, -5);
    QCOMPARE(c.CartellaEsportazione(), separated({"/saved"}));
    QCOMPARE(c.FEstensioneTXT, true);
    QCOMPARE(c.FSettoreBollo, QString());
    QCOMPARE(c.FInapplicabilita, QStringLiteral("Esente è ò €"));
    QCOMPARE(c.FVoceIvaBollo, QStringLiteral("VB"));
}

void TestConfigurazione::saveErrors_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<bool>("saved");
    QTest::newRow("read-only file") << "read-only file" << false;
    QTest::newRow("immutable file") << "immutable file" << false;
    // The file itself may be written: it is rewritten in place.
    QTest::newRow("read-only folder") << "read-only folder" << true;
    QTest::newRow("folder in place of the file") << "folder" << false;
}

void TestConfigurazione::saveErrors()
{
    QFETCH(QString, obstacle);
    QFETCH(bool, saved);
    TestFolder folder;
    const QByteArray content("[Config]\r\nfile=/db/config.fdb\r\n[Generale]\r\nAttivita=7\r\n");
    std::unique_ptr<Immutable> locked;
    if (obstacle == "folder") {
        QVERIFY(QDir(folder.path()).mkdir("Tolm.ini"));
    } else {
        folder.writeIni(content);
        if (obstacle == "read-only file")
            QVERIFY(QFile::setPermissions(folder.iniPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    }
    TConfigurazione c;
    c.FAttivita = "8";
    if (obstacle == "read-only folder" || obstacle == "immutable file") {
        locked = std::make_unique<Immutable>(obstacle == "read-only folder" ? folder.path() : folder.iniPath());
        VERIFY_IMMUTABLE(*locked);
    }

    QCOMPARE(saveError(c), saved ? QString() : "Unable to write to " + QDir::toNativeSeparators(folder.iniPath()));
    QCOMPARE(c.FAttivita, QStringLiteral("8"));
    locked.reset();
    if (obstacle == "folder") {
        QVERIFY(QFileInfo(folder.iniPath()).isDir());
    } else if (saved) {
        QVERIFY(folder.readIni().startsWith("[Config]\r\nfile=/db/config.fdb\r\n[Generale]\r\nAttivita=8\r\n"));
        ProfileFile ini(folder.iniPath());
        QCOMPARE(ini.sectionKeys("Generale").size(), 17);
        QCOMPARE(ini.readString("Generale", "Registro", ""), QStringLiteral("A"));
    } else {
        QCOMPARE(folder.readIni(), content);
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"Tolm.ini"});
}

void TestConfigurazione::failedSaveLeavesFileAsItWas_data()
{
    QTest::addColumn<bool>("lockedFolder");
    QTest::newRow("replaced") << false;
    QTest::newRow("folder refuses new files: rewritten in place") << true;
}

void TestConfigurazione::failedSaveLeavesFileAsItWas()
{
    // The disk has room for the first key, not for all seventeen: the save
    // writes none of them.
    QFETCH(bool, lockedFolder);
    TestFolder folder;
    const QString disk = folder.filePath("disk");
    // Two pages: room for a file of one page and its replacement of one
    // page, not for a replacement that grows to two.
    SmallDisk tiny(disk, 8);
    VERIFY_MOUNTED(tiny);
    setProgramFolder(disk);
    const QString iniPath = disk + "/Tolm.ini";

    const QByteArray filler = "[Generale]\nNote=" + QByteArray(4096 - 21 - 17, 'n') + "\n";
    QCOMPARE(filler.size(), 4096 - 21); // "PeriodoSalvataggio=4\n" fills the page
    writeWholeFile(iniPath, filler);
    std::unique_ptr<Immutable> locked;
    if (lockedFolder) {
        // The growth does not fit beside the file's own page either.
        tiny.fill();
        locked = std::make_unique<Immutable>(disk);
        VERIFY_IMMUTABLE(*locked);
    }

    QString error;
    {
        TConfigurazione c;
        c.FPeriodoSalvataggio = 4;
        c.setCartellaSalvataggio("/saved");
        error = saveError(c);
    }
    locked.reset();
    QCOMPARE(error, "Unable to write to " + QDir::toNativeSeparators(iniPath));
    QCOMPARE(readWholeFile(iniPath), filler);
    QStringList entries{"Tolm.ini"};
    if (lockedFolder)
        entries.prepend(".filler");
    QCOMPARE(QDir(disk).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), entries);
    setProgramFolder(folder.path());
}

void TestConfigurazione::reloadAssociations()
{
    TestFolder folder;
    folder.writeIni("[AssSezionale]\nAB=3\n[Generale]\nIVA=10\n");
    TConfigurazione c;
    QCOMPARE(c.listasez, QStringList{"AB=3"});

    ProfileFile other(folder.iniPath());
    other.eraseSection("AssSezionale");
    other.writeString("AssSezionale", "CD", "-1");
    other.writeString("AssSezionale", "EF", "2");
    QCOMPARE(c.listasez, QStringList{"AB=3"});
    c.reloadAssociations();
    QCOMPARE(c.listasez, QStringList({"CD=-1", "EF=2"}));
}

void TestConfigurazione::twoProgramsSaveAtOnce()
{
    // Two programs on one folder save their settings 100 times each at the
    // same time, while this one reads the file over and over: every read and
    // the file at the end hold one save whole.
    TestFolder folder;
    folder.writeIni(kOtherSectionsBefore + "[Generale]\r\nPeriodoSalvataggio=2\r\n\r\n" + kOtherSectionsAfter);
    Peer first({QStringLiteral("settings"), folder.path(), QStringLiteral("100"), QStringLiteral("A")});
    Peer second({QStringLiteral("settings"), folder.path(), QStringLiteral("100"), QStringLiteral("B")});
    const QRegularExpression oneSave(QStringLiteral("^([AB]-[0-9]+)?$"));
    for (;;) {
        const bool firstRuns = first.running(5);
        if (!second.running(5) && !firstRuns)
            break;
        // Windows opens no file that another program is putting in place.
        QFile file(folder.iniPath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString tag = savedTag(file.readAll());
        QVERIFY2(oneSave.match(tag).hasMatch(), qPrintable(tag));
    }
    QVERIFY2(first.succeeded(), qPrintable(first.errors()));
    QVERIFY2(second.succeeded(), qPrintable(second.errors()));
    const QString last = savedTag(folder.readIni());
    QVERIFY2(last == QLatin1String("A-100") || last == QLatin1String("B-100"), qPrintable(last));
}

QTEST_GUILESS_MAIN(TestConfigurazione)
#include "test_configurazione.moc"
