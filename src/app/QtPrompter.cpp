#include "app/QtPrompter.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {
QWidget *owner()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

// "Tutti i file|*.fdb;*.gdb|..." pairs of caption and patterns, as Qt filters.
QString qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString caption = parts[i];
        if (!caption.contains(QLatin1Char('(')))
            caption += QStringLiteral(" (") + patterns + QLatin1Char(')');
        filters << caption;
    }
    return filters.join(QStringLiteral(";;"));
}
} // namespace

QString programTitle()
{
    return QStringLiteral("Tolm Export");
}

void QtPrompter::information(const QString &text)
{
    QMessageBox::information(owner(), programTitle(), text, QMessageBox::Ok);
}

void QtPrompter::error(const QString &text)
{
    QMessageBox::critical(owner(), programTitle(), text, QMessageBox::Ok);
}

bool QtPrompter::questionYesNo(const QString &text)
{
    QMessageBox box(QMessageBox::Information, programTitle(), text, QMessageBox::Yes | QMessageBox::No, owner());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool QtPrompter::confirmOkCancel(const QString &text)
{
    QMessageBox box(QMessageBox::Question, programTitle(), text, QMessageBox::Ok | QMessageBox::Cancel, owner());
    box.setDefaultButton(QMessageBox::Ok);
    // The grid's own question keeps its captions in every language.
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancel"));
    return box.exec() == QMessageBox::Ok;
}

void QtPrompter::fatalError(const QString &text)
{
    QMessageBox::critical(nullptr, QStringLiteral("Application Error"), text);
}

std::optional<QString> QtPrompter::chooseFolder(const QString &startFolder)
{
    const QString folder = QFileDialog::getExistingDirectory(owner(), QString(), startFolder,
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(folder);
}

std::optional<QString> QtPrompter::chooseOpenFile(const QString &filter, const QString &defaultSuffix)
{
    QFileDialog dialog(owner());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile); // the file need not exist
    dialog.setNameFilter(qtFilter(filter));
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}
