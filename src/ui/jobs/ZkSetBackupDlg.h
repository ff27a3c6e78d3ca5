#pragma once
// TZkSetBackupDlg: the windows' way to the job list. It owns the job
// document loaded from the job file; finding, adding, renaming, deleting,
// copying and pasting jobs are its operations, and each change is written
// back to the job file at once. Execute opens the settings window on the
// selected job.

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/Published.h"
#include "store/ZkTreeData.h"
#include "system/ZkService.h"
#include "ui/settings/ZkJobAccess.h"
#include "util/ZkFormatSettings.h"

namespace zk::ui {

class TZkSetBackupForm;

// The settings window reaches the job document through TZkJobAccess, which
// the component hands it as itself.
class TZkSetBackupDlg : public QObject, public TZkJobAccess {
  Q_OBJECT

public:
  explicit TZkSetBackupDlg(QObject* owner = nullptr);
  // The service actions of the settings window pick their service from the
  // services of `context`, which must outlive the component. Without one
  // those commands fail with a message.
  explicit TZkSetBackupDlg(const TZkServiceContext& context, QObject* owner = nullptr);
  ~TZkSetBackupDlg() override;

  // The pages the window shows beside "Általános"; all three by default.
  // A change shows or hides them at once in the open window.
  TBackupOptions Options() const { return options_; }
  void SetOptions(TBackupOptions value);
  // A read-only window shows the job and changes nothing; applied at once.
  bool ReadOnly() const override { return readOnly_; }
  void SetReadOnly(bool value);
  // Opens the settings window for the selected job and returns when it has
  // closed (true). A job the window cannot load fails with the reason,
  // before the window shows, and leaves the document as it was.
  bool Execute();
  // Creates and loads the window without showing it; Execute shows it
  // modally. It frees itself when it closes.
  TZkSetBackupForm& OpenWindow();
  // The open window, none when closed.
  TZkSetBackupForm* Form() const;
  const std::optional<TZkServiceContext>& ServiceContext() const override { return serviceContext_; }

  // The job document itself, for the window's binding.
  TZkTreeData& Document() override { return *document_; }
  // The number format of the times the window writes: the user's locale
  // unless set. It holds for the documents loaded afterwards.
  const TFormatSettings& FormatSettings() const override { return formatSettings_; }
  void SetFormatSettings(const TFormatSettings& value);

  // Write the job document to FileName after every change made here.
  bool AutoSave() const { return autoSave_; }
  void SetAutoSave(bool value) { autoSave_ = value; }

  // The job file. Setting it loads the file; a missing file fails with
  // "Nem létező file <name>", a file that does not load fails with its own
  // error, and either way everything stays as it was. An empty name closes
  // the document without writing it.
  const std::string& FileName() const;
  void SetFileName(const std::string& value);

  // The job the settings window edits, empty for none. A name that no job
  // has fails with "Nem létező mentés (<name>)".
  const std::string& Select() const override { return select_; }
  void SetSelect(const std::string& value);

  // A job file is loaded: every operation below acts only then.
  bool IsOpen() const override;

  // The node that holds the jobs, created when the document has none.
  TZkTreeDataNode& SavingNode();
  // Job names match ignoring the case of A to Z; of two equal names the
  // later job is the one found. -1 (none) when there is no such job or no
  // document is open.
  int IndexOfSaving(const std::string& name);
  TZkTreeDataNode* FindSaving(const std::string& name);
  // As FindSaving, failing with "Nem létező mentés (<name>)" instead of none.
  TZkTreeDataNode& SavingByName(const std::string& name);
  // The job names in file order; none when no document is open.
  std::vector<std::string> GetSavingNames();

  // A new, empty job; none when no document is open. Fails with
  // "Már létező mentés (<name>)" when another job has the name, and with
  // "A mentés neve nem használható: <name>" for a name that can name no
  // archive (IsUsableJobName); either way nothing is written.
  TZkTreeDataNode* AddSaving(const std::string& name);
  // A change of case only is always allowed; another job's name fails with
  // "Már létező mentés (<name>)", an unusable one as AddSaving says. Select
  // follows the job.
  void RenameSaving(const std::string& oldName, const std::string& newName);
  // Select is cleared when it named the job.
  void DeleteSaving(const std::string& name);

  // `base` when no job has it; otherwise `base` (without a trailing
  // " (...)") + " (n)" with the smallest n that no job has.
  std::string NewSavingName(std::string base);

  // Puts the named jobs with all their settings on the system clipboard as
  // one XML text. The names come in the list's bottom-to-top order (as the
  // list hands out its selection); the text holds the jobs top to bottom.
  void CopySavings(const std::vector<std::string>& names);
  // Adds the jobs of the clipboard's XML text under free names and writes
  // the job file once, with every pasted job complete. Text that is not
  // XML fails with the parser's message and adds nothing, and so does a
  // job whose name is unusable (as AddSaving says); a job without a name
  // stops the paste, and the jobs pasted before it stay.
  void PasteSavings();

  // A job as it was before its delete: its place in the list and the job
  // with all its settings as XML text.
  struct TSavingCopy {
    int Index = 0;
    std::string Text;
  };
  TSavingCopy SavingCopy(const std::string& name);
  // Puts deleted jobs back, in the order given, each at its place (the
  // end when the list has grown shorter) under its own name, or a free one
  // when another job has taken it meanwhile; one write of the job file.
  // Returns the names they have.
  std::vector<std::string> RestoreSavings(const std::vector<TSavingCopy>& copies);

  // Writes the job file when a document is open, AutoSave is on and no
  // batch of changes is under way.
  void AutoSaveNow() override;

  // Brings the open settings window up to date with the document.
  void RefreshWindow();

private:
  void PasteSaving(TZkTreeDataNode& pasted);

  bool autoSave_ = true;
  TBackupOptions options_{TBackupOption::bdShowTiming, TBackupOption::bdShowService, TBackupOption::bdShowFiles};
  bool readOnly_ = false;
  std::optional<TZkServiceContext> serviceContext_;
  TFormatSettings formatSettings_;
  QPointer<TZkSetBackupForm> form_;
  std::string select_;
  std::unique_ptr<TZkTreeData> document_;
  // Empty and inactive except while jobs are copied or pasted.
  TZkTreeData clipboard_;
};

}  // namespace zk::ui
