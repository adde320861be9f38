#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

class QCommandLineParser;

// The update check: which installation asks (command line and config.ini), the
// question sent to the update service, and how its answer is read.
namespace UpdateCheck {

// The updater's options, in the order the service's operators know them.
void addOptions(QCommandLineParser &parser);

struct Request {
    QString url;         // service URL + "?method=GetInstaller"
    QJsonObject body;
    QString mainProgram; // image name of the client that started us (trimmed)
};

struct Installation {
    QString version;    // Sys/Version
    QString serviceUrl; // Sys/ServiceUrl
    QString source;     // Sys/Source
    QString clientId;   // machine UUID
};

// Reads Sys/Version, Sys/ServiceUrl and Sys/Source from config.ini and the machine UUID.
Installation readInstallation();

// Whether the system's package manager installed the program folder and updates it: the
// package puts this marker file there. Then the updater downloads and runs nothing.
inline const char packageManagedMarker[] = "updates-by-package-manager";
bool packageManaged();

// A text key of an INI file; a value with commas reads the same before and after
// QSettings rewrote the file (see configText).
QString settingText(const QString &iniFile, const QString &key);

// The request from the installation, overridden by the options that were given.
Request buildRequest(const QCommandLineParser &parser, const Installation &installation);

// The longest update answer that is read; a longer one is abandoned.
const int MaxAnswerBytes = 1 << 20;

// POST of the body as compact JSON; the raw answer, whatever the status (empty on
// failure). The whole answer must arrive within timeoutMs and hold at most
// MaxAnswerBytes; otherwise it is abandoned with a log line and nothing is returned.
QByteArray postJson(const QString &url, const QJsonObject &body, int timeoutMs = 5000);

struct Answer {
    bool answered = false; // success was JSON true
    bool needUpdate = false;
    QString url;
    QString installerName;
    QString sha256;    // optional, 64 hex characters when given
    QString signature; // the installer's .minisig text
    QString problem;   // why the body is no answer at all (empty when it is one)
};

// success and data.needUpdate count only as JSON true; other members read as
// empty text unless they are strings. A body over MaxAnswerBytes is not parsed.
Answer parseAnswer(const QByteArray &body);

} // namespace UpdateCheck
