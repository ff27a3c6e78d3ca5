#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QToolButton>
#include <QUrl>
#include <QWindow>
#include <filesystem>

#include "support/ZkDialogAnswer.h"
#include "support/ZkTempDir.h"
#include "ui/controls/ZkFolderEdit.h"

namespace zk::ui {
namespace {

// Drops the URLs on the middle of the field as a file manager would, with
// the paths as plain text beside them: the events go to the window, which
// hands them to the widget under the pointer that takes drops.
bool DropUrls(TZkFolderEdit& target, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  QStringList paths;
  for (const QUrl& url : urls) paths << url.toString(QUrl::PreferLocalFile);
  data.setText(paths.join(QLatin1Char('\n')));
  QWindow* window = target.window()->windowHandle();
  const QPoint point = target.Edit().mapTo(target.window(), target.Edit().rect().center());
  QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &drop);
  return drop.isAccepted();
}

QUrl LocalUrl(const std::string& path) { return QUrl::fromLocalFile(QString::fromStdString(path)); }

TEST(ZkFolderEdit, DroppedFolderBecomesTheText) {
  test::TempDir temp;
  std::filesystem::create_directory(temp / "Mentés");
  TZkFolderEdit edit;
  edit.show();
  int changes = 0;
  edit.OnChange = [&changes](QWidget&) { ++changes; };

  // A trailing separator, as some file managers send, is not kept.
  EXPECT_TRUE(DropUrls(edit, {LocalUrl(temp / "Mentés/")}));
  EXPECT_EQ(edit.Text(), QString::fromStdString(temp / "Mentés"));
  EXPECT_EQ(edit.Value().toString(), edit.Text());
  EXPECT_EQ(changes, 1);
}

// Only a folder that exists on this computer is taken; the text stays.
TEST(ZkFolderEdit, DropOfAFileAMissingPathOrARemoteUrlIsRefused) {
  test::TempDir temp;
  const std::string file = temp.Write("a.txt", "x");
  TZkFolderEdit edit;
  edit.SetText(QStringLiteral("/régi"));
  edit.show();
  const QList<QList<QUrl>> refused = {
      {LocalUrl(file)},
      {LocalUrl(temp / "nincs")},
      {QUrl(QStringLiteral("https://example.org/mappa"))},
      {},
  };
  for (const QList<QUrl>& urls : refused) {
    EXPECT_FALSE(DropUrls(edit, urls)) << (urls.isEmpty() ? "empty" : urls.first().toString().toStdString());
    EXPECT_EQ(edit.Text(), QStringLiteral("/régi"));
  }
}

// The browse button opens the folder picker at the text; its choice
// replaces the text.
TEST(ZkFolderEdit, BrowseButtonPutsThePickedFolderIntoTheText) {
  test::TempDir temp;
  std::filesystem::create_directories(temp / "a/b");
  TZkFolderEdit edit;
  edit.SetText(QString::fromStdString(temp / "a"));
  edit.show();

  test::AnswerNextDialog([&temp](QWidget& dialog) {
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    QApplication::setActiveWindow(&dialog);
    name->setFocus();
    name->setText(QString::fromStdString(temp / "a/b"));
    test::ClickButton(dialog, QStringLiteral("Choose"));
  });
  edit.BrowseButton().click();
  EXPECT_EQ(edit.Text(), QString::fromStdString(temp / "a/b"));
}

}  // namespace
}  // namespace zk::ui
