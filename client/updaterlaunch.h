#pragma once

#include <QString>
#include <QStringList>

// The command line the client gives the updater at every start.
namespace UpdaterLaunch {

// Path of the updater executable in the program folder (the current directory).
QString programPath();

// "-m <file name of the running client>", then the login arguments; each a single
// argument. The name is the executable's own, whatever the command line said.
QStringList arguments();

// Appends "-c <companyName>" and "-p <productId>" from the local login record,
// when the record is a JSON object holding those members.
void appendLoginArguments(QStringList &list);

} // namespace UpdaterLaunch
