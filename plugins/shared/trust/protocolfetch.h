#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QObject;

// The customer-service chat hand-off: the service's pages ask the chat provider
// for a "tencent:" launch link; the client fetches the same answer itself and
// sends the page to that link, so the desktop chat program starts.
namespace ProtocolFetch {

// Whether a request is the provider's protocol call.
bool isProtocolRequest(const QString &url);

// Rewrites the provider's HTTPS origin to the service's plain-HTTP relay, for
// builds without TLS support. Origin and relay come from config.ini
// (Sys/QidianOrigin, Sys/QidianRelay); empty settings leave the address alone.
QString relayAddress(const QString &address);

// GET with verified TLS, given up after timeoutMs. done gets the body (empty on error
// or timeout), with the log lines a support engineer looks for. The fetch belongs
// to context: when context goes first, the fetch ends and done never runs.
void fetch(const QString &address, QObject *context,
           std::function<void(const QByteArray &body)> done, int timeoutMs = 10000);

// The launch link in a protocol answer: from the first "tencent:" to the last
// "env=<digits>", JSON slash escapes undone. Empty when there is none.
QString launchLink(const QByteArray &body);

// Script that sends the page to link; link is quoted, so no answer can inject code.
QString navigationScript(const QString &link);

// Script that keeps the provider's "install QQ" frames hidden (needs the page's jQuery).
QString hideInstallFramesScript();

} // namespace ProtocolFetch
