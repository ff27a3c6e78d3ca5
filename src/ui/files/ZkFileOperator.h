#pragma once
// Copy, move, rename and delete of file lists with the user's questions, a
// progress window and the error box: the window side of the file
// operations in util/ZkFileOperation.h.

#include <QObject>
#include <QString>

#include "store/Published.h"
#include "util/ZkFileOperation.h"

namespace zk::ui {

using zk::TFileOperation;

// flConfirmMouse has no meaning here and is kept for stored option sets.
enum class TFileOperFlag {
  flAllowUndo,
  flConfirmMouse,
  flFilesOnly,
  flMultiDest,
  flNoConfirmation,
  flNoConfirmMkDir,
  flRenameOnCollision,
  flSilent,          // no progress window
  flSimpleProgress,  // the progress window shows no file names
  flNoErrorUI,       // a failure is only reported by the result
};
using TFileOperFlags = TZkSet<TFileOperFlag>;

class TZkFileOperator : public QObject {
  Q_OBJECT

public:
  explicit TZkFileOperator(QObject* owner = nullptr);

  // Lists of names separated by ";" or "|".
  const QString& Source() const { return source_; }
  void SetSource(const QString& value) { source_ = value; }
  const QString& Destination() const { return destination_; }
  void SetDestination(const QString& value) { destination_ = value; }
  TFileOperation Operation() const { return operation_; }
  void SetOperation(TFileOperation value) { operation_ = value; }
  TFileOperFlags Options() const { return options_; }
  void SetOptions(TFileOperFlags value) { options_ = value; }
  // The caption of the progress window and of the questions.
  const QString& ProgressTitle() const { return progressTitle_; }
  void SetProgressTitle(const QString& value) { progressTitle_ = value; }

  // Whether the user skipped or cancelled something in the last Execute().
  bool Aborted() const { return aborted_; }

  // Runs the operation on a worker thread while the application's other
  // windows are disabled; the questions come up on the calling (user
  // interface) thread. A failure is shown in the error box unless
  // flNoErrorUI. True when every entry was done or skipped by the user;
  // false on a failure or a cancel.
  bool Execute();

private:
  QString source_;
  QString destination_;
  TFileOperation operation_ = TFileOperation::foCopy;
  TFileOperFlags options_{TFileOperFlag::flAllowUndo, TFileOperFlag::flNoConfirmMkDir};
  QString progressTitle_;
  bool aborted_ = false;
};

}  // namespace zk::ui
