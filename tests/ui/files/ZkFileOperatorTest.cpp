#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "support/ZkDialogAnswer.h"
#include "support/ZkEnvironmentVariable.h"
#include "support/ZkTempDir.h"
#include "ui/app/ZkQtText.h"
#include "ui/files/ZkFileOperator.h"

namespace zk::ui {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

QString Q(const std::string& text) { return ToQString(text); }

class FileOperatorTest : public ::testing::Test {
protected:
  TempDir dir;
  TempDir data;
  // The trash lives under the temporary data folder for the test's life.
  test::TEnvironmentVariable dataHome{"XDG_DATA_HOME", data.Path().string()};
};

TEST_F(FileOperatorTest, CopyRenamesOnCollision) {
  dir.Write("src/a.txt", "new");
  dir.Write("dst/a.txt", "old");
  TZkFileOperator files;
  files.SetSource(Q(dir / "src/a.txt"));
  files.SetDestination(Q(dir / "dst"));
  files.SetOptions({TFileOperFlag::flRenameOnCollision, TFileOperFlag::flSilent});
  EXPECT_TRUE(files.Execute());
  EXPECT_FALSE(files.Aborted());
  EXPECT_EQ(TempDir::Read(dir / "dst/a.txt"), "old");
  EXPECT_EQ(TempDir::Read(dir / "dst/a (2).txt"), "new");
}

// The question comes while the progress window shows and the other windows
// are disabled; "Nem" skips the file, "Mégse" cancels; both leave the
// target alone and report Aborted.
TEST_F(FileOperatorTest, ReplaceQuestionAnsweredNoOrCancel) {
  struct TCase {
    const char* Button;
    bool Result;
  };
  for (const TCase& c : {TCase{"Nem", true}, TCase{"Mégse", false}}) {
    SCOPED_TRACE(c.Button);
    TempDir local;
    local.Write("src/a.txt", "new");
    local.Write("dst/a.txt", "old");
    QWidget main;
    main.show();
    TZkFileOperator files(&main);
    files.SetOperation(TFileOperation::foMove);
    files.SetSource(Q(local / "src/a.txt"));
    files.SetDestination(Q(local / "dst"));
    files.SetProgressTitle(QStringLiteral("Áthelyezés"));

    QString question;
    bool mainEnabled = true;
    bool progressShown = false;
    test::AnswerNextDialog([&](QWidget& dialog) {
      question = test::MessageBoxText(dialog);
      mainEnabled = main.isEnabled();
      for (QWidget* window : QApplication::topLevelWidgets())
        progressShown |= window->isVisible() && window->windowTitle() == QStringLiteral("Áthelyezés") &&
                         qobject_cast<QDialog*>(window) != nullptr && window != &dialog;
      test::ClickButton(dialog, QString::fromUtf8(c.Button));
    });
    EXPECT_EQ(files.Execute(), c.Result);
    EXPECT_TRUE(files.Aborted());
    EXPECT_EQ(question, QStringLiteral("A(z) \"%1\" már létezik. Lecseréli?").arg(Q(local / "dst/a.txt")));
    EXPECT_FALSE(mainEnabled);
    EXPECT_TRUE(progressShown);
    EXPECT_TRUE(main.isEnabled());
    EXPECT_EQ(TempDir::Read(local / "dst/a.txt"), "old");
    EXPECT_EQ(TempDir::Read(local / "src/a.txt"), "new");
  }
}

TEST_F(FileOperatorTest, DeleteWithUndoMovesToTheTrashAfterAsking) {
  const std::string path = dir.Write("napló.txt", "x");
  TZkFileOperator files;
  files.SetOperation(TFileOperation::foDelete);
  files.SetSource(Q(path));
  QString question;
  test::AnswerNextDialog([&](QWidget& dialog) {
    question = test::MessageBoxText(dialog);
    test::ClickButton(dialog, QStringLiteral("Igen"));
  });
  EXPECT_TRUE(files.Execute());
  EXPECT_FALSE(files.Aborted());
  EXPECT_EQ(question, QStringLiteral("Áthelyezi a Lomtárba: \"%1\"?").arg(Q(path)));
  EXPECT_FALSE(fs::exists(path));
  const std::string trash = (data.Path() / "Trash").string();
  EXPECT_EQ(TempDir::Read(trash + "/files/napló.txt"), "x");
  const std::string record = TempDir::Read(trash + "/info/napló.txt.trashinfo");
  EXPECT_EQ(record.substr(0, record.find("DeletionDate=")),
            "[Trash Info]\nPath=" + (dir.Path() / "napl%C3%B3.txt").string() + "\n");
}

// A failure reaches the user in the error box, or only through the result
// with flNoErrorUI.
TEST_F(FileOperatorTest, FailureIsShownUnlessTold) {
  struct TCase {
    TFileOperFlags Options;
    bool Shown;
  };
  const std::string missing = dir / "missing.txt";
  for (const TCase& c : {TCase{{TFileOperFlag::flSilent}, true},
                         TCase{{TFileOperFlag::flSilent, TFileOperFlag::flNoErrorUI}, false}}) {
    SCOPED_TRACE(c.Shown);
    TZkFileOperator files;
    files.SetSource(Q(missing));
    files.SetDestination(Q(dir / "dst"));
    files.SetOptions(c.Options);
    // Closes whatever box comes, so that an unexpected one fails the test
    // instead of hanging it.
    QString shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&shown] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        shown = test::MessageBoxText(*box);
        box->close();
      }
    });
    closer.start(20);
    EXPECT_FALSE(files.Execute());
    QTest::qWait(100);
    EXPECT_FALSE(files.Aborted());
    EXPECT_EQ(shown, c.Shown ? QStringLiteral("A forrás nem található (%1)").arg(Q(missing)) : QString());
  }
}

}  // namespace
}  // namespace zk::ui
