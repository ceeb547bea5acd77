#include "melMessages.h"

#include "melErrors.h"
#include "melLogging.h"

#include <QDesktopServices>
#include <QUrl>

#include <exception>

namespace {

const QString cTitle = QStringLiteral("Melodra");

QMessageBox::StandardButton Show(QMessageBox::Icon aIcon, const QString &aCaption,
                                 const QString &aText, QMessageBox::StandardButtons aButtons,
                                 QWidget *aParent) {
  QMessageBox box(aIcon, aCaption, aText, aButtons, aParent);
  // Messages carry names from catalogs and settings, never markup.
  box.setTextFormat(Qt::PlainText);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

QString ErrorBoxText(const QString &aMessage) {
  if (!aMessage.isEmpty() && aMessage.back() > u'.')
    return aMessage + u'.';
  return aMessage;
}

void ShowErrorBox(const QString &aMessage, QWidget *aParent) {
  Show(QMessageBox::Critical, cTitle, ErrorBoxText(aMessage), QMessageBox::Ok, aParent);
}

void ShowCurrentException(QWidget *aParent) noexcept {
  try {
    try {
      throw;
    } catch (const EMelError &e) {
      ShowErrorBox(e.Message(), aParent);
    } catch (const std::exception &e) {
      ShowErrorBox(QString::fromLocal8Bit(e.what()), aParent);
    } catch (...) {
      ShowErrorBox(QStringLiteral("Unknown failure"), aParent);
    }
  } catch (...) {
    // Showing the box failed too; nothing more can be done for the user.
  }
}

QMessageBox::StandardButton Confirm(const QString &aText, QMessageBox::StandardButtons aButtons,
                                    QWidget *aParent) {
  return Show(QMessageBox::Question, QStringLiteral("Confirm"), aText, aButtons, aParent);
}

QMessageBox::StandardButton Information(const QString &aText, QMessageBox::StandardButtons aButtons,
                                        QWidget *aParent) {
  return Show(QMessageBox::Information, QStringLiteral("Information"), aText, aButtons, aParent);
}

void OpenThroughDesktop(const QUrl &aUrl) {
  if (QDesktopServices::openUrl(aUrl))
    return;
  const QString shown = aUrl.isLocalFile() ? aUrl.toLocalFile() : aUrl.toString();
  const QString message = QStringLiteral("The desktop has no program that opens %1").arg(shown);
  WriteLog(message);
  throw EMelError(message);
}
