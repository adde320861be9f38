#pragma once

#include <QString>
#include <QStringList>

// Starting and ending programs the way each operating system expects.
namespace ProgramControl {

// File name of one of our executables on this platform ("MervoUpgrade" -> "MervoUpgrade.exe").
QString executableName(const QString &baseName);

// Forcibly ends every process of the current user whose executable file name is
// imageName, and waits until they are gone. Never ends the calling process.
// Returns the number of processes that were ended.
int endProgramByImageName(const QString &imageName);

// Starts program detached from the caller with exactly these arguments, in the
// caller's working folder. Makes the file executable first where that matters.
bool startDetached(const QString &program, const QStringList &arguments);

// Runs a command line (program and arguments separated by blanks, found through
// the search path), waits up to startMs to start and finishMs to finish, and
// returns its standard output decoded as local 8-bit text.
QString runTool(const QString &commandLine, int startMs, int finishMs);

} // namespace ProgramControl
