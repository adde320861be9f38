#pragma once

#include <QString>

class QWebEngineCertificateError;
class QWebEnginePage;

// The client's page for an https address whose certificate the engine rejected
// (expired, self-signed, another host's, an issuer the engine does not trust). It
// names the host and why, in Chinese and in the engine's words, and offers no way on:
// the engine only trusts what its certificate store (NSS, ~/.pki/nssdb) holds.
class CertificatePage final
{
public:
    struct Refusal
    {
        QString host;
        QString reason;       // in Chinese, for the user
        QString engineReason; // the engine's error name and description
    };

    static Refusal refusalOf(const QWebEngineCertificateError &error);
    // The Chinese reason for an engine certificate error code.
    static QString reasonFor(int errorCode);

    // Writes the page over the engine's error page; the page keeps the refused
    // address, so a reload (F5) tries it again.
    static void show(QWebEnginePage *page, const Refusal &refusal);

    static bool isPageTitle(const QString &title);
};
