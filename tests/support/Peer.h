#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

// Another program on the same program folder: the tests' helper tolm_peer
// (Peer.cpp, which says what it does), started with the given arguments.
// It is ended when the Peer goes.
class Peer
{
public:
    // The line that "tolm_peer hold" appends to the journal.
    static constexpr char kHeldLine[] = "P9;9;2025;99999;;01/01/2025;1;P9.csv;03/02/2025 10:30:05\r\n";

    explicit Peer(const QStringList &arguments)
    {
        m_process.start(QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(TOLM_PEER_PROGRAM),
                        arguments);
        m_process.waitForStarted();
    }
    ~Peer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    Peer(const Peer &) = delete;
    Peer &operator=(const Peer &) = delete;

    // Gives it the line on its input that it waits for to begin.
    void begin()
    {
        m_process.write("\n");
        m_process.waitForBytesWritten();
    }

    // Whether it still runs, after waiting up to ms for its end.
    bool running(int ms = 0)
    {
        if (m_process.state() != QProcess::NotRunning)
            m_process.waitForFinished(ms);
        return m_process.state() != QProcess::NotRunning;
    }

    // Waits until its output holds text; false when it ends first.
    bool says(const QByteArray &text, int ms = 60000)
    {
        const QDeadlineTimer deadline(ms);
        while (!m_output.contains(text) && !deadline.hasExpired()) {
            if (!m_process.waitForReadyRead(int(deadline.remainingTime())))
                break;
            m_output += m_process.readAllStandardOutput();
        }
        m_output += m_process.readAllStandardOutput();
        return m_output.contains(text);
    }

    // Waits for its end: true when it wrote everything it was asked to.
    bool succeeded(int ms = 600000)
    {
        if (running(ms))
            return false;
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

    // What it said went wrong.
    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

private:
    QProcess m_process;
    QByteArray m_output;
};
