#include "ui/files/ZkFileOperator.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/app/ZkApplication.h"
#include "ui/app/ZkQtText.h"
#include "ui/progress/ZkProgress.h"

namespace zk::ui {

namespace {

constexpr int kProgressRefreshMs = 50;

// The application's windows stay disabled while the operation runs; then
// they are enabled again and the window that was active is active again.
class TDisabledWindows {
public:
  TDisabledWindows() : active_(QApplication::activeWindow()) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (!window->isVisible() || !window->isEnabled()) continue;
      window->setEnabled(false);
      disabled_.emplace_back(window);
    }
  }
  ~TDisabledWindows() {
    for (const QPointer<QWidget>& window : disabled_)
      if (window) window->setEnabled(true);
    if (active_) active_->activateWindow();
  }
  TDisabledWindows(const TDisabledWindows&) = delete;
  TDisabledWindows& operator=(const TDisabledWindows&) = delete;

private:
  QPointer<QWidget> active_;
  std::vector<QPointer<QWidget>> disabled_;
};

// The user-interface side of a running operation: the progress window and
// the questions. Lives on the user-interface thread; the worker reaches it
// through TWorkerUi.
class TOperationWindow : public QObject {
public:
  TOperationWindow(QString caption, bool silent, bool simpleProgress)
      : caption_(caption.isEmpty() ? QApplication::applicationName() : std::move(caption)),
        simpleProgress_(simpleProgress) {
    if (silent) return;
    dialog_ = std::make_unique<QDialog>();
    dialog_->setWindowTitle(caption_);
    dialog_->setAccessibleName(caption_);
    auto* layout = new QVBoxLayout(dialog_.get());
    current_ = new QLabel(dialog_.get());
    current_->setAccessibleName(QStringLiteral("Folyamatban"));
    layout->addWidget(current_);
    bar_ = new TZkProgressBar(dialog_.get());
    bar_->setAccessibleName(QStringLiteral("Haladás"));
    bar_->SetTextShow(true);
    bar_->SetTextSuffix(QStringLiteral(" %"));
    bar_->setMinimumWidth(320);
    layout->addWidget(bar_);
    auto* cancel = new QPushButton(QStringLiteral("Mégse"), dialog_.get());
    cancel->setAccessibleName(QStringLiteral("Mégse"));
    layout->addWidget(cancel, 0, Qt::AlignRight);
    connect(cancel, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    // Closing the window cancels as well.
    connect(dialog_.get(), &QDialog::rejected, this, [this] { cancelled_ = true; });
    connect(&refresh_, &QTimer::timeout, this, [this] { ShowProgress(); });
    refresh_.start(kProgressRefreshMs);
    dialog_->show();
  }

  // Worker side: latest values, shown at screen rate.
  void Report(std::size_t done, std::size_t count, const std::string& current) {
    const std::lock_guard lock(mutex_);
    done_ = done;
    count_ = count;
    currentText_ = current;
  }
  bool Cancelled() const { return cancelled_; }

  TZkAnswer AskReplace(const std::string& target) {
    return Ask(QStringLiteral("A(z) \"%1\" már létezik. Lecseréli?").arg(ToQString(target)));
  }
  TZkAnswer AskDelete(const std::string& path, bool toTrash) {
    return Ask((toTrash ? QStringLiteral("Áthelyezi a Lomtárba: \"%1\"?") : QStringLiteral("Véglegesen törli: \"%1\"?"))
                   .arg(ToQString(path)));
  }
  bool AskMkDir(const std::string& folder) {
    QMessageBox box(QMessageBox::Question, caption_,
                    QStringLiteral("A(z) \"%1\" mappa nem létezik. Létrehozza?").arg(ToQString(folder)),
                    QMessageBox::NoButton, dialog_.get());
    QPushButton* yes = box.addButton(QStringLiteral("Igen"), QMessageBox::YesRole);
    box.setEscapeButton(box.addButton(QStringLiteral("Nem"), QMessageBox::NoRole));
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes;
  }

private:
  TZkAnswer Ask(const QString& text) {
    QMessageBox box(QMessageBox::Question, caption_, text, QMessageBox::NoButton, dialog_.get());
    QPushButton* yes = box.addButton(QStringLiteral("Igen"), QMessageBox::YesRole);
    QPushButton* all = box.addButton(QStringLiteral("Igen, mindet"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Nem"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Mégse"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes) return TZkAnswer::Yes;
    if (box.clickedButton() == all) return TZkAnswer::YesToAll;
    if (box.clickedButton() == no) return TZkAnswer::No;
    return TZkAnswer::Cancel;
  }

  void ShowProgress() {
    const std::lock_guard lock(mutex_);
    bar_->SetMax(static_cast<std::int64_t>(count_));
    bar_->SetPosition(static_cast<std::int64_t>(done_));
    if (!simpleProgress_) current_->setText(ToQString(currentText_));
  }

  QString caption_;
  bool simpleProgress_;
  std::unique_ptr<QDialog> dialog_;
  QLabel* current_ = nullptr;
  TZkProgressBar* bar_ = nullptr;
  QTimer refresh_;
  std::atomic<bool> cancelled_ = false;
  std::mutex mutex_;
  std::size_t done_ = 0;
  std::size_t count_ = 0;
  std::string currentText_;
};

// The worker's view of the window: questions wait for the answer given on
// the user-interface thread; progress and cancel go through shared state.
class TWorkerUi : public TZkFileOperationUi {
public:
  explicit TWorkerUi(TOperationWindow& window) : window_(window) {}

  TZkAnswer ConfirmReplace(const std::string& target) override {
    return OnUiThread(TZkAnswer::Cancel, [&] { return window_.AskReplace(target); });
  }
  TZkAnswer ConfirmDelete(const std::string& path, bool toTrash) override {
    return OnUiThread(TZkAnswer::Cancel, [&] { return window_.AskDelete(path, toTrash); });
  }
  bool ConfirmMkDir(const std::string& folder) override {
    return OnUiThread(false, [&] { return window_.AskMkDir(folder); });
  }
  void Progress(std::size_t done, std::size_t count, const std::string& current) override {
    window_.Report(done, count, current);
  }
  bool Cancelled() override { return window_.Cancelled(); }

private:
  // A question that could not be asked counts as cancelled.
  template <class T, class Ask>
  T OnUiThread(T unanswered, Ask ask) {
    T answer = unanswered;
    QMetaObject::invokeMethod(&window_, [&] { answer = ask(); }, Qt::BlockingQueuedConnection);
    return answer;
  }

  TOperationWindow& window_;
};

}  // namespace

TZkFileOperator::TZkFileOperator(QObject* owner) : QObject(owner) {}

bool TZkFileOperator::Execute() {
  aborted_ = false;
  const auto has = [this](TFileOperFlag flag) { return options_.Contains(flag); };
  const TZkFileOperationOptions options{
      .AllowUndo = has(TFileOperFlag::flAllowUndo),
      .FilesOnly = has(TFileOperFlag::flFilesOnly),
      .MultiDest = has(TFileOperFlag::flMultiDest),
      .NoConfirmation = has(TFileOperFlag::flNoConfirmation),
      .NoConfirmMkDir = has(TFileOperFlag::flNoConfirmMkDir),
      .RenameOnCollision = has(TFileOperFlag::flRenameOnCollision),
  };
  const std::vector<std::string> sources = SplitFileList(ToUtf8(source_));
  const std::vector<std::string> destinations = SplitFileList(ToUtf8(destination_));

  TZkFileOperationResult result;
  {
    const TDisabledWindows disabled;
    TOperationWindow window(progressTitle_, has(TFileOperFlag::flSilent), has(TFileOperFlag::flSimpleProgress));
    TWorkerUi workerUi(window);
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
      try {
        result = RunFileOperation(operation_, sources, destinations, options, workerUi);
      } catch (...) {
        failure = std::current_exception();
      }
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (failure) std::rethrow_exception(failure);
  }
  aborted_ = result.Aborted;
  if (!result.Error.empty() && !has(TFileOperFlag::flNoErrorUI)) TZkApplication::ShowError(ToQString(result.Error));
  return result.Success;
}

}  // namespace zk::ui
