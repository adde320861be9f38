#pragma once

// What differs between Qt 5.15 and Qt 6 for this code, in one place and under Qt 6's names:
// code elsewhere writes the Qt 6 API and builds with either major. Each part is there only
// when the including target links the module it needs (QT_<MODULE>_LIB).

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QtGlobal>

#define MERVO_QT6 (QT_VERSION >= QT_VERSION_CHECK(6, 0, 0))

// ---- Core ------------------------------------------------------------------------------

#if MERVO_QT6
#include <QStringDecoder>
#else
#include <QTextCodec>
#endif

namespace QtCompat {

inline bool isValidUtf8(const QByteArray &bytes)
{
#if MERVO_QT6
    QStringDecoder utf8(QStringDecoder::Utf8);
    // The decoder works when its result is taken.
    const QString text = utf8(bytes);
    return !utf8.hasError();
#else
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0;
#endif
}

// Local 8-bit text (file names, a tool's output) is read as UTF-8 whatever the locale says,
// as Qt 6 always does.
inline void useUtf8ForLocalText()
{
#if !MERVO_QT6
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
#endif
}

// Where Qt's own translations are.
inline QString translationsPath()
{
#if MERVO_QT6
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}

// Scaled for the screen's density, with pixmaps to match: Qt 6 always is.
inline void enableHighDpiScaling()
{
#if !MERVO_QT6
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
#endif
}

} // namespace QtCompat

// ---- Qt Quick: the scene graph the engine's views draw with -----------------------------

#if defined(QT_QUICK_LIB)
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace QtCompat {

inline void useSoftwareSceneGraph()
{
#if MERVO_QT6
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
#else
    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
#endif
}

} // namespace QtCompat
#endif

// ---- Web engine ---------------------------------------------------------------------------

#if defined(QT_WEBENGINECORE_LIB)
#include <QWebEngineCertificateError>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#if MERVO_QT6
#include <QWebEngineDownloadRequest>
#else
#include <QWebEngineDownloadItem>
using QWebEngineDownloadRequest = QWebEngineDownloadItem;
#if defined(QT_WEBENGINE_LIB)
#include <QtWebEngine>
#endif
#endif

namespace QtCompat {

// Qt 5's engine starts through its Qt Quick module, before the application object;
// Qt 6's widgets need nothing.
#if MERVO_QT6
inline void initializeWebEngine()
{}
#elif defined(QT_WEBENGINE_LIB)
inline void initializeWebEngine()
{
    QtWebEngine::initialize();
}
#endif

// The engine's code for the error (net/base/net_error_list.h).
inline int certificateErrorType(const QWebEngineCertificateError &e)
{
#if MERVO_QT6
    return e.type();
#else
    return e.error();
#endif
}

inline QString certificateErrorDescription(const QWebEngineCertificateError &e)
{
#if MERVO_QT6
    return e.description();
#else
    return e.errorDescription();
#endif
}

// Empties the profile's HTTP cache. Qt 6.4's engine never finishes a load that starts
// after that (the page stays blank), so there the cache is kept and the log says so.
inline void clearHttpCache(QWebEngineProfile *profile)
{
#if MERVO_QT6
    Q_UNUSED(profile)
    qDebug("http cache kept: clearing it stops every later load on Qt 6.4");
#else
    profile->clearHttpCache();
#endif
}

// A download's end: Qt 6 reports it as a property change, Qt 5 as a signal of its own.
template <typename Slot>
QMetaObject::Connection onDownloadFinished(QWebEngineDownloadRequest *item, const QObject *context,
                                           Slot slot)
{
#if MERVO_QT6
    return QObject::connect(item, &QWebEngineDownloadRequest::isFinishedChanged, context,
                            [item, slot] {
                                if (item->isFinished())
                                    slot();
                            });
#else
    return QObject::connect(item, &QWebEngineDownloadItem::finished, context, slot);
#endif
}

// A download's progress as (received, total); Qt 6 reports the two apart.
template <typename Slot>
void onDownloadProgress(QWebEngineDownloadRequest *item, const QObject *context, Slot slot)
{
#if MERVO_QT6
    auto report = [item, slot] { slot(item->receivedBytes(), item->totalBytes()); };
    QObject::connect(item, &QWebEngineDownloadRequest::receivedBytesChanged, context, report);
    QObject::connect(item, &QWebEngineDownloadRequest::totalBytesChanged, context, report);
#else
    QObject::connect(item, &QWebEngineDownloadItem::downloadProgress, context, slot);
#endif
}

} // namespace QtCompat

// A page that refuses every certificate the engine rejects, and hands each refusal to
// certificateRefused(). Qt 6 reports these by a signal, Qt 5 through a virtual function.
class QWebEngineCertificateRefusingPage : public QWebEnginePage
{
public:
    explicit QWebEngineCertificateRefusingPage(QWebEngineProfile *profile, QObject *parent)
        : QWebEnginePage(profile, parent)
    {
#if MERVO_QT6
        connect(this, &QWebEnginePage::certificateError, this,
                [this](QWebEngineCertificateError error) {
                    error.rejectCertificate();
                    certificateRefused(error);
                });
#endif
    }

protected:
    virtual void certificateRefused(const QWebEngineCertificateError &error) = 0;

#if !MERVO_QT6
    bool certificateError(const QWebEngineCertificateError &error) override
    {
        certificateRefused(error);
        return false;
    }
#endif
};
#endif

// ---- Web engine widgets: context menus and printing, which Qt 6 moved to the view ---------

#if defined(QT_WEBENGINEWIDGETS_LIB)
#include <QWebEngineView>
#if MERVO_QT6
#include <QWebEngineContextMenuRequest>
#else
#include <QWebEngineContextMenuData>
#endif

namespace QtCompat {

// What was under the pointer when the view's context menu was asked for.
struct ContextMenuRequest
{
    QString selectedText;
    bool isContentEditable = false;
    QUrl linkUrl;
};

// The view that shows page, if any.
inline QWebEngineView *viewForPage(const QWebEnginePage *page)
{
#if MERVO_QT6
    return QWebEngineView::forPage(page);
#else
    return qobject_cast<QWebEngineView *>(page->view());
#endif
}

inline ContextMenuRequest lastContextMenuRequest(QWebEngineView *view)
{
#if MERVO_QT6
    const QWebEngineContextMenuRequest *request = view->lastContextMenuRequest();
    if (!request)
        return {};
    return {request->selectedText(), request->isContentEditable(), request->linkUrl()};
#else
    const QWebEngineContextMenuData &data = view->page()->contextMenuData();
    return {data.selectedText(), data.isContentEditable(), data.linkUrl()};
#endif
}

} // namespace QtCompat

#if defined(QT_PRINTSUPPORT_LIB)
#include <QPrinter>

#include <functional>
#include <memory>

namespace QtCompat {

// Prints the page onto printer, which must live until done(ok) is called. Qt 6 prints
// through the view that shows the page.
inline void printPage(QWebEnginePage *page, QPrinter *printer, std::function<void(bool)> done)
{
#if MERVO_QT6
    QWebEngineView *view = viewForPage(page);
    if (!view) {
        done(false);
        return;
    }
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = QObject::connect(view, &QWebEngineView::printFinished, view, [once, done](bool ok) {
        QObject::disconnect(*once);
        done(ok);
    });
    view->print(printer);
#else
    page->print(printer, done);
#endif
}

} // namespace QtCompat
#endif
#endif
