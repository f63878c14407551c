#pragma once

#include <QWidget>

class QComboBox;
class QDateEdit;
class QFrame;
class QLabel;
class QPushButton;
class QTableView;
class TDataModule1;
class InvoiceModel;

// The program's working window: heading, period, extraction, review, export.
class TFormMain : public QWidget
{
    Q_OBJECT

public:
    explicit TFormMain(TDataModule1 &dataModule, QWidget *parent = nullptr);

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
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void FormCreate();
    QString configurationText() const;
    void showSezionale();
    void placeSezionale();
    void fitColumns();
    void updateSummary();
    void showProgress(int database, int databases, qint64 invoices);
    void keepRepainting();

    TDataModule1 &m_dm;
    InvoiceModel *m_invoiceModel = nullptr;
    bool m_quitRequested = false;
    bool m_columnsSet = false;
    // True while an extraction runs: the window then repaints and shows its
    // progress, and every handler that would start another one or touch
    // the invoice table does nothing.
    bool m_extracting = false;
};

extern TFormMain *FormMain;
