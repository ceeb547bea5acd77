#include "melRegistryFile.h"

#include "melText.h"

#include <algorithm>

namespace {

const QString cHeader = QStringLiteral("Windows Registry Editor Version 5.00");
const QString cHive = QStringLiteral("HKEY_LOCAL_MACHINE");

QString Escape(const QString &aText) {
  QString out;
  out.reserve(aText.size() + 2);
  for (QChar c : aText) {
    switch (c.unicode()) {
    case '\\': out += QLatin1String("\\\\"); break;
    case '"': out += QLatin1String("\\\""); break;
    // A line break would end the value's line; keep it as an escape.
    case '\n': out += QLatin1String("\\n"); break;
    case '\r': out += QLatin1String("\\r"); break;
    default: out += c;
    }
  }
  return out;
}

// A key name goes in a section header, which has no escapes of its own; a
// line break would split the header.
QString EscapeKey(const QString &aKey) {
  QString out;
  out.reserve(aKey.size());
  for (QChar c : aKey) {
    switch (c.unicode()) {
    case '%': out += QLatin1String("%25"); break;
    case '\n': out += QLatin1String("%0A"); break;
    case '\r': out += QLatin1String("%0D"); break;
    default: out += c;
    }
  }
  return out;
}

// Only the three escapes EscapeKey writes are read back; any other "%" is
// itself, as in files written before keys were escaped.
QString UnescapeKey(const QString &aKey) {
  if (!aKey.contains(u'%'))
    return aKey;
  QString out;
  out.reserve(aKey.size());
  for (qsizetype i = 0; i < aKey.size(); ++i) {
    if (aKey[i] == u'%' && i + 2 < aKey.size()) {
      const QString code = aKey.mid(i + 1, 2);
      const QChar decoded = code == QLatin1String("25")                     ? QChar(u'%')
                            : SameTextAsciiCase(code, QStringLiteral("0A")) ? QChar(u'\n')
                            : SameTextAsciiCase(code, QStringLiteral("0D")) ? QChar(u'\r')
                                                                            : QChar();
      if (!decoded.isNull()) {
        out += decoded;
        i += 2;
        continue;
      }
    }
    out += aKey[i];
  }
  return out;
}

// Names compare ignoring case; ASCII names, the common case, fold without
// the Unicode tables.
QString Fold(const QString &aText) {
  QString out(aText.size(), Qt::Uninitialized);
  QChar *to = out.data();
  for (const QChar c : aText) {
    const char16_t u = c.unicode();
    if (u >= 0x80)
      return aText.toCaseFolded();
    *to++ = QChar(u >= 'A' && u <= 'Z' ? char16_t(u + 32) : u);
  }
  return out;
}

// Reads a quoted text starting at aPos (which holds the opening quote);
// returns the position after the closing quote, or -1 when it is unterminated.
qsizetype ReadQuoted(QStringView aLine, qsizetype aPos, QString &aOut) {
  aOut.clear();
  for (qsizetype i = aPos + 1; i < aLine.size(); ++i) {
    const QChar c = aLine[i];
    if (c == u'"') {
      // Most texts hold no escape: one copy.
      if (aOut.isEmpty())
        aOut = aLine.mid(aPos + 1, i - aPos - 1).toString();
      return i + 1;
    }
    if (c == u'\\' && i + 1 < aLine.size()) {
      if (aOut.isEmpty())
        aOut = aLine.mid(aPos + 1, i - aPos - 1).toString();
      const QChar n = aLine[++i];
      aOut += n == u'n' ? QChar(u'\n') : n == u'r' ? QChar(u'\r') : n;
      // From here on every character is appended.
      for (++i; i < aLine.size(); ++i) {
        const QChar d = aLine[i];
        if (d == u'"')
          return i + 1;
        if (d == u'\\' && i + 1 < aLine.size()) {
          const QChar m = aLine[++i];
          aOut += m == u'n' ? QChar(u'\n') : m == u'r' ? QChar(u'\r') : m;
        } else {
          aOut += d;
        }
      }
      return -1;
    }
  }
  return -1;
}

// Where the quoted text starting at aPos ends (after its closing quote), or
// -1 when it is unterminated.
qsizetype SkipQuoted(QStringView aLine, qsizetype aPos) {
  for (qsizetype i = aPos + 1; i < aLine.size(); ++i) {
    if (aLine[i] == u'"')
      return i + 1;
    if (aLine[i] == u'\\')
      ++i;
  }
  return -1;
}

bool ParseHex32(QStringView aDigits, uint32_t &aValue) {
  if (aDigits.isEmpty() || aDigits.size() > 8)
    return false;
  uint32_t value = 0;
  for (const QChar c : aDigits) {
    const char16_t u = c.unicode();
    const int digit = u >= '0' && u <= '9'   ? u - '0'
                      : u >= 'a' && u <= 'f' ? u - 'a' + 10
                      : u >= 'A' && u <= 'F' ? u - 'A' + 10
                                             : -1;
    if (digit < 0)
      return false;
    value = (value << 4) | uint32_t(digit);
  }
  aValue = value;
  return true;
}

bool ParseValue(QStringView aLine, tRegValueC &aValue, QString &aProblem) {
  qsizetype pos;
  if (aLine.startsWith(u'@')) {
    aValue.mName.clear();
    pos = 1;
  } else if (!aLine.startsWith(u'"')) {
    aProblem = QStringLiteral("value name expected in quotes");
    return false;
  } else {
    pos = ReadQuoted(aLine, 0, aValue.mName);
    if (pos < 0) {
      aProblem = QStringLiteral("unterminated value name");
      return false;
    }
  }
  if (pos >= aLine.size() || aLine[pos] != u'=') {
    aProblem = QStringLiteral("\"=\" expected after the value name");
    return false;
  }
  const QStringView data = aLine.mid(pos + 1).trimmed();
  if (data.startsWith(u'"')) {
    const qsizetype end = ReadQuoted(data, 0, aValue.mText);
    if (end < 0 || end != data.size()) {
      aProblem = end < 0 ? QStringLiteral("unterminated text")
                         : QStringLiteral("characters after the text");
      return false;
    }
    aValue.mKind = tRegValueC::tKind::String;
    return true;
  }
  if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
    if (!ParseHex32(data.mid(6), aValue.mDWord)) {
      aProblem = QStringLiteral("malformed dword");
      return false;
    }
    aValue.mKind = tRegValueC::tKind::DWord;
    return true;
  }
  if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
    aValue.mKind = tRegValueC::tKind::Other;
    aValue.mRaw = data.toString();
    return true;
  }
  aProblem = QStringLiteral("unknown value type");
  return false;
}

// Whether a value line holds binary data continued on the next line: the
// data after "=" (blanks allowed around it) starts with "hex" and the line
// ends with a backslash.
bool ContinuesOnNextLine(QStringView aTrimmedLine) {
  if (!aTrimmedLine.endsWith(u'\\'))
    return false;
  qsizetype pos = 0;
  if (aTrimmedLine.startsWith(u'"')) {
    pos = SkipQuoted(aTrimmedLine, 0);
    if (pos < 0)
      return false;
  } else if (aTrimmedLine.startsWith(u'@')) {
    pos = 1;
  } else {
    return false;
  }
  if (pos >= aTrimmedLine.size() || aTrimmedLine[pos] != u'=')
    return false;
  return aTrimmedLine.mid(pos + 1).trimmed().startsWith(QLatin1String("hex"), Qt::CaseInsensitive);
}

} // namespace

namespace {

QStringView StripBackslashes(QStringView aKey) {
  while (aKey.startsWith(u'\\'))
    aKey = aKey.mid(1);
  while (aKey.endsWith(u'\\'))
    aKey.chop(1);
  return aKey;
}

} // namespace

QString NormalizeRegKey(const QString &aKey) {
  const QStringView key = StripBackslashes(aKey);
  return key.size() == aKey.size() ? aKey : key.toString();
}

tRegistryFileC tRegistryFileC::Parse(const QString &aText) {
  tRegistryFileC file;
  auto problem = [&file](int aLine, const QString &aWhat) {
    if (file.mProblemLine == 0) {
      file.mProblemLine = aLine;
      file.mProblem = aWhat;
    }
  };
  const QStringView text(aText);
  qsizetype next = 0;
  // The next line, without its line end; false at the end of the text.
  auto takeLine = [&text, &next](QStringView &aLine) {
    if (next > text.size())
      return false;
    qsizetype end = text.indexOf(u'\n', next);
    if (end < 0)
      end = text.size();
    aLine = text.mid(next, end - next);
    if (aLine.endsWith(u'\r'))
      aLine.chop(1);
    next = end + 1;
    return true;
  };

  // Sections are counted ahead so that the lists and indexes grow once; a
  // bracket elsewhere counts too, but no header is shorter than the hive's.
  const char16_t *chars = reinterpret_cast<const char16_t *>(text.utf16());
  const qsizetype headers = std::min<qsizetype>(std::count(chars, chars + text.size(), u'['),
                                                text.size() / (cHive.size() + 2));
  file.mSections.reserve(headers + 1);
  file.mSectionIndex.reserve(size_t(headers) + 1);

  tRegSectionC *section = nullptr;
  bool headerSeen = false;
  QStringView line;
  for (int lineNo = 1; takeLine(line); ++lineNo) {
    if (lineNo == 1 && line.startsWith(QChar(0xFEFF)))
      line = line.mid(1);
    const QStringView trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(u';'))
      continue;
    if (!headerSeen) {
      headerSeen = true;
      if (trimmed == cHeader)
        continue;
      problem(lineNo, QStringLiteral("the header \"%1\" is missing").arg(cHeader));
    }
    if (trimmed.startsWith(u'[')) {
      section = nullptr;
      if (!trimmed.endsWith(u']')) {
        problem(lineNo, QStringLiteral("unterminated key name"));
        continue;
      }
      const QStringView path = trimmed.mid(1, trimmed.size() - 2);
      const qsizetype slash = path.indexOf(u'\\');
      const QStringView hive = slash < 0 ? path : path.left(slash);
      if (hive.compare(cHive, Qt::CaseInsensitive) != 0) {
        problem(lineNo, QStringLiteral("key outside %1").arg(cHive));
        continue;
      }
      const QString key =
          slash < 0 ? QString() : UnescapeKey(StripBackslashes(path.mid(slash)).toString());
      section = &file.AddSection(key);
      continue;
    }
    // Binary values may continue over lines ending with a backslash.
    QStringView value = trimmed;
    QString joined;
    const int firstLine = lineNo;
    bool unterminated = false;
    while (ContinuesOnNextLine(value)) {
      QStringView continued;
      if (!takeLine(continued)) {
        unterminated = true;
        break;
      }
      ++lineNo;
      // Joined in place: a long binary value runs over thousands of lines,
      // and copying the joined part for each would be quadratic.
      if (value.constData() != joined.constData())
        joined = value.toString();
      joined.chop(1);
      // Blanks before a backslash that was not the last would hide the next one.
      while (!joined.isEmpty() && joined.back().isSpace())
        joined.chop(1);
      joined += continued.trimmed();
      value = joined;
    }
    if (unterminated) {
      problem(firstLine, QStringLiteral("binary value continued past the end of the file"));
      continue;
    }
    tRegValueC parsed;
    QString what;
    if (!ParseValue(value, parsed, what)) {
      problem(firstLine, what);
      continue;
    }
    if (!section) {
      problem(firstLine, QStringLiteral("value outside a key"));
      continue;
    }
    SetValue(*section, parsed);
  }
  return file;
}

QString tRegistryFileC::Serialize() const {
  QString out = cHeader + u'\n';
  for (const tRegSectionC &section : mSections) {
    out += u'\n';
    out += u'[' + cHive + (section.mKey.isEmpty() ? QString() : u'\\' + EscapeKey(section.mKey)) +
           QLatin1String("]\n");
    for (const tRegValueC &value : section.mValues) {
      out += value.mName.isEmpty() ? QStringLiteral("@") : u'"' + Escape(value.mName) + u'"';
      out += u'=';
      switch (value.mKind) {
      case tRegValueC::tKind::String: out += u'"' + Escape(value.mText) + u'"'; break;
      case tRegValueC::tKind::DWord:
        out += QStringLiteral("dword:%1").arg(value.mDWord, 8, 16, QChar(u'0'));
        break;
      case tRegValueC::tKind::Other: out += value.mRaw; break;
      }
      out += u'\n';
    }
  }
  return out;
}

bool tRegistryFileC::KeyExists(const QString &aKey) const {
  const QString key = NormalizeRegKey(aKey);
  if (key.isEmpty())
    return true;
  const QString folded = Fold(key);
  return mSectionIndex.count(folded) != 0 || mKnownKeys.count(folded) != 0;
}

tRegSectionC *tRegistryFileC::FindSection(const QString &aKey) {
  const auto found = mSectionIndex.find(Fold(NormalizeRegKey(aKey)));
  return found == mSectionIndex.end() ? nullptr : &mSections[found->second];
}

const tRegSectionC *tRegistryFileC::FindSection(const QString &aKey) const {
  return const_cast<tRegistryFileC *>(this)->FindSection(aKey);
}

tRegSectionC &tRegistryFileC::AddSection(const QString &aKey) {
  const QString key = NormalizeRegKey(aKey);
  const QString folded = Fold(key);
  if (const auto found = mSectionIndex.find(folded); found != mSectionIndex.end())
    return mSections[found->second];
  mSectionIndex.emplace(folded, mSections.size());
  // Every key above it now exists; once one is known, so are those above.
  for (qsizetype end = folded.lastIndexOf(u'\\'); end > 0;
       end = folded.lastIndexOf(u'\\', end - 1)) {
    if (!mKnownKeys.insert(folded.left(end)).second)
      break;
  }
  mSections.append({key, {}, {}});
  return mSections.last();
}

bool tRegistryFileC::RemoveKey(const QString &aKey) {
  const QString key = NormalizeRegKey(aKey);
  const QString folded = Fold(key);
  const QString below = folded + u'\\';
  auto goes = [&](const tRegSectionC &aSection) {
    const QString own = Fold(aSection.mKey);
    return own == folded || own.startsWith(below);
  };
  if (key.isEmpty() || std::none_of(mSections.cbegin(), mSections.cend(), goes))
    return false;
  // The indexes of the keys that stay are made anew.
  tRegistryFileC kept;
  kept.mProblemLine = mProblemLine;
  kept.mProblem = mProblem;
  kept.mSections.reserve(mSections.size());
  for (const tRegSectionC &section : std::as_const(mSections)) {
    if (!goes(section))
      kept.AddSection(section.mKey) = section;
  }
  *this = std::move(kept);
  return true;
}

QStringList tRegistryFileC::SubkeyNames(const QString &aKey) const {
  const QString key = NormalizeRegKey(aKey);
  const QString prefix = key.isEmpty() ? QString() : key + u'\\';
  QStringList names;
  // A key of many subkeys must not compare each name with all the others.
  std::unordered_set<QString, tRegNameHashC> seen;
  for (const tRegSectionC &section : mSections) {
    if (!section.mKey.startsWith(prefix, Qt::CaseInsensitive) ||
        section.mKey.size() == prefix.size())
      continue;
    const QStringView rest = QStringView(section.mKey).mid(prefix.size());
    const QString name = rest.left(rest.indexOf(u'\\')).toString();
    if (seen.insert(Fold(name)).second)
      names.append(name);
  }
  std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  });
  return names;
}

namespace {

// Sections of a few values are searched in order; larger ones get an index,
// so that parsing stays linear in the number of values.
constexpr qsizetype cIndexedValues = 8;

qsizetype IndexOfValue(const tRegSectionC &aSection, const QString &aName) {
  if (aSection.mValueIndex.empty()) {
    for (qsizetype i = 0; i < aSection.mValues.size(); ++i) {
      if (aSection.mValues[i].mName.compare(aName, Qt::CaseInsensitive) == 0)
        return i;
    }
    return -1;
  }
  const auto found = aSection.mValueIndex.find(Fold(aName));
  return found == aSection.mValueIndex.end() ? -1 : found->second;
}

} // namespace

const tRegValueC *tRegistryFileC::FindValue(const tRegSectionC &aSection, const QString &aName) {
  const qsizetype index = IndexOfValue(aSection, aName);
  return index < 0 ? nullptr : &aSection.mValues[index];
}

void tRegistryFileC::SetValue(tRegSectionC &aSection, const tRegValueC &aValue) {
  const qsizetype index = IndexOfValue(aSection, aValue.mName);
  if (index >= 0) {
    aSection.mValues[index] = aValue;
    return;
  }
  aSection.mValues.append(aValue);
  if (!aSection.mValueIndex.empty()) {
    aSection.mValueIndex.emplace(Fold(aValue.mName), aSection.mValues.size() - 1);
  } else if (aSection.mValues.size() >= cIndexedValues) {
    for (qsizetype i = 0; i < aSection.mValues.size(); ++i)
      aSection.mValueIndex.emplace(Fold(aSection.mValues[i].mName), i);
  }
}
