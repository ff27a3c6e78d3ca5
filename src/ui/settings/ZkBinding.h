#pragma once
// The generic binding of the settings window: every bound control names in
// its hint the document node it stands for, and is loaded from and read into
// that node by its kind alone. No page converts a value by hand.

#include <QString>

#include <string>

#include "util/ZkFormatSettings.h"

class QTreeWidgetItem;
class QWidget;

namespace zk {
class TZkTreeDataNode;
}

namespace zk::ui {

class BoundControl;
class TZkTreeView;

// Field n (from 1) of a hint of fields separated by ";"; a missing field is
// empty, never the whole hint.
QString HintField(const QString& hint, int n);
std::string HintKey(const QWidget& control);

// The list a control edits an entry of: the first list control found among
// the children of the control's parents, each container searched from its
// last child to its first; none for the controls of the job itself.
TZkTreeView* NearestList(const QWidget& control);

// Detail panels and page controls are the containers a list's selected
// entry is edited in: DetailPanel gives the last of them beside the list.
void MarkDetailPanel(QWidget& panel);
QWidget* DetailPanel(const TZkTreeView& list);

// The bound control a widget is, or none.
BoundControl* AsBound(QWidget& widget);

// Loads a control from the stored text by its kind. A spin edit takes only
// a whole number (or nothing) and fails with the message otherwise, so that
// a hand-edited job file is never shown with a value it does not hold.
void LoadValue(BoundControl& control, const std::string& text);
// The text the control's value is stored as; a time is the fraction of the
// day in the settings' number format.
std::string ReadValue(const BoundControl& control, const TFormatSettings& settings);

// The document node a list keeps its entries in (none when unbound), and the
// node each entry stands for.
void SetListNode(TZkTreeView& list, TZkTreeDataNode* node);
TZkTreeDataNode* ListNode(const TZkTreeView& list);
void SetEntryNode(QTreeWidgetItem& entry, TZkTreeDataNode* node);
TZkTreeDataNode* EntryNode(const QTreeWidgetItem* entry);
// The picture of an entry by its index in the window's image list: 16 to 18
// the include list's mask, folder and file, 20 to 22 the exclude list's, 33
// a schedule entry, 40 an action.
void SetEntryImage(QTreeWidgetItem& entry, int image);
int EntryImage(const QTreeWidgetItem& entry);

}  // namespace zk::ui
