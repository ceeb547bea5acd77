#pragma once

#include <QMessageBox>
#include <QString>

class QUrl;

#include <utility>

// The text of the general error box: the failure's message, with a full stop
// when its last character sorts after ".".
QString ErrorBoxText(const QString &aMessage);
// The general error box: caption "Melodra", error icon, OK.
void ShowErrorBox(const QString &aMessage, QWidget *aParent = nullptr);
// Shows the failure being handled; call only inside a catch block.
void ShowCurrentException(QWidget *aParent = nullptr) noexcept;

// A confirmation: caption "Confirm", question icon.
QMessageBox::StandardButton Confirm(const QString &aText,
                                    QMessageBox::StandardButtons aButtons = QMessageBox::Yes |
                                                                            QMessageBox::No,
                                    QWidget *aParent = nullptr);
// A notice: caption "Information", information icon; the button chosen.
QMessageBox::StandardButton Information(const QString &aText,
                                        QMessageBox::StandardButtons aButtons = QMessageBox::Ok,
                                        QWidget *aParent = nullptr);

// Opens a file or page with the desktop's program for it; when the desktop
// has none, logs that and raises EMelError naming what was to be opened.
void OpenThroughDesktop(const QUrl &aUrl);

// Runs a user action or control event handler: a failure ends the handler
// and is shown in the general error box, so no exception reaches the event
// loop.
template <typename F> void Guarded(F &&aHandler, QWidget *aParent = nullptr) noexcept {
  try {
    std::forward<F>(aHandler)();
  } catch (...) {
    ShowCurrentException(aParent);
  }
}
