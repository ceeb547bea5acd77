#pragma once

#include <QByteArrayView>
#include <QString>

// ASCII case: the letters a-z are taken as A-Z, every other character as its
// code. Catalog paths and searches follow it, and markers that are ASCII by
// nature (an XML declaration, hex digits); names in the settings file fold by
// Unicode instead.
constexpr char16_t FoldAsciiCase(char16_t aChar) {
  return aChar >= u'a' && aChar <= u'z' ? char16_t(aChar - (u'a' - u'A')) : aChar;
}

// Orders as the folded texts would: '_' sorts after the letters.
int CompareTextAsciiCase(const QString &aLeft, const QString &aRight);
bool SameTextAsciiCase(const QString &aLeft, const QString &aRight);
// Whether aPart occurs in the bytes aText, case as above.
bool ContainsAsciiCase(QByteArrayView aText, QByteArrayView aPart);
