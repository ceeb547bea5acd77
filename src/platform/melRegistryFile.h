#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

// The parsed contents of a regedit-format file, in file order so that a
// rewrite keeps what it does not understand.
// Qt's string hash is slow on this platform's builds, and parsing hashes
// every key.
struct tRegNameHashC {
  size_t operator()(const QString &aText) const {
    return std::hash<std::u16string_view>()(std::u16string_view(
        reinterpret_cast<const char16_t *>(aText.utf16()), size_t(aText.size())));
  }
};
using tRegNameIndexC = std::unordered_map<QString, qsizetype, tRegNameHashC>;

struct tRegValueC {
  enum class tKind { String, DWord, Other };
  QString mName; // empty for the default value "@"
  tKind mKind = tKind::String;
  QString mText;       // String
  uint32_t mDWord = 0; // DWord
  QString mRaw;        // Other: everything after "=" as written, continuations joined

  bool operator==(const tRegValueC &) const = default;
};

struct tRegSectionC {
  QString mKey; // below the hive, without leading backslash
  QList<tRegValueC> mValues;
  // Folded value name to its index in mValues, for sections of many values;
  // kept by SetValue.
  tRegNameIndexC mValueIndex;

  bool operator==(const tRegSectionC &aOther) const {
    return mKey == aOther.mKey && mValues == aOther.mValues;
  }
};

class tRegistryFileC {
public:
  // Parses the text in one pass; malformed lines are skipped and the first
  // one is described in mProblemLine and mProblem.
  static tRegistryFileC Parse(const QString &aText);
  // Text that Parse reads back to the same sections and values: key names
  // keep "%", line feeds and carriage returns as %25, %0A and %0D.
  QString Serialize() const;
  // The sections and values, in order (the problem report aside).
  bool SameContent(const tRegistryFileC &aOther) const { return mSections == aOther.mSections; }

  bool KeyExists(const QString &aKey) const;
  tRegSectionC *FindSection(const QString &aKey);
  const tRegSectionC *FindSection(const QString &aKey) const;
  tRegSectionC &AddSection(const QString &aKey);
  // Drops the key's section and those of every key below it; false when
  // there was none.
  bool RemoveKey(const QString &aKey);
  QStringList SubkeyNames(const QString &aKey) const;

  static const tRegValueC *FindValue(const tRegSectionC &aSection, const QString &aName);
  static void SetValue(tRegSectionC &aSection, const tRegValueC &aValue);

  int mProblemLine = 0; // 0 when the whole file was understood
  QString mProblem;

private:
  QList<tRegSectionC> mSections;
  // Folded key to its index in mSections, and the folded keys above each
  // section, which exist without a section of their own.
  tRegNameIndexC mSectionIndex;
  std::unordered_set<QString, tRegNameHashC> mKnownKeys;
};

// Key paths compare without regard to case or a leading backslash.
QString NormalizeRegKey(const QString &aKey);
