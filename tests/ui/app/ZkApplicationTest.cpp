#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <stdexcept>

#include "support/ZkDialogAnswer.h"
#include "support/ZkGuiWait.h"
#include "ui/app/ZkApplication.h"
#include "support/ZkTempDir.h"
#include "ui/main/BackupMain.h"

namespace zk::ui {
namespace {

// Answers the next error box with OK and keeps what it showed.
struct TShownError {
  QString Text;
  QMessageBox::Icon Icon = QMessageBox::NoIcon;

  void AnswerNext() {
    test::AnswerNextDialog([this](QWidget& dialog) {
      Text = test::MessageBoxText(dialog);
      if (auto* box = qobject_cast<QMessageBox*>(&dialog)) Icon = box->icon();
      test::ClickButton(dialog, QStringLiteral("OK"));
    });
  }
};

// The texts of a question's buttons as it shows them.
QStringList QuestionButtons() {
  QStringList texts;
  test::AnswerNextDialog([&texts](QWidget& dialog) {
    auto* box = qobject_cast<QMessageBox*>(&dialog);
    for (QMessageBox::StandardButton button : {QMessageBox::Yes, QMessageBox::No}) texts << box->button(button)->text();
    box->button(QMessageBox::No)->click();
  });
  QMessageBox::question(nullptr, QStringLiteral("Backup"), QStringLiteral("Magszakítja a mentést ?"),
                        QMessageBox::Yes | QMessageBox::No);
  return texts;
}

// Qt's own buttons speak Hungarian once Qt's translation is installed;
// without one they stay English, and nothing is said.
TEST(ZkApplication, QtsOwnTextsAreHungarianWhenTheTranslationIsThere) {
  const test::TempDir empty;
  EXPECT_EQ(InstallQtTranslation(QString::fromStdString(empty.Path().string())), nullptr);
  EXPECT_EQ(QuestionButtons(), (QStringList{QStringLiteral("&Yes"), QStringLiteral("&No")}));

  if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_hu.qm")))
    GTEST_SKIP() << "no Hungarian translation of Qt installed (qt6-translations-l10n)";
  {
    const std::unique_ptr<QTranslator> translation = InstallQtTranslation();
    ASSERT_NE(translation, nullptr);
    EXPECT_EQ(QuestionButtons(), (QStringList{QStringLiteral("&Igen"), QStringLiteral("&Nem")}));
  }
  // Gone with its translator: the other tests see Qt's English.
  EXPECT_EQ(QuestionButtons(), (QStringList{QStringLiteral("&Yes"), QStringLiteral("&No")}));
}

// A command whose handler fails: the error box shows the message, and the
// program (and the button) go on working.
TEST(ZkApplication, ErrorOfAGuardedHandlerIsShownAndTheProgramGoesOn) {
  QPushButton button(QStringLiteral("Mentés"));
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, Guarded([&clicks](bool) {
                     ++clicks;
                     throw std::runtime_error("A(z) \"Napi\" mentés nem található.");
                   }));
  button.show();

  TShownError shown;
  shown.AnswerNext();
  QTest::mouseClick(&button, Qt::LeftButton);
  ZK_WAIT_FOR(!shown.Text.isEmpty());
  EXPECT_EQ(shown.Text, QStringLiteral("A(z) \"Napi\" mentés nem található."));
  EXPECT_EQ(shown.Icon, QMessageBox::Critical);

  shown = {};
  shown.AnswerNext();
  QTest::mouseClick(&button, Qt::LeftButton);
  ZK_WAIT_FOR(clicks == 2);
  ZK_WAIT_FOR(!shown.Text.isEmpty());
}

// An event handler that fails outside any guard reaches the application
// object, which shows it.
TEST(ZkApplication, ErrorThatLeavesAnEventHandlerIsShown) {
  class TFailingObject : public QObject {
  public:
    bool event(QEvent* event) override {
      if (event->type() == QEvent::User) throw std::runtime_error("hiba");
      return QObject::event(event);
    }
  } object;

  TShownError shown;
  shown.AnswerNext();
  QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
  ZK_WAIT_FOR(shown.Text == QStringLiteral("hiba"));
}

// The caption before the window is shown; shown, it gets the version
// (ui_main_tests).
TEST(BackupMain, ShowsItsCaption) {
  TBackupForm form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Backup"));
}

}  // namespace
}  // namespace zk::ui
