#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The real program as a separate process, copied into a folder of its own
// beside a Tolm.ini and real databases, driven under a fresh Xvfb server by
// a bash script with xdotool as a user drives it.
//
// Every script runs after the shell functions of shellHelpers() and starts
// the program in the background as $pid:
//   wait_window NAME   prints the first visible window whose title matches
//   wait_gone NAME     waits until no visible window's title matches
//   window_count       prints how many visible windows the program has
//   press_return WIN   answers a message box with Return
//   finish             ends the program (SIGTERM, SIGKILL after 1 s)
//   fail TEXT          prints "FAILED: TEXT", finishes, exits 1
// Each wait gives up after 30 s. The script takes its X server down when it
// ends.
namespace ProgramUnderXvfb {

// True when xvfb-run and xdotool are installed.
bool available();

// Copies the program into folder; returns its path there, empty on failure.
QString installProgram(const QString &folder);

QByteArray shellHelpers();

// Runs the script (after shellHelpers()) with bash under xvfb-run, with args
// as $1, $2, ...; returns what it printed, stdout and stderr together. After
// 60 s it is stopped and the text starts with "timed out: ".
QString run(const QByteArray &script, const QStringList &args);

} // namespace ProgramUnderXvfb
