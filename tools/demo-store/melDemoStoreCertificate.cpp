#include "melDemoStoreCertificate.h"

#include <QDir>
#include <QFile>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace {

constexpr long cValidDays = 825;

template <typename T, void (*Free)(T *)> struct tFreeC {
  void operator()(T *aPointer) const { Free(aPointer); }
};
using tKeyP = std::unique_ptr<EVP_PKEY, tFreeC<EVP_PKEY, EVP_PKEY_free>>;
using tCertP = std::unique_ptr<X509, tFreeC<X509, X509_free>>;
using tExtensionP = std::unique_ptr<X509_EXTENSION, tFreeC<X509_EXTENSION, X509_EXTENSION_free>>;

[[noreturn]] void Fail(const std::string &aWhat) {
  const unsigned long code = ERR_get_error();
  std::string message = "certificate: " + aWhat;
  if (code != 0) {
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    message += std::string(": ") + text;
  }
  ERR_clear_error();
  throw std::runtime_error(message);
}

std::string Local(const QString &aPath) {
  return QFile::encodeName(aPath).toStdString();
}

// A pair worth keeping: both read, they belong together, and the
// certificate is valid for at least another day.
bool UsablePair(const std::string &aCert, const std::string &aKey) {
  FILE *certFile = fopen(aCert.c_str(), "r");
  if (!certFile)
    return false;
  tCertP cert(PEM_read_X509(certFile, nullptr, nullptr, nullptr));
  fclose(certFile);
  FILE *keyFile = fopen(aKey.c_str(), "r");
  if (!keyFile)
    return false;
  tKeyP key(PEM_read_PrivateKey(keyFile, nullptr, nullptr, nullptr));
  fclose(keyFile);
  ERR_clear_error();
  if (!cert || !key || X509_check_private_key(cert.get(), key.get()) != 1)
    return false;
  const time_t tomorrow = time(nullptr) + 24 * 3600;
  time_t when = tomorrow;
  const bool valid = X509_cmp_time(X509_get0_notAfter(cert.get()), &when) > 0;
  ERR_clear_error();
  return valid;
}

void AddExtension(X509 *aCert, int aNid, const char *aValue) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, aCert, aCert, nullptr, nullptr, 0);
  tExtensionP extension(X509V3_EXT_conf_nid(nullptr, &context, aNid, aValue));
  if (!extension || X509_add_ext(aCert, extension.get(), -1) != 1)
    Fail("cannot add an extension");
}

// Writes through a new file of the given mode and renames it into place.
template <typename WriteFn> void WritePem(const std::string &aPath, mode_t aMode, WriteFn aWrite) {
  const std::string part = aPath + ".part";
  unlink(part.c_str());
  const int handle = open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, aMode);
  if (handle < 0)
    Fail("cannot create " + part);
  FILE *file = fdopen(handle, "w");
  if (!file) {
    close(handle);
    Fail("cannot open " + part);
  }
  const bool written = aWrite(file) == 1;
  const bool flushed = fflush(file) == 0 && fsync(fileno(file)) == 0;
  const bool closed = fclose(file) == 0;
  if (!written || !flushed || !closed) {
    unlink(part.c_str());
    Fail("cannot write " + part);
  }
  if (rename(part.c_str(), aPath.c_str()) != 0) {
    unlink(part.c_str());
    Fail("cannot rename " + part);
  }
}

} // namespace

bool ReadRandomBytes(unsigned char *aOut, size_t aSize) {
  FILE *source = fopen("/dev/urandom", "r");
  const bool read = source && fread(aOut, 1, aSize, source) == aSize;
  if (source)
    fclose(source);
  return read;
}

void EnsureDemoStoreCertificate(const QString &aFolder) {
  const std::string certPath = Local(QDir(aFolder).filePath(QStringLiteral("cert.pem")));
  const std::string keyPath = Local(QDir(aFolder).filePath(QStringLiteral("key.pem")));
  if (UsablePair(certPath, keyPath))
    return;

  tKeyP key(EVP_EC_gen("P-256"));
  if (!key)
    Fail("cannot make a key");
  tCertP cert(X509_new());
  if (!cert)
    Fail("cannot make a certificate");
  X509_set_version(cert.get(), X509_VERSION_3);
  unsigned char serial[16];
  if (!ReadRandomBytes(serial, sizeof serial))
    Fail("cannot read /dev/urandom");
  serial[0] &= 0x7f;
  BIGNUM *number = BN_bin2bn(serial, sizeof serial, nullptr);
  const bool serialSet = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.get()));
  BN_free(number);
  if (!serialSet)
    Fail("cannot set the serial number");
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), cValidDays * 24 * 3600);

  X509_NAME *name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char *>("Melodra demo store"), -1, -1,
                             0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char *>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(cert.get(), name);
  if (X509_set_pubkey(cert.get(), key.get()) != 1)
    Fail("cannot set the public key");
  // Its own authority, as clients that trust it as their only anchor expect.
  AddExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(cert.get(), NID_key_usage, "critical,digitalSignature,keyCertSign");
  AddExtension(cert.get(), NID_ext_key_usage, "serverAuth");
  AddExtension(cert.get(), NID_subject_key_identifier, "hash");
  AddExtension(cert.get(), NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
  if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
    Fail("cannot sign the certificate");

  WritePem(keyPath, 0600, [&](FILE *aFile) {
    return PEM_write_PrivateKey(aFile, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
  });
  WritePem(certPath, 0644, [&](FILE *aFile) { return PEM_write_X509(aFile, cert.get()); });
}
