// A job edited in the settings window and then run by backup-cli: the run
// does what the window showed.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QTabWidget>
#include <QTest>
#include <QUrl>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/CliProcess.h"
#include "support/ZkDialogAnswer.h"
#include "support/ZkTempDir.h"
#include "ui/app/ZkQtText.h"
#include "ui/controls/ZkCheckBox.h"
#include "ui/controls/ZkFolderEdit.h"
#include "ui/controls/ZkTreeView.h"
#include "ui/jobs/ZkSetBackupDlg.h"
#include "ui/settings/ZkSetBackupForm.h"

namespace zk::ui {
namespace {

TEST(SetBackupFormRun, TheConsoleProgramRunsTheJobAsTheWindowShowedIt) {
  test::TempDir dir;
  dir.Write("data/a.txt", "megtartott fájl\n");
  dir.Write("data/b.tmp", "kihagyott fájl\n");
  const std::string jobFile =
      dir.Write("Backup.Xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Saving><Item Name=\"Napi\"/></Saving>");

  TZkSetBackupDlg jobs;
  jobs.SetFileName(jobFile);
  jobs.SetSelect("Napi");
  TZkSetBackupForm& form = jobs.OpenWindow();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

  // The target folder typed in, a log asked for.
  auto* target = form.findChild<TZkFolderEdit*>(QStringLiteral("OtputFolder"));
  QTest::keyClicks(&target->Edit(), ToQString(dir / "out"));
  auto* log = form.findChild<TZkCheckBox*>(QStringLiteral("CreateLogFile"));
  QTest::mouseClick(log, Qt::LeftButton, {}, QPoint(6, log->height() / 2));

  // The data folder dropped on the include list, "*.tmp" typed into the
  // exclude list.
  auto& pages = *form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
  pages.setCurrentWidget(form.findChild<QWidget*>(QStringLiteral("TabSheet2")));
  auto* include = form.findChild<TZkTreeView*>(QStringLiteral("SourceList"));
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(ToQString(dir / "data"))});
  const QPoint at = include->viewport()->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(include->viewport(), &enter);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(include->viewport(), &drop);
  ASSERT_EQ(include->topLevelItemCount(), 1);

  test::AnswerNextDialog([](QWidget& dialog) {
    QTest::keyClicks(dialog.findChild<QLineEdit*>(), QStringLiteral("*.tmp"));
    test::ClickButton(dialog, QStringLiteral("OK"));
  });
  form.Command(QStringLiteral("ExtractAddHand")).trigger();
  form.close();

  const test::TCliResult result =
      test::RunCli({"--no-throttle", "--jobs", jobFile, "run", "Napi"}, dir.Path().string());
  ASSERT_EQ(result.ExitCode, 0) << result.Err;
  const std::string archive = dir / "out/Napi.Zip";
  ASSERT_TRUE(std::filesystem::exists(archive)) << result.Out;
  EXPECT_TRUE(std::filesystem::exists(dir / "out/Napi.Log"));
  if (std::system("command -v unzip >/dev/null 2>&1") != 0) GTEST_SKIP() << "unzip is not installed";
  const std::string listing = dir / "listing.txt";
  ASSERT_EQ(std::system(("unzip -l '" + archive + "' > '" + listing + "'").c_str()), 0);
  const std::string names = test::TempDir::Read(listing);
  EXPECT_NE(names.find("a.txt"), std::string::npos) << names;
  EXPECT_EQ(names.find("b.tmp"), std::string::npos) << names;
}

}  // namespace
}  // namespace zk::ui
