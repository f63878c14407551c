#include "support/TestFolder.h"

#include "platform/ProgramFolder.h"

#include <QFile>
#include <stdexcept>

TestFolder::TestFolder()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    setProgramFolder(m_dir.path());
}

TestFolder::~TestFolder()
{
    setProgramFolder(QString());
}

QString TestFolder::path() const { return m_dir.path(); }
QString TestFolder::filePath(const QString &name) const { return m_dir.filePath(name); }
QString TestFolder::iniPath() const { return m_dir.filePath(QStringLiteral("Tolm.ini")); }
void TestFolder::writeIni(const QByteArray &content) const { writeWholeFile(iniPath(), content); }
QByteArray TestFolder::readIni() const { return readWholeFile(iniPath()); }

QByteArray readWholeFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeWholeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

QByteArray settingsFileText(const QString &config, const QStringList &patients, const QString &more)
{
    QString text = QStringLiteral("[Config]\nfile=%1\n[File]\n").arg(config);
    for (int i = 0; i < patients.size(); ++i)
        text += QStringLiteral("%1=%2\n").arg(i + 1).arg(patients[i]);
    return (text + more).toUtf8();
}
