#include "ocLists.h"

QString TrimControl(const QString &aText) {
  qsizetype start = 0;
  qsizetype end = aText.size();
  while (start < end && aText[start].unicode() <= 32)
    ++start;
  while (end > start && aText[end - 1].unicode() <= 32)
    --end;
  return start == 0 && end == aText.size() ? aText : aText.mid(start, end - start);
}
