#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The parsed contents of a regedit-format file, in file order so that a
// rewrite keeps what it does not understand.
struct tRegValueC {
  enum class tKind { String, DWord, Other };
  QString mName; // empty for the default value "@"
  tKind mKind = tKind::String;
  QString mText;       // String
  uint32_t mDWord = 0; // DWord
  QString mRaw;        // Other: everything after "=" as written
};

struct tRegSectionC {
  QString mKey; // below the hive, without leading backslash
  QList<tRegValueC> mValues;
};

class tRegistryFileC {
public:
  // Parses the text; malformed lines are skipped and the first one is
  // described in FirstProblem (line number and reason).
  static tRegistryFileC Parse(const QString &aText);
  QString Serialize() const;

  bool KeyExists(const QString &aKey) const;
  tRegSectionC *FindSection(const QString &aKey);
  const tRegSectionC *FindSection(const QString &aKey) const;
  tRegSectionC &AddSection(const QString &aKey);
  QStringList SubkeyNames(const QString &aKey) const;

  static const tRegValueC *FindValue(const tRegSectionC &aSection, const QString &aName);
  static void SetValue(tRegSectionC &aSection, const tRegValueC &aValue);

  int mProblemLine = 0; // 0 when the whole file was understood
  QString mProblem;

private:
  QList<tRegSectionC> mSections;
};

// Key paths compare without regard to case or a leading backslash.
QString NormalizeRegKey(const QString &aKey);
