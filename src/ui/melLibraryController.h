#pragma once

#include "ocLists.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace Ui {
class TMain;
}

class QFrame;
class QTimer;
class QTreeWidgetItem;
class TCatalogListView;
class tCatalogC;
class tCategoryItemC;
class tFileItemC;

// The main window's library view: the category columns, the episode list,
// their captions, the search box and the remembered selection; and keeping
// the catalog file and the view in step when an episode changes.
class TLibraryController : public QObject {
  Q_OBJECT
public:
  // aCatalog is the window's, which may be missing.
  TLibraryController(Ui::TMain &aForm, const std::unique_ptr<tCatalogC> &aCatalog,
                     QObject *aParent = nullptr);
  ~TLibraryController() override;

  void SetCategoryColumnCount(int aCount);
  int CategoryColumnCount() const { return FCategoryColumns.Count(); }
  TCatalogListView *CategoryColumn(int aIndex) const { return FCategoryColumns.ObjectAt(aIndex); }
  QFrame *CategoryBevel(int aIndex) const { return FCategoryBevels.ObjectAt(aIndex); }
  void UpdateCategoryLabels();
  QString GetSelectedPath() const;
  void SelectPath(QString aPath);
  // The first column shows the catalog's top level.
  void ShowTopLevel();

  // Catalog upkeep.
  void UpdateEpisodeStatus(const QString &aURL, uint8_t aStatus);
  // aReleaseFile is called before a downloaded episode's file goes.
  void RemoveEpisode(tFileItemC &aEpisode, const std::function<void()> &aReleaseFile,
                     quintptr aWindow);
  void ResetCatalogView();
  void ResetStatusesAtStart();
  void ReloadCatalog();

protected:
  bool eventFilter(QObject *aWatched, QEvent *aEvent) override;

private:
  void mCategoryLvSelectItem(TCatalogListView *aSender, QTreeWidgetItem *aItem);
  void mCategoryLvEnter();
  void fAdjustTimerTimer();
  bool fSearchEdtKeyPress(int aKey);
  void AddEpisodeRow(tCategoryItemC &aCategory, tFileItemC &aEpisode);
  void ListAllEpisodes(const QString &aWord);
  void ShowItemCount();
  void DeleteLastColumn();

  Ui::TMain *ui;
  const std::unique_ptr<tCatalogC> &FCatalog;
  // Both reference controls owned by the category scroll box.
  tIntegerListC<TCatalogListView> FCategoryColumns;
  tIntegerListC<QFrame> FCategoryBevels;
  QTimer *fAdjustTimer = nullptr;
};
