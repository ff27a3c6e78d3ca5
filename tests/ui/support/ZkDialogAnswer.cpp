#include "support/ZkDialogAnswer.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace zk::test {

void AnswerNextDialog(std::function<void(QWidget& dialog)> answer, int timeoutMs) {
  auto timer = std::make_shared<QTimer>();
  auto elapsed = std::make_shared<QElapsedTimer>();
  elapsed->start();
  timer->setInterval(10);
  QObject::connect(timer.get(), &QTimer::timeout, [timer, elapsed, answer = std::move(answer), timeoutMs] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      timer->stop();
      answer(*dialog);
      timer->disconnect();
      return;
    }
    if (elapsed->elapsed() > timeoutMs) {
      timer->stop();
      timer->disconnect();
      ADD_FAILURE() << "no dialog opened within " << timeoutMs << " ms";
    }
  });
  timer->start();
}

QString MessageBoxText(const QWidget& dialog) {
  const auto* box = qobject_cast<const QMessageBox*>(&dialog);
  return box != nullptr ? box->text() : QString();
}

void ClickButton(QWidget& dialog, const QString& text) {
  const auto plain = [](QString caption) { return caption.remove(QLatin1Char('&')); };
  for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
    if (plain(button->text()) == plain(text)) {
      button->click();
      return;
    }
  }
  ADD_FAILURE() << "no button " << text.toStdString() << " in " << dialog.metaObject()->className();
  // Closed all the same, so that a wrong answer fails the test instead of
  // hanging it.
  dialog.close();
}

}  // namespace zk::test
