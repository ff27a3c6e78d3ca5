// The restore window's picture (scripts/screenshots.sh): a job with four
// runs, one of them without its archive, and two files of the newest run
// ticked for another folder.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <string>
#include <utility>
#include <vector>

#include "base/ZkDateTime.h"
#include "platform/ZkFileSystem.h"
#include "support/ZkScreenshots.h"
#include "ui/controls/ZkFolderEdit.h"
#include "ui/restore/ZkRestoreDlg.h"
#include "zip/ZkZip.h"

namespace {

using TFiles = std::vector<std::pair<std::string, std::string>>;

bool WriteArchive(const std::string& path, const TFiles& files, zk::TDateTime moment) {
  zk::TZkZip zip;
  zip.SetSaveDriveName(true);
  // Folders come with their files; entries of their own would carry the
  // day the picture is drawn.
  zip.SetStoreFolders(false);
  zip.CreateArchive(path);
  zip.OpenArchive(path);
  if (!zip.IsZipFile()) return false;
  for (const auto& [name, content] : files) {
    zk::TZkZipMemorySource source(content);
    zip.Entries().AddStream("/home/anna/" + name, zk::platform::faArchive, source, moment);
  }
  zip.CloseArchive();
  return true;
}

}  // namespace

bool zk::ui::screenshots::SaveRestoreWindow(const QDir& folder) {
  QTemporaryDir temp;
  const auto path = [&temp](const std::string& name) {
    return temp.filePath(QString::fromStdString(name)).toStdString();
  };
  const std::string full = path("Dokumentumok 2024.11.04.Zip");
  const std::string incomplete = path("Dokumentumok 2024.11.05.Zip");
  const std::string newest = path("Dokumentumok 2024.11.06.Zip");
  const TFiles everything = {
      {"Dokumentumok/levelek/anyának.txt", std::string(2300, 'a')},
      {"Dokumentumok/levelek/bérleti szerződés.odt", std::string(48000, 'b')},
      {"Dokumentumok/számlák/2024-10 villany.pdf", std::string(181000, 'c')},
      {"Dokumentumok/számlák/2024-10 gáz.pdf", std::string(176000, 'd')},
      {"Dokumentumok/jegyzetek.md", std::string(5100, 'e')},
      {"Képek/nyaralás/balaton 01.jpg", std::string(3400000, 'f')},
      {"Képek/nyaralás/balaton 02.jpg", std::string(3100000, 'g')},
  };
  const TFiles changed = {
      {"Dokumentumok/számlák/2024-11 villany.pdf", std::string(179000, 'h')},
      {"Dokumentumok/jegyzetek.md", std::string(5600, 'i')},
  };
  if (!WriteArchive(full, everything, EncodeDateTime(2024, 11, 3, 18, 42, 10, 0)) ||
      !WriteArchive(incomplete, {changed.front()}, EncodeDateTime(2024, 11, 5, 9, 12, 0, 0)) ||
      !WriteArchive(newest, changed, EncodeDateTime(2024, 11, 6, 8, 30, 40, 0)))
    return false;
  const std::string history = path("Backup.Ini");
  QFile ini(QString::fromStdString(history));
  if (!ini.open(QIODevice::WriteOnly)) return false;
  const std::string lines = "[Dokumentumok]\n"
                            "History=Ok;2024.11.01;10:00;Global;" + path("Dokumentumok 2024.11.01.Zip") + "\n"
                            "History=Ok;2024.11.04;10:00;Global;" + full + "\n"
                            "History=Incomplete;2024.11.05;10:00;Update;" + incomplete + "\n"
                            "History=Ok;2024.11.06;10:00;Update;" + newest + "\n";
  ini.write(lines.data(), static_cast<qint64>(lines.size()));
  ini.close();

  TZkRestoreDlg window;
  window.SetJob(history, "Dokumentumok");
  auto& tree = *window.findChild<QTreeWidget*>(QStringLiteral("FileTree"));
  for (QTreeWidgetItemIterator it(&tree); *it != nullptr; ++it) {
    const QString name = (*it)->text(0);
    if (name == QStringLiteral("jegyzetek.md") || name == QStringLiteral("2024-11 villany.pdf"))
      (*it)->setCheckState(0, Qt::Checked);
    if (name == QStringLiteral("számlák")) tree.setCurrentItem(*it);
  }
  window.findChild<QRadioButton*>(QStringLiteral("ToFolder"))->setChecked(true);
  window.findChild<TZkFolderEdit*>(QStringLiteral("TargetFolder"))->SetText(QStringLiteral("/home/anna/visszaállítva"));
  window.show();
  QApplication::processEvents();
  return Save(window, folder, "restore-window");
}
