// The program's prompter as the user meets it: real Qt message boxes and the
// folder browser on the offscreen platform, titled as the program titles
// them, with Qt's own texts in the user's language (Italian here) and the
// program's own captions as given.
#include "app/ProgramSetup.h"
#include "app/QtPrompter.h"
#include "support/NextDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <functional>

namespace {

// What a modal window showed: its titles and its buttons' texts (without
// the mnemonic marks), in the order the box lays them out.
struct Shown
{
    QString title;
    QString windowSystemTitle;
    QStringList buttons;
    QStringList labels;
    bool seen = false;
};

// Once a modal window of type W is up, notes what it shows and closes it
// with close(window).
template <typename W>
void whenShown(Shown &shown, std::function<void(W &)> close)
{
    answerNextDialog<W>([&shown, close](W &window) {
        shown.seen = true;
        shown.title = window.windowTitle();
        shown.windowSystemTitle = window.windowHandle()->title();
        for (QAbstractButton *button : window.template findChildren<QAbstractButton *>()) {
            if (button->isVisible() && !button->text().isEmpty())
                shown.buttons << button->text().remove(QLatin1Char('&'));
        }
        for (QLabel *label : window.template findChildren<QLabel *>()) {
            if (label->isVisible())
                shown.labels << label->text();
        }
        shown.buttons.sort();
        close(window);
    });
}

} // namespace

class TestQtPrompter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void messageBoxes_data();
    void messageBoxes();
    void folderBrowserSpeaksItalian();

private:
    QtPrompter m_prompter;
};

void TestQtPrompter::initTestCase()
{
    setUpApplication(*qApp);
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Tolm Export"));
    // An Italian user: Qt's own texts in Italian.
    QVERIFY(loadQtTranslations(*qApp, QLocale(QLocale::Italian, QLocale::Italy)));
}

void TestQtPrompter::messageBoxes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("buttons");

    QTest::newRow("information") << 0 << QStringList{"OK"};
    QTest::newRow("error") << 1 << QStringList{"OK"};
    // The question before the export: Qt's Yes and No, in Italian.
    QTest::newRow("Yes/No question") << 2 << QStringList{"No", "Sì"};
    // The grid's "Delete record?" keeps its given captions.
    QTest::newRow("OK/Cancel question") << 3 << QStringList{"Cancel", "OK"};
}

void TestQtPrompter::messageBoxes()
{
    QFETCH(int, kind);
    QFETCH(QStringList, buttons);

    Shown shown;
    whenShown<QMessageBox>(shown, [](QMessageBox &box) {
        if (box.defaultButton())
            box.defaultButton()->click();
        else
            box.accept();
    });
    const QString text = QStringLiteral("Testo");
    switch (kind) {
    case 0: m_prompter.information(text); break;
    case 1: m_prompter.error(text); break;
    case 2: QVERIFY(m_prompter.questionYesNo(text)); break;
    case 3: QVERIFY(m_prompter.confirmOkCancel(text)); break;
    }
    QVERIFY(shown.seen);
    QCOMPARE(shown.title, QStringLiteral("Tolm Export"));
    QCOMPARE(shown.windowSystemTitle, QStringLiteral("Tolm Export"));
    QCOMPARE(shown.buttons, buttons);
    QVERIFY(shown.labels.contains(text));
}

void TestQtPrompter::folderBrowserSpeaksItalian()
{
    QTemporaryDir start;
    QVERIFY(start.isValid());
    Shown shown;
    whenShown<QFileDialog>(shown, [](QFileDialog &dialog) { dialog.reject(); });
    QCOMPARE(m_prompter.chooseFolder(start.path()), std::optional<QString>());
    QVERIFY(shown.seen);
#ifdef Q_OS_WIN
    QSKIP("Windows shows its own folder browser, titled and worded by the system in its language; "
          "Qt's Italian texts belong to Qt's own dialog");
#endif
    QCOMPARE(shown.title, QStringLiteral("Trova cartella"));
    QCOMPARE(shown.windowSystemTitle, QStringLiteral("Trova cartella"));
    QVERIFY2(shown.labels.contains(QStringLiteral("Cerca in:")), qPrintable(shown.labels.join(QLatin1Char('|'))));
    QVERIFY2(shown.buttons.contains(QStringLiteral("Scegli")), qPrintable(shown.buttons.join(QLatin1Char('|'))));
    QVERIFY2(shown.buttons.contains(QStringLiteral("Annulla")), qPrintable(shown.buttons.join(QLatin1Char('|'))));
}

QTEST_MAIN(TestQtPrompter)
#include "test_qtprompter.moc"
