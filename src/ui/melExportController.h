#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QDialog;
class QWidget;
class tCatalogC;

// The product word names the playlist that receives exported lessons.
inline const QString cExportPlaylist = QStringLiteral("Melodra");
// Options values: the portable player's folder, and the title of the
// player's window to bring forward after an export (none when empty).
inline const QString cPortablePlayerFolderValue = QStringLiteral("PortablePlayerFolder");
inline const QString cPlayerWindowTitleValue = QStringLiteral("PlayerWindowTitle");

// The main window's File and Help commands: export of the opened lesson to
// the desktop's playlist and the portable player, the store's support and
// update pages, the about box and Exit. Each handler shows its failure in
// the general error box.
class TExportController : public QObject {
  Q_OBJECT
public:
  // aCatalog is the window's, which may be replaced or missing.
  explicit TExportController(const std::unique_ptr<tCatalogC> &aCatalog,
                             QObject *aParent = nullptr);

  // The catalog path of the lesson last opened into the movie control.
  void SetCurrentPath(std::function<QString()> aCurrentPath) {
    FCurrentPath = std::move(aCurrentPath);
  }
  // The window that error boxes belong to and that Exit closes.
  void SetMainWindow(QWidget *aWindow) { FMainWindow = aWindow; }
  void SetAboutBox(QDialog *aAbout) { FAbout = aAbout; }

  void Export1Click();
  void SupportPage1Click();
  void CheckVersion1Click();
  void About1Click();
  void Exit1Click();

  // The export itself: the lesson's iPod file, else its movie, appended to
  // the playlist, copied to the portable player, the playlist shown and the
  // player's window brought forward. Raises on failure; the steps done
  // before stay done.
  void ExportCurrentEpisode();

private:
  const std::unique_ptr<tCatalogC> &FCatalog;
  std::function<QString()> FCurrentPath;
  QWidget *FMainWindow = nullptr;
  QDialog *FAbout = nullptr;
};
