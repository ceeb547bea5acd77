#pragma once

#include "melErrors.h"
#include "melRowSink.h"
#include "ocLists.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace pugi {
class xml_node;
}

class tCategoryItemC;
class tRelativePathResolverC;

// Writes an episode's status into the catalog file for every episode with
// that URL. The owner of a catalog may set one that also updates its view.
using tStatusWriter = std::function<void(const QString &aURL, uint8_t aStatus)>;

// What every node of one reading shares.
struct tCatalogReadC {
  QString mCatalogFile;
  const tRelativePathResolverC &mResolver; // against the catalog file's folder
  std::shared_ptr<const tStatusWriter> mStatusWriter;
};

// Download status of an episode, as stored in the catalog file.
enum tEpisodeStatus : uint8_t {
  esDownloaded = 0,
  esNotDownloaded = 1,
  esDownloading = 2,
  esError = 3,
  esPaused = 4,
};

QString StatusToText(int aStatus);
// The status for a stored word, compared exactly; other text gives nothing.
std::optional<uint8_t> TextToStatus(const QString &aText);

// A catalog file that cannot be read: not found, not XML, or of the wrong
// structure.
class ECatalogError : public EMelError {
public:
  using EMelError::EMelError;
};

// Any node of the catalog tree.
class tCatalogItemC {
public:
  explicit tCatalogItemC(tCategoryItemC *aParent) : mParent(aParent) {}
  virtual ~tCatalogItemC() = default;
  tCatalogItemC(const tCatalogItemC &) = delete;
  tCatalogItemC &operator=(const tCatalogItemC &) = delete;

  virtual bool IsCategory() const = 0;
  virtual bool HasFiles() const = 0;
  virtual QString GetPath() const = 0;
  virtual QString GetName() const = 0;

  tCategoryItemC *mParent;
};

class tFileItemC : public tCatalogItemC {
public:
  tFileItemC(tCategoryItemC *aParent, const pugi::xml_node &aElement, QString aName, QString aPath,
             const tCatalogReadC &aRead);

  bool IsCategory() const override { return false; }
  bool HasFiles() const override { return false; }
  QString GetPath() const override { return mPath; }
  QString GetName() const override { return mName; }

  void SetStatus(uint8_t aStatus);
  void SetProgress(int aPercent);

  QString mCatalogFile;
  QString mPath;
  QString mName;
  QString mFileType;
  QString mFilename;
  QString mArtist;
  QString mInstrument;
  QString mLevel;
  QString mAcidFile;
  QString mIPodFile;
  QString mURL;
  uint8_t mStatus = esDownloaded;
  int32_t mProgress = 0;
  // The catalog's writer; SetStatus writes through it when one is set.
  std::shared_ptr<const tStatusWriter> mStatusWriter;
};

class tCategoryItemC : public tCatalogItemC {
public:
  // Builds the whole subtree of the element; aDepth guards against files
  // nested deeper than any catalog needs.
  tCategoryItemC(tCategoryItemC *aParent, const pugi::xml_node &aElement, QString aName,
                 QString aPath, const tCatalogReadC &aRead, int aDepth = 0);

  bool IsCategory() const override { return true; }
  bool HasFiles() const override { return mHasFiles; }
  // Built from the names up the tree: a catalog may hold millions of
  // categories, and a stored path each would double their memory.
  QString GetPath() const override;
  QString GetName() const override { return mName; }

  QString mName;
  bool mHasFiles = false;
  tStringListC<tCatalogItemC> mItems;
};

// The "All" row of the first category column; not part of the tree.
class tAllCategoryItemC : public tCatalogItemC {
public:
  tAllCategoryItemC() : tCatalogItemC(nullptr) {}
  bool IsCategory() const override { return true; }
  bool HasFiles() const override { return false; }
  QString GetPath() const override { return {}; }
  QString GetName() const override { return QStringLiteral("All"); }
};

// Categories may nest this deep; a deeper file is refused.
inline constexpr int cMaxCategoryDepth = 100;

class tCatalogC {
public:
  // Reads the file (stored path form, as CatalogFilePath gives it); raises
  // ECatalogError when it cannot.
  explicit tCatalogC(QString aFileName);

  // Reads the file into a new tree. On failure the previous tree stays.
  void Load();
  // The path every status change of the tree's episodes takes, old trees
  // included; without one they write the file directly.
  void SetStatusWriter(tStatusWriter aWriter) { *mStatusWriter = std::move(aWriter); }

  tCatalogItemC *FindItem(const QString &aPath) const;

  void FillCategoryView(tRowSinkC &aColumn, const QString &aPath) const;
  void FillEpisodeList(tRowSinkC &aList, const QString &aPath) const;
  using tMatchHandler = std::function<void(tCategoryItemC &, tFileItemC &)>;
  void ForEachMatching(const QString &aWord, const tMatchHandler &aHandler) const;
  tCatalogItemC *FindNextFile(const QString &aEpisodePath) const;

  tCategoryItemC *Root() const { return mRoot.get(); }
  // The current tree, for row sinks to hold while their rows point into it.
  std::shared_ptr<const void> Tree() const { return mRoot; }

  QString mFileName;

private:
  std::shared_ptr<tCategoryItemC> ReadTree() const;
  std::shared_ptr<tStatusWriter> mStatusWriter = std::make_shared<tStatusWriter>();
  // A replaced tree lives on while a row sink holds it, and goes when the
  // last list that showed it is refilled.
  std::shared_ptr<tCategoryItemC> mRoot;
};

// The row of an episode in the episode list.
tRowC EpisodeRow(tFileItemC &aEpisode);
bool EpisodeMatches(const tFileItemC &aEpisode, const QString &aWord);
bool MatchesWord(const QString &aWord, const QString &aText);
