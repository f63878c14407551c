#pragma once

#include "data/ExtractionListener.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <exception>

class QComboBox;
class QDateEdit;
class QFrame;
class QLabel;
class QPushButton;
class QShortcut;
class QTableView;
class TDataModule1;
class InvoiceModel;

// The program's working window: heading, period, extraction, review, export.
//
// While "Estrai Dati" reads the databases on the data module's threads the
// window follows the read (it is the data module's ExtractionListener): the
// summary line tells how far it has come, every control but "Interrompi"
// takes no input, and "Interrompi", Escape, closing the window or the
// system's request to end the program stop the read at once.
class TFormMain : public QWidget, private ExtractionListener
{
    Q_OBJECT

public:
    explicit TFormMain(TDataModule1 &dataModule, QWidget *parent = nullptr);
    ~TFormMain() override;

    // True while a read runs.
    bool isReading() const { return m_reading; }

    // True when the start-up check found no configuration database: the
    // program is to end as soon as the event loop starts.
    bool quitRequested() const { return m_quitRequested; }

    QPushButton *Button1;
    QPushButton *Button2;
    QPushButton *Button3;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    QLabel *LabelConfig;
    QLabel *DBTextSezionale;
    QLabel *LabelRiepilogo;
    QComboBox *ComboBoxSezionale;
    QDateEdit *DateTimePickerDal;
    QDateEdit *DateTimePickerAl;
    QFrame *Panel1;
    QFrame *Panel2;
    QTableView *DBGrid1;

public slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void ComboBoxSezionaleChange();
    void DateTimePickerChange();
    void Label3Click();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void FormCreate();
    QString configurationText() const;
    void showSezionale();
    void placeSezionale();
    void fitColumns();
    void updateSummary();
    void beginRead();
    void endRead();
    void readFinished();
    void readStopped();
    void extractionFailed(const std::exception &error);
    void requestStop();
    void progress(int database, int databases, qint64 invoices) override;
    bool shouldStop() override;
    void showProgress(quint64 read, int database, int databases, qint64 invoices);

    TDataModule1 &m_dm;
    InvoiceModel *m_invoiceModel = nullptr;
    QPushButton *m_stopButton = nullptr;
    QShortcut *m_stopShortcut = nullptr;
    bool m_quitRequested = false;
    bool m_columnsSet = false;
    // The read in progress: whether one runs, which one it is, the database
    // the summary line names and when it was last written, and where the
    // keyboard focus was before it.
    bool m_reading = false;
    std::atomic<quint64> m_readNumber{0};
    int m_shownDatabase = 0;
    QElapsedTimer m_shownClock;
    QPointer<QWidget> m_focusBeforeRead;
};

extern TFormMain *FormMain;
