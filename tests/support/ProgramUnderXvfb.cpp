#include "support/ProgramUnderXvfb.h"

#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace ProgramUnderXvfb {
namespace {

const char kHelpers[] = R"SH(
set -u
wait_window() {
  for _ in $(seq 1 300); do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    if [ -n "$w" ]; then echo "$w"; return 0; fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
wait_gone() {
  for _ in $(seq 1 300); do
    [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null || true)" ] && return 0
    sleep 0.1
  done
  return 1
}
window_count() {
  xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l
}
press_return() {
  xdotool mousemove --window "$1" 20 20
  xdotool windowfocus "$1" 2>/dev/null || true
  sleep 0.3
  xdotool key Return
}
finish() {
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 1 10); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
fail() { echo "FAILED: $1"; finish; exit 1; }
# xvfb-run does not wait for its X server to end: a server still going would
# meet the next run's on the same display number. Take it down here.
end_x_server() {
  x=$(pgrep -P "$PPID" -x Xvfb 2>/dev/null) || return 0
  kill -TERM $x 2>/dev/null || true
  for _ in $(seq 1 50); do kill -0 $x 2>/dev/null || return 0; sleep 0.1; done
}
trap end_x_server EXIT
)SH";

} // namespace

bool available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty()
           && !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
}

QString installProgram(const QString &folder)
{
    const QString target = QDir(folder).filePath(QStringLiteral("tolm-export"));
    if (!QFile::copy(QStringLiteral(TOLM_BINARY_PATH), target))
        return QString();
    return target;
}

QByteArray shellHelpers()
{
    return QByteArray(kHelpers);
}

QString run(const QByteArray &script, const QStringList &args)
{
    QTemporaryDir scriptDir;
    if (!scriptDir.isValid())
        return QStringLiteral("no temporary folder");
    const QString scriptPath = scriptDir.filePath(QStringLiteral("drive.sh"));
    writeWholeFile(scriptPath, shellHelpers() + script);

    QProcess xvfb;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the real window system
    env.remove(QStringLiteral("DISPLAY"));
    xvfb.setProcessEnvironment(env);
    xvfb.setProcessChannelMode(QProcess::MergedChannels);
    // -noreset: by default the server resets whenever its last client leaves,
    // and an xdotool call that ends while the program is still starting
    // would let the program's connection fall into that reset.
    xvfb.start(QStringLiteral("xvfb-run"), QStringList{QStringLiteral("-a"), QStringLiteral("-s"),
                                                       QStringLiteral("-screen 0 1024x768x24 -noreset"),
                                                       QStringLiteral("bash"), scriptPath}
                                               + args);
    if (!xvfb.waitForFinished(60000)) {
        // Ends xvfb-run, which takes its X server down; the script's own
        // program is ended by the script's bounded waits.
        xvfb.kill();
        xvfb.waitForFinished(5000);
        return QStringLiteral("timed out: ") + QString::fromLocal8Bit(xvfb.readAll());
    }
    return QString::fromLocal8Bit(xvfb.readAll());
}

} // namespace ProgramUnderXvfb
