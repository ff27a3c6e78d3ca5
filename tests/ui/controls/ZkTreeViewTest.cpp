#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <QWindow>
#include <string>
#include <vector>

#include "support/ZkGuiWait.h"
#include "ui/controls/ZkTreeView.h"

namespace zk::ui {
namespace {

// What the view's drop events told, one line each.
struct TDropRecorder {
  std::vector<std::string> Events;

  void Attach(TZkTreeView& view) {
    view.OnBeforeDropFile = [this](TZkTreeView&) { Events.push_back("before"); };
    view.OnDropFile = [this](TZkTreeView&, const QString& name, int index) {
      Events.push_back(std::to_string(index) + " " + name.toStdString());
    };
    view.OnAfterDropFile = [this](TZkTreeView&) { Events.push_back("after"); };
  }
};

// Drops the URLs on the middle of the list as a file manager would: the
// events go to the window, which hands them to the widget under the pointer.
void Drop(TZkTreeView& view, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  QWindow* window = view.window()->windowHandle();
  const QPoint point = view.viewport()->mapTo(view.window(), view.viewport()->rect().center());
  QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &enter);
  QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &drop);
}

QStringList Texts(const TZkTreeView& view) {
  QStringList texts;
  for (int i = 0; i < view.topLevelItemCount(); ++i) texts << view.topLevelItem(i)->text(0);
  return texts;
}

TEST(ZkTreeView, DropDeliversEveryPathWithItsPositionBetweenBeforeAndAfter) {
  TZkTreeView view;
  view.SetAcceptDropFiles(true);
  view.show();
  TDropRecorder recorder;
  recorder.Attach(view);

  Drop(view, {QUrl::fromLocalFile(QStringLiteral("/home/anna/Levelek")), QUrl::fromLocalFile(QStringLiteral("/tmp/a b.txt")),
              QUrl::fromLocalFile(QStringLiteral("/srv/ár.dbf"))});
  EXPECT_EQ(recorder.Events, (std::vector<std::string>{"before", "0 /home/anna/Levelek", "1 /tmp/a b.txt",
                                                        "2 /srv/ár.dbf", "after"}));
}

TEST(ZkTreeView, EmptyDropRaisesNothing) {
  TZkTreeView view;
  view.SetAcceptDropFiles(true);
  view.show();
  TDropRecorder recorder;
  recorder.Attach(view);

  Drop(view, {});
  Drop(view, {QUrl(QStringLiteral("https://example.org/a.txt"))});
  EXPECT_TRUE(recorder.Events.empty());
}

TEST(ZkTreeView, DropIsIgnoredUnlessAcceptDropFiles) {
  TZkTreeView view;
  EXPECT_FALSE(view.AcceptDropFiles());
  view.show();
  TDropRecorder recorder;
  recorder.Attach(view);

  Drop(view, {QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
  EXPECT_TRUE(recorder.Events.empty());
}

// Dragging an entry onto another puts it just above that one.
TEST(ZkTreeView, MovedEntryEndsBeforeTheEntryItWasDroppedOn) {
  struct TCase {
    int From;
    int Before;
    QStringList Expected;
    int NewIndex;
  };
  const TCase cases[] = {
      {0, 2, {"B", "A", "C", "D"}, 1},
      {3, 1, {"A", "D", "B", "C"}, 1},
      {1, 0, {"B", "A", "C", "D"}, 0},
      {2, 2, {"A", "B", "C", "D"}, -1},
  };
  for (const TCase& c : cases) {
    TZkTreeView view;
    for (const char* text : {"A", "B", "C", "D"}) view.InsertEntry(-1, QString::fromLatin1(text));
    int movedTo = -1;
    QString movedText;
    view.OnEntryMoved = [&](TZkTreeView&, QTreeWidgetItem& entry, int index) {
      movedTo = index;
      movedText = entry.text(0);
    };
    view.MoveEntry(c.From, c.Before);
    EXPECT_EQ(Texts(view), c.Expected) << c.From << " onto " << c.Before;
    EXPECT_EQ(movedTo, c.NewIndex) << c.From << " onto " << c.Before;
    if (c.NewIndex >= 0) {
      EXPECT_EQ(movedText, c.Expected[c.NewIndex]);
    }
  }
}

// An edit in place goes through OnEdited, which may refuse the text.
TEST(ZkTreeView, EditInPlaceTakesTheTextTheHandlerLeaves) {
  TZkTreeView view;
  view.InsertEntry(-1, QStringLiteral("*.dbf"));
  view.InsertEntry(-1, QStringLiteral("*.txt"));
  view.OnEdited = [](TZkTreeView& sender, QTreeWidgetItem& entry, QString& text) {
    for (int i = 0; i < sender.topLevelItemCount(); ++i) {
      QTreeWidgetItem* other = sender.topLevelItem(i);
      if (other != &entry && other->text(0).compare(text, Qt::CaseInsensitive) == 0) text = entry.text(0);
    }
  };
  view.show();
  QTreeWidgetItem* second = view.topLevelItem(1);

  for (const auto& [typed, expected] : {std::pair{"*.DBF", "*.txt"}, std::pair{"*.doc", "*.doc"}}) {
    view.setCurrentItem(second);
    view.editItem(second);
    auto* field = view.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    field->setText(QString::fromUtf8(typed));
    QTest::keyClick(field, Qt::Key_Return);
    // The editor hands its text over and closes by a queued call.
    ZK_WAIT_FOR(view.viewport()->findChild<QLineEdit*>() == nullptr);
    EXPECT_EQ(second->text(0), QString::fromUtf8(expected)) << typed;
  }
}

}  // namespace
}  // namespace zk::ui
