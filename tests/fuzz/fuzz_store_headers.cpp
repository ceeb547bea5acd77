// Any bytes as the head of a store's answer, one line per line feed: the
// parsed headers are well formed, and the value lookup agrees with them.
#include "melStoreClient.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aData, size_t aSize) {
  tStoreResponseC response;
  const QByteArray head(reinterpret_cast<const char *>(aData), qsizetype(aSize));
  for (const QByteArray &line : head.split('\n'))
    AddResponseHeaderLine(response.mHeaders, line + '\n');
  for (const auto &[name, value] : response.mHeaders) {
    if (name.isEmpty() || name.contains(':'))
      std::abort();
    for (const char c : name)
      if (uchar(c) <= ' ' || c == 0x7F)
        std::abort();
    if (value != value.trimmed() || value.contains('\n'))
      std::abort();
    // The first of this name, in any letter case, is what a lookup gives.
    const QString found = HeaderValue(response, name);
    for (const auto &[other, otherValue] : response.mHeaders)
      if (other.compare(name, Qt::CaseInsensitive) == 0) {
        if (found != QString::fromUtf8(otherValue).trimmed())
          std::abort();
        break;
      }
  }
  return 0;
}
