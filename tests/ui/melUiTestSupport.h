#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>
#include <vector>

struct tSeenBoxC {
  QString mCaption;
  QString mText;
  QMessageBox::Icon mIcon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons mButtons;
};

// Runs the action and answers every message box it shows with its first
// button, recording what each box showed.
std::vector<tSeenBoxC> RunAnsweringBoxes(const std::function<void()> &aAction);
