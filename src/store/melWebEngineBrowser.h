#pragma once

#include "melWebBrowser.h"

#include <memory>

class QWebEngineView;

// The store's browser on QtWebEngine: one off-the-record profile of its own,
// so nothing of the store's session reaches the disk.
class TWebEngineBrowser final : public TWebBrowser {
  Q_OBJECT
public:
  explicit TWebEngineBrowser(QWidget *aParent, tWebBrowserOptionsC aOptions = {});
  ~TWebEngineBrowser() override;

  void Navigate2(const QString &aUrl, const QString &aHeaders) override;
  void Navigate(const QString &aUrl) override;
  void GoBack() override;
  void GoForward() override;
  void Stop() override;
  void SetOffline(bool aOffline) override;
  bool Offline() const override;
  bool CanGoBack() const override;
  bool CanGoForward() const override;
  QString LocationURL() const override;
  QWebEngineView *View() const;

private:
  struct tPrivateC;
  std::unique_ptr<tPrivateC> d;
};

TWebBrowser *CreateWebEngineBrowser(QWidget *aParent, const tWebBrowserOptionsC &aOptions);
