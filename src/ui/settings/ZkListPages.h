#pragma once
// TZkListPages: the commands of the settings window's lists. Each builds,
// changes, moves or removes entries of one list, in the job document and
// in the list at once. The window owns them and hands every command over.

#include <functional>
#include <string>

class QMenu;
class QString;
class QTreeWidgetItem;
class QWidget;

namespace zk::ui {

class TZkJobAccess;
class TZkTreeView;

namespace detail {
struct TCommandRow;
}

// Walks the menu from its last entry to its first; the first entry with
// the tag, or found in an entry's submenu, ends the walk and is clicked
// when it is enabled.
void ClickByTag(QMenu& menu, int tag);

class TZkListPages {
public:
  // The dialogs the commands open sit on `window`, which holds the lists.
  // `listChanged` ends every command that changed a list: the panel, the
  // commands, the file.
  TZkListPages(QWidget& window, TZkJobAccess& jobs, std::function<void(TZkTreeView&)> listChanged);

  void RunCommand(const detail::TCommandRow& command);
  void ListEdited(TZkTreeView& list, QTreeWidgetItem& entry, QString& text);
  void ListEntryMoved(TZkTreeView& list, QTreeWidgetItem& entry, int index);
  void ListDropFile(TZkTreeView& list, const QString& fileName);

private:
  void AddListEntry(TZkTreeView& list, const std::string& text);
  void InsertListEntry(TZkTreeView& list, const std::string& text);
  void AddFormatted(TZkTreeView& list, const std::string& text, const std::string& parameter,
                    const std::string& pattern, bool insert);
  void AddTyped(TZkTreeView& list, const QString& prompt, const std::string& pattern, bool insert);
  void AddFromFiles(TZkTreeView& list, bool programs, const QString& prompt, const std::string& pattern,
                    bool insert);
  void AddFolder(TZkTreeView& list, bool insert);
  void AddServiceWithParam(TZkTreeView& list, const std::string& pattern, bool insert);
  void AddService(TZkTreeView& list, const std::string& pattern, bool insert);
  void EditListEntry(TZkTreeView& list, const QString& prompt);
  void DeleteListEntry(TZkTreeView& list);
  bool HasText(const TZkTreeView& list, const QString& text, const QTreeWidgetItem* except) const;
  std::string ServiceName();

  QWidget& window_;
  TZkJobAccess& jobs_;
  std::function<void(TZkTreeView&)> listChanged_;
};

}  // namespace zk::ui
