#pragma once

#include "ocLists.h"

#include <QWidget>

#include <cfenv>
#include <memory>

namespace Ui {
class TMain;
}

class QFrame;
class QTimer;
class QTreeWidgetItem;
class TCatalogListView;
class tCatalogC;
class tCatalogItemC;
class tCategoryItemC;
class tFileItemC;

// The private message that runs the deferred start once the window is shown.
inline constexpr int WM_DEFERRED_START = 1024 + 1000;

// The main window.
class TMain : public QWidget {
  Q_OBJECT
public:
  explicit TMain(QWidget *aParent = nullptr);
  ~TMain() override;

  bool DeferredStartDone() const { return FDeferredStartDone; }

  // Library view.
  void SetCategoryColumnCount(int aCount);
  int CategoryColumnCount() const { return FCategoryColumns.Count(); }
  TCatalogListView *CategoryColumn(int aIndex) const { return FCategoryColumns.ObjectAt(aIndex); }
  QFrame *CategoryBevel(int aIndex) const { return FCategoryBevels.ObjectAt(aIndex); }
  void UpdateCategoryLabels();
  QString GetSelectedPath() const;
  void SelectPath(QString aPath);
  tCatalogC *Catalog() const { return FCatalog.get(); }

protected:
  void showEvent(QShowEvent *aEvent) override;
  void closeEvent(QCloseEvent *aEvent) override;
  void customEvent(QEvent *aEvent) override;

private:
  void FormCreate();
  void FormShow();
  void DeferredStart();
  void FormDestroy();

  void mCategoryLvSelectItem(TCatalogListView *aSender, QTreeWidgetItem *aItem);
  void mCategoryLvEnter();
  void fAdjustTimerTimer();
  bool fSearchEdtKeyPress(int aKey);
  void AddEpisodeRow(tCategoryItemC &aCategory, tFileItemC &aEpisode);
  void ListAllEpisodes(const QString &aWord);
  void ShowItemCount();
  bool eventFilter(QObject *aWatched, QEvent *aEvent) override;

  std::unique_ptr<Ui::TMain> ui;
  // The floating-point environment before the window existed; restored at
  // close.
  fenv_t FSaved8087CW{};
  bool FFPModeSaved = false;
  bool FShown = false;
  bool FDeferredStartDone = false;

  std::unique_ptr<tCatalogC> FCatalog;
  // Both reference controls owned by the category scroll box.
  tIntegerListC<TCatalogListView> FCategoryColumns;
  tIntegerListC<QFrame> FCategoryBevels;
  QTimer *fAdjustTimer = nullptr;
};
