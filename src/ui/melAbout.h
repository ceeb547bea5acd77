#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TAbout;
}

// The about box; created once at start and shown modally on demand.
class TAbout : public QDialog {
  Q_OBJECT
public:
  explicit TAbout(QWidget *aParent = nullptr);
  ~TAbout() override;

  QString VersionText() const;

private:
  std::unique_ptr<Ui::TAbout> ui;
};
