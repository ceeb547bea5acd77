#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <vector>

// One lesson collection: its display name, picker pictures and catalog file.
class tApplicationC {
public:
  QString mName;
  QString mIconUp;
  QString mIconDown;
  QString mCatalog;
};

// The applications in the order read; owns them.
class tApplicationListC {
public:
  void Add(std::unique_ptr<tApplicationC> aApplication) {
    mItems.push_back(std::move(aApplication));
  }
  int Count() const { return static_cast<int>(mItems.size()); }
  tApplicationC *Items(int aIndex) const { return mItems.at(size_t(aIndex)).get(); }
  void Delete(int aIndex) { mItems.erase(mItems.begin() + aIndex); }

private:
  std::vector<std::unique_ptr<tApplicationC>> mItems;
};

inline const QString cStoreApplicationName = QStringLiteral("Download Store");

std::unique_ptr<tApplicationListC> GetApplications();
void CheckFilesExisting(tApplicationListC &aList);
std::unique_ptr<tApplicationC> DefaultApplication();

// Shows the picker for two or more applications; gives the chosen index, or
// -1 when the user quits.
using tPickApplicationFn = std::function<int(const tApplicationListC &)>;

// The application to run, or none when the user quit the picker. The result
// stays valid until the next call.
tApplicationC *GetApplication(const tPickApplicationFn &aPick);

// The application chosen at start; unchanged for the run.
const tApplicationC &CurrentApplication();
void SetCurrentApplication(const tApplicationC *aApplication);
bool IsStoreApplication();
// The current application's catalog file, resolved against the program
// folder (stored form; LocalPath gives the file).
QString CatalogFilePath();
