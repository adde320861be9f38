#include "clientenvironment.h"

#include "qtcompat.h"
#include "webprofile.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLocale>
#include <QNetworkProxyFactory>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QRegularExpression>
#include <QTranslator>
#include <QWebEngineProfile>
#include <qtwebenginecoreversion.h>

namespace ClientEnvironment {

void useChineseLocale()
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}

bool installTranslations(QCoreApplication *app)
{
    webProfile()->setHttpAcceptLanguage(QStringLiteral("zh-CN,zh"));
    auto *translator = new QTranslator(app);
    const QString folder = QtCompat::translationsPath();
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), folder)) {
        qDebug() << "qt translation missing:" << folder;
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

void useSystemProxy()
{
    QNetworkProxyFactory::setUseSystemConfiguration(true);
}

bool isSoftwareRenderer(const QByteArray &renderer)
{
    // Mesa's llvmpipe, softpipe and swrast, Google's SwiftShader, and Windows' WARP
    // (behind ANGLE it is named "Microsoft Basic Render Driver").
    static const char *const software[] = {"llvmpipe", "softpipe", "software rasterizer",
                                           "swrast", "swiftshader", "basic render driver"};
    const QByteArray name = renderer.toLower();
    for (const char *word : software)
        if (name.contains(word))
            return true;
    return false;
}

bool compositeInSoftwareWithoutGpu()
{
    // The context Qt shares with the web views (Qt::AA_ShareOpenGLContexts) tells which
    // OpenGL the views would get.
    // With no OpenGL at all (QT_XCB_GL_INTEGRATION=none, no driver) the views are
    // composited in software too: Qt 6's would otherwise draw nothing.
    QOpenGLContext *shared = QOpenGLContext::globalShareContext();
    QOffscreenSurface surface;
    bool usable = false;
    QByteArray name;
    if (shared && shared->isValid()) {
        surface.setFormat(shared->format());
        surface.create();
        usable = surface.isValid() && shared->makeCurrent(&surface);
    }
    if (usable) {
        const auto *renderer =
            reinterpret_cast<const char *>(shared->functions()->glGetString(GL_RENDERER));
        name = renderer ? renderer : "";
        shared->doneCurrent();
        if (!isSoftwareRenderer(name))
            return false;
    }
    qInfo().noquote() << (usable ? "graphics: OpenGL is a software rasterizer ("
                                       + QString::fromLatin1(name)
                                       + "), views are composited in software"
                                 : QStringLiteral("graphics: no OpenGL, views are composited in "
                                                  "software"));
    QtCompat::useSoftwareSceneGraph();
    return true;
}

void isolateSitesInOneRendererEach()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    // Whoever sets a process model of their own (for a diagnosis) keeps it.
    if (flags.contains("--renderer-process-limit") || flags.contains("--single-process")
        || flags.contains("--process-per-") || flags.contains("--site-per-process")
        || flags.contains("--disable-site-isolation-trials"))
        return;
    flags.append(flags.isEmpty() ? "" : " ")
        .append("--site-per-process --renderer-process-limit=1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

QString chromiumVersionOf(const QString &userAgent)
{
    static const QRegularExpression chrome(QStringLiteral("\\bChrome/([0-9]+(\\.[0-9]+)*)"));
    return chrome.match(userAgent).captured(1);
}

QString webEngineDescription()
{
    const QString chromium =
        chromiumVersionOf(webProfile()->httpUserAgent());
    return QStringLiteral("Qt WebEngine %1 (Chromium %2)")
        .arg(QStringLiteral(QTWEBENGINECORE_VERSION_STR),
             chromium.isEmpty() ? QStringLiteral("unknown") : chromium);
}

} // namespace ClientEnvironment
