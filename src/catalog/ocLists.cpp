#include "ocLists.h"

namespace {

inline char16_t FoldAscii(char16_t aChar) {
  return aChar >= u'a' && aChar <= u'z' ? char16_t(aChar - (u'a' - u'A')) : aChar;
}

} // namespace

int CompareTextAsciiCase(const QString &aLeft, const QString &aRight) {
  const qsizetype length = std::min(aLeft.size(), aRight.size());
  const QChar *left = aLeft.constData();
  const QChar *right = aRight.constData();
  for (qsizetype i = 0; i < length; ++i) {
    const char16_t a = FoldAscii(left[i].unicode());
    const char16_t b = FoldAscii(right[i].unicode());
    if (a != b)
      return a < b ? -1 : 1;
  }
  return aLeft.size() == aRight.size() ? 0 : (aLeft.size() < aRight.size() ? -1 : 1);
}

bool SameTextAsciiCase(const QString &aLeft, const QString &aRight) {
  return aLeft.size() == aRight.size() && CompareTextAsciiCase(aLeft, aRight) == 0;
}

QString TrimControl(const QString &aText) {
  qsizetype start = 0;
  qsizetype end = aText.size();
  while (start < end && aText[start].unicode() <= 32)
    ++start;
  while (end > start && aText[end - 1].unicode() <= 32)
    --end;
  return start == 0 && end == aText.size() ? aText : aText.mid(start, end - start);
}
