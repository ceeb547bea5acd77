#pragma once

#include <QWidget>

#include <cfenv>
#include <memory>

namespace Ui {
class TMain;
}

// The private message that runs the deferred start once the window is shown.
inline constexpr int WM_DEFERRED_START = 1024 + 1000;

// The main window.
class TMain : public QWidget {
  Q_OBJECT
public:
  explicit TMain(QWidget *aParent = nullptr);
  ~TMain() override;

  bool DeferredStartDone() const { return FDeferredStartDone; }

protected:
  void showEvent(QShowEvent *aEvent) override;
  void closeEvent(QCloseEvent *aEvent) override;
  void customEvent(QEvent *aEvent) override;

private:
  void FormCreate();
  void FormShow();
  void DeferredStart();
  void FormDestroy();

  std::unique_ptr<Ui::TMain> ui;
  // The floating-point environment before the window existed; restored at
  // close.
  fenv_t FSaved8087CW{};
  bool FFPModeSaved = false;
  bool FShown = false;
  bool FDeferredStartDone = false;
};
