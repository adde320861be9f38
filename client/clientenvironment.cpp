#include "clientenvironment.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibraryInfo>
#include <QLocale>
#include <QNetworkProxyFactory>
#include <QTranslator>
#include <QWebEngineProfile>

namespace ClientEnvironment {

void useChineseLocale()
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}

bool installTranslations(QCoreApplication *app)
{
    QWebEngineProfile::defaultProfile()->setHttpAcceptLanguage(QStringLiteral("zh-CN,zh"));
    auto *translator = new QTranslator(app);
    const QString folder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
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

} // namespace ClientEnvironment
