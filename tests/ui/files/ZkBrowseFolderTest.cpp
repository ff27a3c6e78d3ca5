#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "support/ZkDialogAnswer.h"
#include "support/ZkTempDir.h"
#include "ui/files/ZkBrowseFolder.h"

namespace zk::ui {
namespace {

QString Native(const std::string& path) { return QString::fromStdString(path); }

// Text typed into a field of the active dialog: the offscreen platform
// activates no window by itself, and the picker treats a field without the
// focus as not typed in.
void Type(QLineEdit& field, const QString& text) {
  QApplication::setActiveWindow(field.window());
  field.setFocus();
  field.setText(text);
}

// The user types a folder into the picker and confirms it.
void AnswerWithTypedFolder(const QString& typed) {
  test::AnswerNextDialog([typed](QWidget& dialog) {
    ASSERT_NE(qobject_cast<QFileDialog*>(&dialog), nullptr);
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    Type(*name, typed);
    QTest::keyClick(name, Qt::Key_Return);
  });
}

TEST(BrowseForFolder, TypedFolderIsTakenWithoutTrailingSeparator) {
  test::TempDir temp;
  std::filesystem::create_directories(temp / "Mentés/Napi");
  QString folder = Native(temp / "Mentés");

  AnswerWithTypedFolder(Native(temp / "Mentés/Napi/"));
  EXPECT_TRUE(BrowseForFolder(folder, QStringLiteral("Cél könyvtár")));
  EXPECT_EQ(folder, Native(temp / "Mentés/Napi"));
}

TEST(BrowseForFolder, CancelLeavesTheFolderUnchanged) {
  test::TempDir temp;
  std::filesystem::create_directories(temp / "Mentés/Napi");
  QString folder = Native(temp / "Mentés");

  test::AnswerNextDialog([&temp](QWidget& dialog) {
    dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(Native(temp / "Mentés/Napi"));
    test::ClickButton(dialog, QStringLiteral("Cancel"));
  });
  EXPECT_FALSE(BrowseForFolder(folder));
  EXPECT_EQ(folder, Native(temp / "Mentés"));
}

// The dialog opens with the given folder selected and its caption set; a
// path that is no folder cannot be confirmed.
TEST(TZkBrowseFolderDlg, StartsAtFolderNameAndConfirmsFoldersOnly) {
  test::TempDir temp;
  std::filesystem::create_directories(temp / "a");
  std::filesystem::create_directories(temp / "b");
  const std::string file = temp.Write("a.txt", "x");
  TZkBrowseFolderDlg picker;
  picker.SetFolderName(Native(temp / "a"));
  picker.SetDialogText(QStringLiteral("Cél könyvtár"));
  int initialized = 0;
  QString selectedAtStart;
  picker.OnInitialized = [&](TZkBrowseFolderDlg& sender) {
    ++initialized;
    selectedAtStart = sender.SelectedPath();
  };

  QStringList selections;
  picker.OnSelChanged = [&selections](TZkBrowseFolderDlg& sender) { selections << sender.SelectedPath(); };

  bool okForFolder = false;
  bool okForFile = true;
  bool okForMissing = true;
  QString caption;
  test::AnswerNextDialog([&](QWidget& dialog) {
    caption = dialog.windowTitle();
    // The user moves the selection to the folder beside.
    auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    auto* files = qobject_cast<QFileSystemModel*>(list->model());
    ASSERT_NE(files, nullptr);
    list->setCurrentIndex(files->index(Native(temp / "b")));
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
    Type(*name, Native(temp / "b"));
    okForFolder = ok->isEnabled();
    Type(*name, QString::fromStdString(file));
    okForFile = ok->isEnabled();
    Type(*name, Native(temp / "nincs"));
    okForMissing = ok->isEnabled();
    test::ClickButton(dialog, QStringLiteral("Cancel"));
  });
  EXPECT_FALSE(picker.Execute());
  EXPECT_EQ(initialized, 1);
  EXPECT_EQ(selectedAtStart, Native(temp / "a"));
  EXPECT_EQ(caption, QStringLiteral("Cél könyvtár"));
  ASSERT_FALSE(selections.isEmpty());
  EXPECT_EQ(selections.first(), Native(temp / "b"));
  EXPECT_TRUE(okForFolder);
  EXPECT_FALSE(okForFile);
  EXPECT_FALSE(okForMissing);
  EXPECT_EQ(picker.FolderName(), Native(temp / "a"));
}

// A computer is named by its host name; OK needs a name.
TEST(TZkBrowseFolderDlg, ComputerIsAskedForByName) {
  TZkBrowseFolderDlg picker;
  picker.SetBrowseKind(TBrowseKind::bfComputers);
  QStringList selections;
  picker.OnSelChanged = [&selections](TZkBrowseFolderDlg& sender) { selections << sender.SelectedPath(); };

  bool okWhenBlank = true;
  test::AnswerNextDialog([&okWhenBlank](QWidget& dialog) {
    auto* box = qobject_cast<QInputDialog*>(&dialog);
    ASSERT_NE(box, nullptr);
    box->setTextValue(QStringLiteral("  "));
    okWhenBlank = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled();
    box->setTextValue(QStringLiteral(" mentoszerver "));
    test::ClickButton(dialog, QStringLiteral("OK"));
  });
  EXPECT_TRUE(picker.Execute());
  EXPECT_FALSE(okWhenBlank);
  EXPECT_EQ(picker.FolderName(), QStringLiteral("mentoszerver"));
  EXPECT_EQ(picker.SelectedPath(), QStringLiteral("mentoszerver"));
  EXPECT_EQ(selections.last(), QStringLiteral("mentoszerver"));
}

}  // namespace
}  // namespace zk::ui
