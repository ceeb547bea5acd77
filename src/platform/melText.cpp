#include "melText.h"

#include <algorithm>

int CompareTextAsciiCase(const QString &aLeft, const QString &aRight) {
  const qsizetype length = std::min(aLeft.size(), aRight.size());
  const QChar *left = aLeft.constData();
  const QChar *right = aRight.constData();
  for (qsizetype i = 0; i < length; ++i) {
    const char16_t a = FoldAsciiCase(left[i].unicode());
    const char16_t b = FoldAsciiCase(right[i].unicode());
    if (a != b)
      return a < b ? -1 : 1;
  }
  return aLeft.size() == aRight.size() ? 0 : (aLeft.size() < aRight.size() ? -1 : 1);
}

bool SameTextAsciiCase(const QString &aLeft, const QString &aRight) {
  return aLeft.size() == aRight.size() && CompareTextAsciiCase(aLeft, aRight) == 0;
}

bool ContainsAsciiCase(QByteArrayView aText, QByteArrayView aPart) {
  const auto same = [](char aLeft, char aRight) {
    return FoldAsciiCase(uchar(aLeft)) == FoldAsciiCase(uchar(aRight));
  };
  return std::search(aText.begin(), aText.end(), aPart.begin(), aPart.end(), same) != aText.end();
}
