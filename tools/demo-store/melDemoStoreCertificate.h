#pragma once

#include <QString>

#include <cstddef>

// Makes sure aFolder holds cert.pem and key.pem: a self-signed certificate
// for 127.0.0.1 and localhost and its key (mode 0600). A pair that is missing,
// does not match, or has expired is made again; the key goes into place
// before the certificate, so a certificate on disk always has its key.
// Raises std::runtime_error.
void EnsureDemoStoreCertificate(const QString &aFolder);

// Fills aOut with aSize bytes from the system's random source; false when it
// cannot be read.
bool ReadRandomBytes(unsigned char *aOut, size_t aSize);
