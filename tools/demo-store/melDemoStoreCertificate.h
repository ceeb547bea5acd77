#pragma once

#include <QString>

// Makes sure aFolder holds cert.pem and key.pem: a self-signed certificate
// for 127.0.0.1 and localhost and its key (mode 0600). A pair that is missing,
// does not match, or has expired is made again; the key goes into place
// before the certificate, so a certificate on disk always has its key.
// Raises std::runtime_error.
void EnsureDemoStoreCertificate(const QString &aFolder);
