#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ZkFakeServiceControl.h"
#include "support/ZkDialogAnswer.h"
#include "ui/services/ZkServiceDlg.h"

namespace zk::ui {
namespace {

using platform::TZkFakeServiceControl;

// Waits that return at once.
class TNoSleeper final : public platform::TZkSleeper {
public:
  void Sleep(int) override {}
};

// Waits that last until the test opens the gate: a service operation that
// takes as long as the test wants.
class TGateSleeper final : public platform::TZkSleeper {
public:
  void Sleep(int) override {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
  }
  void Open() {
    {
      const std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }

private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

// Lets the events run until the condition holds; false when it did not
// within five seconds.
bool WaitFor(const std::function<bool()>& condition) {
  return QTest::qWaitFor(condition, 5000);
}

// Answers the next message box that opens over the service window.
void AnswerNextMessageBox(std::function<void(QMessageBox&)> answer) {
  auto timer = std::make_shared<QTimer>();
  timer->setInterval(10);
  QObject::connect(timer.get(), &QTimer::timeout, [timer, answer = std::move(answer)] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      timer->stop();
      answer(*box);
      timer->disconnect();
    }
  });
  timer->start();
}

class ServiceDlgTest : public testing::Test {
protected:
  ServiceDlgTest() {
    manager_.AddService("Spooler", "Nyomtatásisor-kezelő", platform::kServiceRunning);
    manager_.AddService("Browser", "Számítógép-tallózó", platform::kServiceStopped, 0);
    manager_.AddService("Fax", "Fax", platform::kServicePaused);
  }

  // Opens the dialog, lets `user` work in its window, and closes the window
  // when the user left it open.
  bool Execute(TZkServiceDlg& dialog, const std::function<void(TZkServiceForm&)>& user) {
    test::AnswerNextDialog([&](QWidget& window) {
      auto& form = dynamic_cast<TZkServiceForm&>(window);
      user(form);
      if (form.isVisible()) form.close();
    });
    return dialog.Execute();
  }

  static QTreeWidgetItem& Row(TZkServiceForm& form, const QString& name) {
    const QList<QTreeWidgetItem*> rows = form.ListView().findItems(name, Qt::MatchExactly, 0);
    EXPECT_EQ(rows.size(), 1) << name.toStdString();
    return *rows.front();
  }
  static QPoint RowPoint(TZkServiceForm& form, const QString& name) {
    return form.ListView().visualItemRect(&Row(form, name)).center();
  }
  static void Click(TZkServiceForm& form, const QString& name, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(form.ListView().viewport(), Qt::LeftButton, modifiers, RowPoint(form, name));
  }
  // A double click: a click, then the second press as the double click.
  static void DoubleClick(TZkServiceForm& form, const QString& name) {
    QWidget* viewport = form.ListView().viewport();
    const QPoint point = RowPoint(form, name);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, point);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, point);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, point);
  }
  // A right click: the press (which selects as a left one does), the menu
  // request the window system sends with it, and the release.
  static void RightClick(TZkServiceForm& form, QPoint point, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* viewport = form.ListView().viewport();
    QTest::mousePress(viewport, Qt::RightButton, modifiers, point);
    QContextMenuEvent request(QContextMenuEvent::Mouse, point, viewport->mapToGlobal(point), modifiers);
    QApplication::sendEvent(viewport, &request);
    QTest::mouseRelease(viewport, Qt::RightButton, modifiers, point);
  }
  static QAction& MenuItem(TZkServiceForm& form, const QString& caption) {
    for (QAction* item : form.PopupMenu().actions())
      if (item->text() == caption) return *item;
    ADD_FAILURE() << "no menu item " << caption.toStdString();
    return *form.PopupMenu().actions().front();
  }
  static void ClickMenuItem(TZkServiceForm& form, const QString& caption) {
    QMenu& menu = form.PopupMenu();
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(&MenuItem(form, caption)).center());
  }
  static QString StateCell(TZkServiceForm& form, const QString& name) {
    return Row(form, name).text(form.ShownColumn(TZkServiceForm::lcState));
  }

  TZkFakeServiceControl manager_;
  TNoSleeper sleeper_;
  TZkServiceContext context_{manager_, sleeper_};
};

// Picking one service: the row selected when the window closes is the
// answer; closing without one is no answer, also after an earlier choice.
TEST_F(ServiceDlgTest, SelectReturnsTheSelectedServiceOnlyWhenOneWasSelected) {
  TZkServiceDlg dialog(context_);
  dialog.SetAction(ServiceAction::saSelect);

  EXPECT_TRUE(Execute(dialog, [](TZkServiceForm& form) { Click(form, QStringLiteral("Fax")); }));
  EXPECT_EQ(dialog.SelectedService(), "Fax");

  EXPECT_FALSE(Execute(dialog, [](TZkServiceForm&) {}));
  EXPECT_EQ(dialog.SelectedService(), "");
  EXPECT_TRUE(dialog.SelectedServices().empty());
}

// A double click on a row closes the window when it is for picking; the
// window that controls services stays open and answers true however it
// closes.
TEST_F(ServiceDlgTest, DoubleClickClosesOnlyAWindowForPicking) {
  TZkServiceDlg dialog(context_);
  dialog.SetAction(ServiceAction::saSelect);
  bool closed = false;
  EXPECT_TRUE(Execute(dialog, [&](TZkServiceForm& form) {
    DoubleClick(form, QStringLiteral("Browser"));
    closed = !form.isVisible();
  }));
  EXPECT_TRUE(closed);
  EXPECT_EQ(dialog.SelectedService(), "Browser");

  dialog.SetAction(ServiceAction::saControl);
  bool open = false;
  EXPECT_TRUE(Execute(dialog, [&](TZkServiceForm& form) {
    DoubleClick(form, QStringLiteral("Browser"));
    QTest::qWait(20);
    open = form.isVisible();
    QTest::keyClick(&form.ListView(), Qt::Key_Escape);
  }));
  EXPECT_TRUE(open);
  EXPECT_TRUE(Execute(dialog, [](TZkServiceForm&) {}));
}

// Several rows can be selected only when the window is for picking several;
// they come in list order, the first one as SelectedService.
TEST_F(ServiceDlgTest, SeveralRowsOnlyForMultiSelect) {
  const struct {
    ServiceAction Action;
    std::vector<std::string> Selected;
  } cases[] = {
      {ServiceAction::saMultiSelect, {"Browser", "Spooler"}},
      {ServiceAction::saSelect, {"Browser"}},
  };
  for (const auto& c : cases) {
    TZkServiceDlg dialog(context_);
    dialog.SetAction(c.Action);
    EXPECT_TRUE(Execute(dialog, [](TZkServiceForm& form) {
      Click(form, QStringLiteral("Spooler"));
      Click(form, QStringLiteral("Browser"), Qt::ControlModifier);
    }));
    EXPECT_EQ(dialog.SelectedServices(), c.Selected) << static_cast<int>(c.Action);
    EXPECT_EQ(dialog.SelectedService(), "Browser");
  }
}

// The list is sorted by service name; each row shows the description, the
// state text and the state's image.
TEST_F(ServiceDlgTest, RowsShowNameDescriptionStateAndImage) {
  TZkServiceDlg dialog(context_);
  Execute(dialog, [](TZkServiceForm& form) {
    QTreeWidget& list = form.ListView();
    ASSERT_EQ(list.topLevelItemCount(), 3);
    ASSERT_EQ(list.columnCount(), 3);
    EXPECT_EQ(list.headerItem()->text(1), QStringLiteral("Szolgáltatás leírása"));
    const QString expected[3][3] = {{"Browser", "Számítógép-tallózó", "Leállítva"},
                                    {"Fax", "Fax", "Felfüggesztve"},
                                    {"Spooler", "Nyomtatásisor-kezelő", "Elindítva"}};
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 3; ++column)
        EXPECT_EQ(list.topLevelItem(row)->text(column), expected[row][column]) << row << "," << column;
    const auto image = [&](int row) { return list.topLevelItem(row)->icon(0).pixmap(18, 18).toImage(); };
    EXPECT_EQ(image(0), image(1));
    EXPECT_NE(image(0), image(2));
  });
}

TEST_F(ServiceDlgTest, ColumnsStateGivesTheNameAndTheStateColumn) {
  TZkServiceDlg dialog(context_);
  dialog.SetColumns({ServiceColumn::scState});
  Execute(dialog, [](TZkServiceForm& form) {
    QTreeWidget& list = form.ListView();
    ASSERT_EQ(list.columnCount(), 2);
    EXPECT_EQ(list.headerItem()->text(0), QStringLiteral("Szolgáltatás neve"));
    EXPECT_EQ(list.headerItem()->text(1), QStringLiteral("Állapot"));
    EXPECT_EQ(list.topLevelItem(2)->text(1), QStringLiteral("Elindítva"));
  });
}

// A configuration that cannot be read leaves its row with the name,
// description and state; the other rows get their configuration cells.
TEST_F(ServiceDlgTest, UnreadableConfigurationKeepsTheOtherCells) {
  auto& spooler = *manager_.Find("Spooler");
  spooler.Config.BinaryPathName = "/usr/sbin/cupsd";
  spooler.ConfigReadable = false;
  auto& fax = *manager_.Find("Fax");
  fax.Config.StartType = platform::kServiceAutoStart;
  fax.Config.BinaryPathName = "/usr/bin/faxd";
  fax.Config.Dependencies = "Spooler";
  fax.Config.LoadOrderGroup = "Kommunikáció";
  fax.Config.ServiceStartName = "LocalSystem";

  TZkServiceDlg dialog(context_);
  dialog.SetColumns({ServiceColumn::scDisplayName, ServiceColumn::scState, ServiceColumn::scStart,
                     ServiceColumn::scProgram, ServiceColumn::scDependencies, ServiceColumn::scOrderGroup,
                     ServiceColumn::scStartName});
  Execute(dialog, [](TZkServiceForm& form) {
    QTreeWidget& list = form.ListView();
    ASSERT_EQ(list.columnCount(), 8);
    const QStringList captions = {"Szolgáltatás neve", "Szolgáltatás leírása", "Állapot", "Indítás típusa",
                                  "Program", "Függőség", "Csoport", "Bejelentkezés mint"};
    for (int column = 0; column < 8; ++column) EXPECT_EQ(list.headerItem()->text(column), captions[column]);
    const QStringList spooler = {"Spooler", "Nyomtatásisor-kezelő", "Elindítva", "", "", "", "", ""};
    const QStringList fax = {"Fax", "Fax", "Felfüggesztve", "Automatikus", "/usr/bin/faxd", "Spooler",
                             "Kommunikáció", "LocalSystem"};
    for (int column = 0; column < 8; ++column) {
      EXPECT_EQ(Row(form, "Spooler").text(column), spooler[column]) << column;
      EXPECT_EQ(Row(form, "Fax").text(column), fax[column]) << column;
    }
  });
}

// A service that cannot be opened at all is listed as stopped, with the
// image of every state but running.
TEST_F(ServiceDlgTest, ServiceThatCannotBeQueriedShowsStopped) {
  manager_.Find("Spooler")->Openable = false;
  manager_.AddService("Web", "Webkiszolgáló", platform::kServiceRunning);
  TZkServiceDlg dialog(context_);
  Execute(dialog, [](TZkServiceForm& form) {
    EXPECT_EQ(StateCell(form, "Spooler"), QStringLiteral("Leállítva"));
    const auto image = [&](const char* name) { return Row(form, name).icon(0).pixmap(18, 18).toImage(); };
    EXPECT_EQ(image("Spooler"), image("Browser"));
    EXPECT_NE(image("Spooler"), image("Web"));
  });
}

// The menu offers what the service can do now.
TEST_F(ServiceDlgTest, MenuItemsFollowTheStateOfTheService) {
  const struct {
    const char* Service;
    bool Start, Stop, Pause, Continue;
  } cases[] = {
      {"Spooler", false, true, true, false},
      {"Browser", true, false, false, false},
      {"Fax", false, false, false, true},
  };
  TZkServiceDlg dialog(context_);
  Execute(dialog, [&](TZkServiceForm& form) {
    for (const auto& c : cases) {
      RightClick(form, RowPoint(form, c.Service));
      ASSERT_TRUE(WaitFor([&] { return form.PopupMenu().isVisible(); }));
      EXPECT_EQ(MenuItem(form, "Indítás").isEnabled(), c.Start) << c.Service;
      EXPECT_EQ(MenuItem(form, "Leállítás").isEnabled(), c.Stop) << c.Service;
      EXPECT_EQ(MenuItem(form, "Felfüggesztés").isEnabled(), c.Pause) << c.Service;
      EXPECT_EQ(MenuItem(form, "Folytatás").isEnabled(), c.Continue) << c.Service;
      form.PopupMenu().close();
    }
  });
}

// Without a selected row there is no service to act on, and a click beside
// the rows is not on a service: neither opens the menu.
TEST_F(ServiceDlgTest, NoMenuWithoutASelectedRowOrBesideTheRows) {
  TZkServiceDlg dialog(context_);
  Execute(dialog, [](TZkServiceForm& form) {
    QTreeWidget& list = form.ListView();
    Click(form, QStringLiteral("Fax"));
    RightClick(form, QPoint(10, list.viewport()->height() - 5));
    QTest::qWait(20);
    EXPECT_FALSE(form.PopupMenu().isVisible());

    // The menu key asks for the menu of the selected row...
    Click(form, QStringLiteral("Fax"));
    const auto menuKey = [&list] {
      QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(5, 5), list.mapToGlobal(QPoint(5, 5)));
      QApplication::sendEvent(&list, &request);
    };
    menuKey();
    ASSERT_TRUE(WaitFor([&] { return form.PopupMenu().isVisible(); }));
    form.PopupMenu().close();
    // ...and gives none once Control and Space took the selection away.
    QTest::keyClick(&list, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(list.selectedItems().isEmpty());
    menuKey();
    QTest::qWait(20);
    EXPECT_FALSE(form.PopupMenu().isVisible());
  });
}

// Stopping a service that takes its time: the window goes on (it is
// painted, shows the busy cursor, waits to close), and when the service has
// stopped its row shows the new state.
TEST_F(ServiceDlgTest, OperationRunsWithoutBlockingTheWindowAndUpdatesTheRow) {
  TGateSleeper gate;
  const TZkServiceContext context{manager_, gate};
  auto& spooler = *manager_.Find("Spooler");
  platform::TZkServiceStatusRecord pending = spooler.Status;
  pending.CurrentState = platform::kServiceStopPending;
  pending.CheckPoint = 1;
  pending.WaitHint = 2000;
  platform::TZkServiceStatusRecord stopped = spooler.Status;
  stopped.CurrentState = platform::kServiceStopped;
  spooler.Script = {pending, stopped};

  TZkServiceDlg dialog(context);
  bool closedEarly = true;
  EXPECT_TRUE(Execute(dialog, [&](TZkServiceForm& form) {
    // However this ends, the operation may finish, so the window can close.
    struct TOpenAtEnd {
      TGateSleeper& Gate;
      ~TOpenAtEnd() { Gate.Open(); }
    } openAtEnd{gate};
    RightClick(form, RowPoint(form, QStringLiteral("Spooler")));
    ASSERT_TRUE(WaitFor([&] { return form.PopupMenu().isVisible(); }));
    ClickMenuItem(form, QStringLiteral("Leállítás"));
    ASSERT_TRUE(WaitFor([&] { return form.cursor().shape() == Qt::WaitCursor; }));
    EXPECT_TRUE(form.Busy());
    EXPECT_EQ(StateCell(form, "Spooler"), QStringLiteral("Elindítva"));
    // A right click now opens no menu: the service is busy.
    RightClick(form, RowPoint(form, QStringLiteral("Browser")));
    QTest::qWait(20);
    EXPECT_FALSE(form.PopupMenu().isVisible());
    form.close();
    closedEarly = !form.isVisible();

    gate.Open();
    EXPECT_TRUE(WaitFor([&] { return StateCell(form, "Spooler") == QStringLiteral("Leállítva"); }));
    EXPECT_NE(form.cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(WaitFor([&] { return !form.isVisible(); }));
  }));
  EXPECT_FALSE(closedEarly);
  EXPECT_EQ(spooler.Status.CurrentState, platform::kServiceStopped);
}

// An operation the manager refuses shows its message; the window stays.
TEST_F(ServiceDlgTest, FailedOperationShowsTheErrorAndTheWindowStays) {
  TZkServiceDlg dialog(context_);
  QString shown;
  bool open = false;
  Execute(dialog, [&](TZkServiceForm& form) {
    RightClick(form, RowPoint(form, QStringLiteral("Browser")));
    ASSERT_TRUE(WaitFor([&] { return form.PopupMenu().isVisible(); }));
    // Someone else starts the service while the menu is open.
    manager_.Find("Browser")->Status.CurrentState = platform::kServiceRunning;
    AnswerNextMessageBox([&](QMessageBox& box) {
      shown = box.text();
      test::ClickButton(box, QStringLiteral("OK"));
    });
    ClickMenuItem(form, QStringLiteral("Indítás"));
    ASSERT_TRUE(WaitFor([&] { return !shown.isEmpty(); }));
    ASSERT_TRUE(WaitFor([&] { return !form.Busy(); }));
    open = form.isVisible();
    EXPECT_EQ(StateCell(form, "Browser"), QStringLiteral("Elindítva"));
  });
  EXPECT_EQ(shown, QStringLiteral("Startservice failed (An instance of the service is already running.) "));
  EXPECT_TRUE(open);
}

// The window opens again where the user left it.
TEST_F(ServiceDlgTest, SecondExecuteOpensWithTheBoundsOfTheLastClose) {
  TZkServiceDlg dialog(context_);
  EXPECT_FALSE(dialog.LastBounds().has_value());
  const QRect moved(140, 90, 640, 420);
  Execute(dialog, [&](TZkServiceForm& form) {
    EXPECT_EQ(form.size(), QSize(519, 352));
    form.setGeometry(moved);
  });
  EXPECT_EQ(dialog.LastBounds(), moved);
  QRect reopened;
  Execute(dialog, [&](TZkServiceForm& form) { reopened = form.geometry(); });
  EXPECT_EQ(reopened, moved);
}

// The settings go to the window's service list; the default lists the
// services of every state of this machine's own-process kinds.
TEST_F(ServiceDlgTest, SettingsReachTheServiceList) {
  manager_.AddService("Zeta", "Archiválás", platform::kServiceRunning);
  TZkServiceDlg dialog(context_);
  EXPECT_EQ(dialog.Action(), ServiceAction::saControl);
  EXPECT_EQ(dialog.Columns().Mask(), 3u);
  dialog.SetSorting(TServiceSorting::ssDisplayName);
  dialog.SetServiceState(TServiceState::ssActive);
  Execute(dialog, [](TZkServiceForm& form) {
    EXPECT_EQ(form.ServiceCtrl().ServiceType(), TServiceType::stWIN32);
    QTreeWidget& list = form.ListView();
    ASSERT_EQ(list.topLevelItemCount(), 3);
    EXPECT_EQ(list.topLevelItem(0)->text(0), QStringLiteral("Zeta"));
    EXPECT_EQ(list.topLevelItem(1)->text(0), QStringLiteral("Fax"));
    EXPECT_EQ(list.topLevelItem(2)->text(0), QStringLiteral("Spooler"));
  });
  EXPECT_NE(std::find(manager_.Calls.begin(), manager_.Calls.end(), "Enum 48 1"), manager_.Calls.end());
}

}  // namespace
}  // namespace zk::ui
