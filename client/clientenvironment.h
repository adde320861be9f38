#pragma once

class QByteArray;
class QCoreApplication;
class QString;

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

// After the application object, before the first web view or profile. Where OpenGL is
// a software rasterizer (virtual machines, remote desktops, Xvfb), emulating a GPU on
// the processor only costs time: the views are composited in software instead, and
// Chromium draws without its GPU path. Returns whether it did.
bool compositeInSoftwareWithoutGpu();

// Whether an OpenGL renderer name (GL_RENDERER) names a software rasterizer.
bool isSoftwareRenderer(const QByteArray &renderer);

// Before the first web view or profile: one renderer process per site. The service's
// pages share theirs, so a module switch starts no process (a new renderer costs
// 100-200 ms on the way); a frame of another site never runs in the process that holds
// the service's pages and their bridges, since the engine gets no security updates.
void isolateSitesInOneRendererEach();

// "Qt WebEngine 5.15.13 (Chromium 87.0.4280.144)": the engine's release, and the Chromium
// it carries as its default user agent names it. Creates the default profile.
QString webEngineDescription();

// The Chromium version in a user agent ("Chrome/87.0.4280.144"), or empty.
QString chromiumVersionOf(const QString &userAgent);

} // namespace ClientEnvironment
