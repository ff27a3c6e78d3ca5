#include "ui/main/Nevjegy.h"

#include <QFont>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/app/ZkQtText.h"
#include "ui/app/ZkUiResources.h"

namespace zk::ui {
namespace {

constexpr int kPictureSize = 161;

QLabel* AddLine(QVBoxLayout& column, const QString& objectName, const QString& text) {
  auto* label = new QLabel(text);
  label->setObjectName(objectName);
  label->setAccessibleName(text);
  label->setWordWrap(false);
  column.addWidget(label);
  return label;
}

}  // namespace

TNEvjegyForm::TNEvjegyForm(QWidget* owner, const std::string& version, const std::string& jobFile)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint) {
  LoadUiResources();
  setObjectName(QStringLiteral("NEvjegyForm"));
  setWindowTitle(QStringLiteral("Névjegy"));

  auto* picture = new QLabel;
  picture->setObjectName(QStringLiteral("Image1"));
  picture->setPixmap(QIcon(QStringLiteral(":/backup/backup.svg")).pixmap(QSize(kPictureSize, kPictureSize)));
  picture->setFixedSize(kPictureSize, kPictureSize);
  picture->setAccessibleName(QStringLiteral("Backup"));

  auto* column = new QVBoxLayout;
  QLabel* title = AddLine(*column, QStringLiteral("Title"), QStringLiteral("Backup"));
  QFont titleFont = title->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 2.4);
  titleFont.setBold(true);
  titleFont.setUnderline(true);
  title->setFont(titleFont);
  AddLine(*column, QStringLiteral("Version"), QStringLiteral("Verzió : ") + ToQString(version));
  column->addSpacing(title->fontMetrics().height() / 2);
  AddLine(*column, QStringLiteral("About"), QStringLiteral("Fájlmentés-kezelő: ütemezhető mentések zip archívumba"));
  // The address comes from the build's configuration (ZK_SOURCE_URL).
  const QString source = QString::fromUtf8(ZK_SOURCE_URL);
  AddLine(*column, QStringLiteral("Source"),
          source.isEmpty() ? QStringLiteral("Forráskód: kérje a program terjesztőjétől")
                           : QStringLiteral("Forráskód: ") + source);
  column->addSpacing(title->fontMetrics().height() / 2);
  // The path can be selected and copied with the mouse; a label that took
  // the keyboard focus would show a text cursor after it.
  QLabel* file = AddLine(*column, QStringLiteral("JobFile"), QStringLiteral("Mentésfájl: ") + ToQString(jobFile));
  file->setTextInteractionFlags(Qt::TextSelectableByMouse);
  file->setFocusPolicy(Qt::NoFocus);
  column->addStretch();

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(picture, 0, Qt::AlignTop);
  layout->addSpacing(12);
  layout->addLayout(column);
  // A fixed size, from the contents and the user's font.
  layout->setSizeConstraint(QLayout::SetFixedSize);
  // Sized now, so that the box is centred on its owner with its real size.
  layout->activate();
}

}  // namespace zk::ui
