#include "melRegistryFile.h"

#include <QRegularExpression>

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

// Reads a quoted text starting at aPos (which holds the opening quote);
// returns the position after the closing quote, or -1 when it is unterminated.
qsizetype ReadQuoted(const QString &aLine, qsizetype aPos, QString &aOut) {
  aOut.clear();
  for (qsizetype i = aPos + 1; i < aLine.size(); ++i) {
    const QChar c = aLine[i];
    if (c == u'"')
      return i + 1;
    if (c == u'\\' && i + 1 < aLine.size()) {
      const QChar n = aLine[++i];
      aOut += n == u'n' ? QChar(u'\n') : n == u'r' ? QChar(u'\r') : n;
    } else {
      aOut += c;
    }
  }
  return -1;
}

bool ParseValue(const QString &aLine, tRegValueC &aValue, QString &aProblem) {
  qsizetype pos;
  if (aLine.startsWith(u'@')) {
    aValue.mName.clear();
    pos = 1;
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
  const QString data = aLine.mid(pos + 1).trimmed();
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
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{1,8}$"));
    const QString digits = data.mid(6);
    if (!hex.match(digits).hasMatch()) {
      aProblem = QStringLiteral("malformed dword");
      return false;
    }
    aValue.mKind = tRegValueC::tKind::DWord;
    aValue.mDWord = digits.toUInt(nullptr, 16);
    return true;
  }
  if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
    aValue.mKind = tRegValueC::tKind::Other;
    aValue.mRaw = data;
    return true;
  }
  aProblem = QStringLiteral("unknown value type");
  return false;
}

} // namespace

QString NormalizeRegKey(const QString &aKey) {
  QString key = aKey;
  while (key.startsWith(u'\\'))
    key.remove(0, 1);
  while (key.endsWith(u'\\'))
    key.chop(1);
  return key;
}

tRegistryFileC tRegistryFileC::Parse(const QString &aText) {
  tRegistryFileC file;
  const QStringList lines = aText.split(u'\n');
  auto problem = [&file](int aLine, const QString &aWhat) {
    if (file.mProblemLine == 0) {
      file.mProblemLine = aLine;
      file.mProblem = aWhat;
    }
  };

  tRegSectionC *section = nullptr;
  bool headerSeen = false;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const int lineNo = int(i) + 1;
    QString line = lines[i];
    if (line.endsWith(u'\r'))
      line.chop(1);
    if (i == 0 && line.startsWith(QChar(0xFEFF)))
      line.remove(0, 1);
    const QString trimmed = line.trimmed();
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
      const QString path = trimmed.mid(1, trimmed.size() - 2);
      const qsizetype slash = path.indexOf(u'\\');
      const QString hive = slash < 0 ? path : path.left(slash);
      if (hive.compare(cHive, Qt::CaseInsensitive) != 0) {
        problem(lineNo, QStringLiteral("key outside %1").arg(cHive));
        continue;
      }
      const QString key = slash < 0 ? QString() : NormalizeRegKey(path.mid(slash));
      section = file.FindSection(key);
      if (!section)
        section = &file.AddSection(key);
      continue;
    }
    // Binary values may continue over lines ending with a backslash.
    while (trimmed.startsWith(u'"') && line.trimmed().endsWith(u'\\') &&
           line.contains(QLatin1String("=hex"), Qt::CaseInsensitive) && i + 1 < lines.size()) {
      line = line.trimmed();
      line.chop(1);
      line += lines[++i].trimmed();
    }
    tRegValueC value;
    QString what;
    if (!ParseValue(line.trimmed(), value, what)) {
      problem(lineNo, what);
      continue;
    }
    if (!section) {
      problem(lineNo, QStringLiteral("value outside a key"));
      continue;
    }
    SetValue(*section, value);
  }
  return file;
}

QString tRegistryFileC::Serialize() const {
  QString out = cHeader + u'\n';
  for (const tRegSectionC &section : mSections) {
    out += u'\n';
    out += u'[' + cHive + (section.mKey.isEmpty() ? QString() : u'\\' + section.mKey) +
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
  const QString below = key + u'\\';
  for (const tRegSectionC &section : mSections) {
    if (section.mKey.compare(key, Qt::CaseInsensitive) == 0 ||
        section.mKey.startsWith(below, Qt::CaseInsensitive))
      return true;
  }
  return false;
}

tRegSectionC *tRegistryFileC::FindSection(const QString &aKey) {
  const QString key = NormalizeRegKey(aKey);
  for (tRegSectionC &section : mSections) {
    if (section.mKey.compare(key, Qt::CaseInsensitive) == 0)
      return &section;
  }
  return nullptr;
}

const tRegSectionC *tRegistryFileC::FindSection(const QString &aKey) const {
  return const_cast<tRegistryFileC *>(this)->FindSection(aKey);
}

tRegSectionC &tRegistryFileC::AddSection(const QString &aKey) {
  mSections.append({NormalizeRegKey(aKey), {}});
  return mSections.last();
}

QStringList tRegistryFileC::SubkeyNames(const QString &aKey) const {
  const QString key = NormalizeRegKey(aKey);
  const QString prefix = key.isEmpty() ? QString() : key + u'\\';
  QStringList names;
  for (const tRegSectionC &section : mSections) {
    if (!section.mKey.startsWith(prefix, Qt::CaseInsensitive) ||
        section.mKey.size() == prefix.size())
      continue;
    const QString rest = section.mKey.mid(prefix.size());
    const QString name = rest.left(rest.indexOf(u'\\'));
    if (!names.contains(name, Qt::CaseInsensitive))
      names.append(name);
  }
  std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  });
  return names;
}

const tRegValueC *tRegistryFileC::FindValue(const tRegSectionC &aSection, const QString &aName) {
  for (const tRegValueC &value : aSection.mValues) {
    if (value.mName.compare(aName, Qt::CaseInsensitive) == 0)
      return &value;
  }
  return nullptr;
}

void tRegistryFileC::SetValue(tRegSectionC &aSection, const tRegValueC &aValue) {
  for (tRegValueC &value : aSection.mValues) {
    if (value.mName.compare(aValue.mName, Qt::CaseInsensitive) == 0) {
      value = aValue;
      return;
    }
  }
  aSection.mValues.append(aValue);
}
