#include "melUiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

std::vector<tSeenBoxC> RunAnsweringBoxes(const std::function<void()> &aAction) {
  std::vector<tSeenBoxC> seen;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&seen] {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
      return;
    seen.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
    box->buttons().first()->click();
  });
  timer.start();
  aAction();
  return seen;
}
