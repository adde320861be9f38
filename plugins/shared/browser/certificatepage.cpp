#include "certificatepage.h"

#include "clientpagehtml.h"
#include "jsstring.h"
#include "qtcompat.h"

#include <QWebEngineCertificateError>
#include <QWebEnginePage>

static const char pageTitle[] = "连接不安全";

// Chromium's names for its certificate errors (net/base/net_error_list.h), which
// administrators find in the engine's documentation and search engines.
static QString errorName(int code)
{
    switch (code) {
    case QWebEngineCertificateError::SslPinnedKeyNotInCertificateChain:
        return QStringLiteral("ERR_SSL_PINNED_KEY_NOT_IN_CERT_CHAIN");
    case QWebEngineCertificateError::CertificateCommonNameInvalid:
        return QStringLiteral("ERR_CERT_COMMON_NAME_INVALID");
    case QWebEngineCertificateError::CertificateDateInvalid:
        return QStringLiteral("ERR_CERT_DATE_INVALID");
    case QWebEngineCertificateError::CertificateAuthorityInvalid:
        return QStringLiteral("ERR_CERT_AUTHORITY_INVALID");
    case QWebEngineCertificateError::CertificateContainsErrors:
        return QStringLiteral("ERR_CERT_CONTAINS_ERRORS");
    case QWebEngineCertificateError::CertificateNoRevocationMechanism:
        return QStringLiteral("ERR_CERT_NO_REVOCATION_MECHANISM");
    case QWebEngineCertificateError::CertificateUnableToCheckRevocation:
        return QStringLiteral("ERR_CERT_UNABLE_TO_CHECK_REVOCATION");
    case QWebEngineCertificateError::CertificateRevoked:
        return QStringLiteral("ERR_CERT_REVOKED");
    case QWebEngineCertificateError::CertificateInvalid:
        return QStringLiteral("ERR_CERT_INVALID");
    case QWebEngineCertificateError::CertificateWeakSignatureAlgorithm:
        return QStringLiteral("ERR_CERT_WEAK_SIGNATURE_ALGORITHM");
    case QWebEngineCertificateError::CertificateNonUniqueName:
        return QStringLiteral("ERR_CERT_NON_UNIQUE_NAME");
    case QWebEngineCertificateError::CertificateWeakKey:
        return QStringLiteral("ERR_CERT_WEAK_KEY");
    case QWebEngineCertificateError::CertificateNameConstraintViolation:
        return QStringLiteral("ERR_CERT_NAME_CONSTRAINT_VIOLATION");
    case QWebEngineCertificateError::CertificateValidityTooLong:
        return QStringLiteral("ERR_CERT_VALIDITY_TOO_LONG");
    case QWebEngineCertificateError::CertificateTransparencyRequired:
        return QStringLiteral("ERR_CERTIFICATE_TRANSPARENCY_REQUIRED");
    case QWebEngineCertificateError::CertificateKnownInterceptionBlocked:
        return QStringLiteral("ERR_CERT_KNOWN_INTERCEPTION_BLOCKED");
    }
    return QStringLiteral("certificate error %1").arg(code);
}

QString CertificatePage::reasonFor(int errorCode)
{
    switch (errorCode) {
    case QWebEngineCertificateError::CertificateCommonNameInvalid:
    case QWebEngineCertificateError::CertificateNonUniqueName:
        return QStringLiteral("证书不属于这个地址。");
    case QWebEngineCertificateError::CertificateDateInvalid:
        return QStringLiteral("证书已过期或尚未生效，请检查电脑的日期和时间。");
    case QWebEngineCertificateError::CertificateAuthorityInvalid:
        return QStringLiteral("证书的颁发机构不受信任（自签名证书，或公司的根证书未安装）。");
    case QWebEngineCertificateError::CertificateRevoked:
        return QStringLiteral("证书已被吊销。");
    case QWebEngineCertificateError::CertificateWeakSignatureAlgorithm:
    case QWebEngineCertificateError::CertificateWeakKey:
        return QStringLiteral("证书的加密强度不足。");
    case QWebEngineCertificateError::CertificateValidityTooLong:
        return QStringLiteral("证书的有效期过长。");
    }
    return QStringLiteral("证书无效。");
}

CertificatePage::Refusal CertificatePage::refusalOf(const QWebEngineCertificateError &error)
{
    QString engineReason = errorName(QtCompat::certificateErrorType(error));
    if (!QtCompat::certificateErrorDescription(error).isEmpty())
        engineReason += QStringLiteral(": ") + QtCompat::certificateErrorDescription(error);
    return {error.url().host(), reasonFor(QtCompat::certificateErrorType(error)), engineReason};
}

static QString pageHtml()
{
    return clientPageHtml(
        QStringLiteral(":/insecure.html"),
        QStringLiteral("<title>%1</title><h1>%1</h1><p id=host></p><p id=reason></p>"
                       "<p id=engine></p><script>function mervoInsecure(h, r, e) {"
                       "host.textContent = h; reason.textContent = r;"
                       "engine.textContent = e; }</script>")
            .arg(QString::fromUtf8(pageTitle)));
}

void CertificatePage::show(QWebEnginePage *page, const Refusal &refusal)
{
    // Put together piece by piece: the texts may hold "%1"-like text.
    page->runJavaScript(QStringLiteral("document.open(); document.write(") +
                        jsStringLiteral(pageHtml()) +
                        QStringLiteral("); document.close(); mervoInsecure(") +
                        jsStringLiteral(refusal.host) + QLatin1Char(',') +
                        jsStringLiteral(refusal.reason) + QLatin1Char(',') +
                        jsStringLiteral(refusal.engineReason) + QStringLiteral(");"));
}

bool CertificatePage::isPageTitle(const QString &title)
{
    return title == QString::fromUtf8(pageTitle);
}
