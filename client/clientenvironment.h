#pragma once

class QCoreApplication;

// What the client sets up for itself and its plug-ins at start: Chinese
// everywhere, whatever the system locale, and the system's proxy settings.
namespace ClientEnvironment {

// Before the application object: Qt's and Chromium's locale is Chinese (China),
// so Chromium's own pages and form messages are Chinese.
void useChineseLocale();

// Qt's own Chinese texts (file dialogs, message-box buttons, print dialog) and the
// Accept-Language of the web views. False when Qt's translation is missing.
bool installTranslations(QCoreApplication *app);

// Network requests of Qt and of the web views follow the system's proxy settings
// (http_proxy, https_proxy, no_proxy on Linux).
void useSystemProxy();

} // namespace ClientEnvironment
