// The progress bar's picture (scripts/screenshots.sh).

#include <QColor>
#include <QDir>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdint>

#include "support/ZkScreenshots.h"
#include "ui/progress/ZkProgress.h"

namespace {

// Bars in several styles, directions and borders, each with its text.
void AddProgressBars(QWidget& window) {
  using namespace zk::ui;
  auto* layout = new QVBoxLayout(&window);
  const auto add = [&](std::int64_t position, auto setUp) {
    auto* bar = new TZkProgressBar(&window);
    bar->SetTextShow(true);
    bar->SetTextSuffix(QStringLiteral(" %"));
    bar->SetPosition(position);
    setUp(*bar);
    layout->addWidget(bar);
    return bar;
  };
  add(25, [](TZkProgressBar&) {});
  add(60, [](TZkProgressBar& bar) {
    bar.SetBorder(TProgressBorders::gbDeepSunken);
    bar.SetDashFore(false);
    bar.BarFore().SetStyle(TProgressStyle::gsGradient3);
    bar.SetTextBackColor(QColor(Qt::black));
  });
  add(80, [](TZkProgressBar& bar) {
    bar.SetBorder(TProgressBorders::gbRaised);
    bar.BarFore().SetStyle(TProgressStyle::gsBlending2);
    bar.BarFore().SetColor1(QColor(0, 64, 160));
    bar.BarFore().SetColor2(QColor(120, 200, 255));
    bar.SetDashBack(true);
    bar.BarBack().SetStyle(TProgressStyle::gsColor);
    bar.BarBack().SetColor1(clWindow);
    bar.SetTextAlign(TAlignment::taRightJustify);
  });
  add(45, [](TZkProgressBar& bar) {
    bar.SetDirection(TProgressDirection::pdRightToLeft);
    bar.SetBorder(TProgressBorders::gbSingle);
    bar.BarFore().SetStyle(TProgressStyle::gsGradient2);
    bar.BarFore().SetColor1(QColor(0, 128, 0));
    bar.BarFore().SetColor2(QColor(160, 255, 160));
    bar.SetTextPrefix(QStringLiteral("Mentés: "));
    bar.SetTextAlign(TAlignment::taLeftJustify);
  });
  add(1234567, [](TZkProgressBar& bar) {
    bar.SetMax(5000000);
    bar.SetPosition(1234567);
    bar.SetPercentage(false);
    bar.SetTextSuffix(QStringLiteral(" bájt"));
    bar.SetBorder(TProgressBorders::gbFatRaised);
    bar.BarFore().SetStyle(TProgressStyle::gsBlending3);
    bar.BarFore().SetColor1(QColor(255, 0, 0));
    bar.SetDashFore(false);
  });
  auto* vertical = add(70, [](TZkProgressBar& bar) {
    bar.SetDirection(TProgressDirection::pdBottomToTop);
    bar.SetTextShow(false);
    bar.SetDashWidth(4);
    bar.BarFore().SetStyle(TProgressStyle::gsGradient2);
    bar.BarFore().SetOrientation(TGradientOrientation::goVertical);
  });
  vertical->setFixedSize(30, 80);
  window.resize(260, window.sizeHint().height());
}

}  // namespace

bool zk::ui::screenshots::SaveProgressBars(const QDir& folder) {
  QWidget bars;
  AddProgressBars(bars);
  return Save(bars, folder, "progress-bar");
}
