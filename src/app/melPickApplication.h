#pragma once

#include "melApplications.h"

#include <QDialog>
#include <QLabel>

namespace Ui {
class TPickApplication;
}

// A label that turns silver while the mouse is over it and reports clicks.
class THoverLabel : public QLabel {
  Q_OBJECT
public:
  using QLabel::QLabel;

signals:
  void Clicked();

protected:
  void enterEvent(QEnterEvent *aEvent) override;
  void leaveEvent(QEvent *aEvent) override;
  void mouseReleaseEvent(QMouseEvent *aEvent) override;

private:
  void SetTextColour(const QColor &aColour);
};

// The start dialog that lets the user pick one of several applications.
class TPickApplication : public QDialog {
  Q_OBJECT
public:
  explicit TPickApplication(QWidget *aParent = nullptr);
  ~TPickApplication() override;

  void SetApplications(const tApplicationListC &aList);
  int mSelected = -1;

  QWidget *ApplicationsPanel() const;

protected:
  void keyPressEvent(QKeyEvent *aEvent) override;

private:
  void Select(int aIndex);

  std::unique_ptr<Ui::TPickApplication> ui;
  const tApplicationListC *mApplications = nullptr;
};

// Shows the picker modally; the chosen index, or -1 for "Quit".
int PickApplication(const tApplicationListC &aList);
