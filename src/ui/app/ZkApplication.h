#pragma once

#include <QApplication>
#include <QString>
#include <QTranslator>
#include <exception>
#include <memory>
#include <utility>

namespace zk::ui {

// The program's application object. An exception that leaves an event
// handler ends up here: its message is shown in an error box and the
// program goes on, so a failed command never takes the windows down.
class TZkApplication : public QApplication {
  Q_OBJECT

public:
  TZkApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // The error box: the message, the program's name as its caption, over the
  // active window.
  static void ShowError(const QString& message);
  // The error box for an exception: its message.
  static void ShowError(const std::exception& error);
};

// Qt's own texts (standard buttons, file dialogs, input boxes, calendars)
// in the program's language, Hungarian, from the translations `folder`
// (Qt's own by default). Without a Hungarian translation there Qt's
// English stays, and nothing is said: none is returned. The translation is
// taken away when the returned translator goes.
std::unique_ptr<QTranslator> InstallQtTranslation(const QString& folder = QString());

// A handler for a signal whose error is shown at once, before it unwinds
// through Qt's event delivery: Qt does not free the event copies it made
// on the way when an exception passes them. The windows connect their
// commands through it; notify() stays the net for the rest.
template <class Handler>
auto Guarded(Handler handler) {
  return [handler = std::move(handler)](auto&&... arguments) {
    try {
      handler(std::forward<decltype(arguments)>(arguments)...);
    } catch (const std::exception& error) {
      TZkApplication::ShowError(error);
    }
  };
}

}  // namespace zk::ui
