#include <gtest/gtest.h>

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <vector>

#include "support/ZkGuiWait.h"
#include "ui/progress/ZkProgress.h"

namespace zk::ui {
namespace {

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 255, 0);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

// Distinct colours for the palette roles the bar uses, so that a pixel tells
// which one was painted.
QPalette RolePalette() {
  QPalette palette;
  palette.setColor(QPalette::Button, QColor(10, 10, 10));
  palette.setColor(QPalette::Highlight, QColor(20, 20, 20));
  palette.setColor(QPalette::Light, QColor(30, 30, 30));
  palette.setColor(QPalette::Dark, QColor(40, 40, 40));
  palette.setColor(QPalette::Shadow, QColor(50, 50, 50));
  return palette;
}

QImage Paint(TZkCustomProgressBar& bar, QSize size = {150, 20}) {
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::magenta);
  QPainter painter(&image);
  bar.PaintBar(painter, QRect(QPoint(0, 0), size));
  painter.end();
  return image;
}

// A bar of one plain part over a blue background, without border, gaps or
// text unless a test turns them on.
void Plain(TZkCustomProgressBar& bar, std::int64_t position) {
  bar.setPalette(RolePalette());
  bar.SetBorder(TProgressBorders::gbNone);
  bar.SetBorderInnerSize(0);
  bar.SetDashFore(false);
  bar.SetBackroundColor(kBlue);
  bar.BarFore().SetColor1(kRed);
  bar.SetPosition(position);
}

TEST(ZkProgressBar, PercentAndText) {
  struct TCase {
    std::int64_t Min, Max, Position;
    bool Percentage;
    double Percent;
    const char* Text;
  };
  const TCase cases[] = {
      {0, 200, 50, true, 25, "Kész: 25 %"},
      {0, 1000, 996, true, 99.6, "Kész: 99 %"},  // cut, not rounded
      {0, 0, 0, true, 0, "Kész: 0 %"},
      {-100, 100, 0, true, 50, "Kész: 50 %"},
      {0, 5000000000, 4321000000, false, 4321000000, "Kész: 4321000000 %"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TZkProgressBar bar;
    bar.SetTextPrefix(QStringLiteral("Kész: "));
    bar.SetTextSuffix(QStringLiteral(" %"));
    bar.SetMax(c.Max);
    bar.SetMin(c.Min);
    bar.SetPosition(c.Position);
    bar.SetPercentage(c.Percentage);
    EXPECT_DOUBLE_EQ(bar.Percent(), c.Percent);
    EXPECT_EQ(bar.DisplayText(), QString::fromUtf8(c.Text));
  }
}

TEST(ZkProgressBar, OnTextReplacesTheText) {
  TZkProgressBar bar;
  bar.SetPosition(40);
  bar.SetOnText([](TZkCustomProgressBar& sender, QString& text) {
    text = QStringLiteral("%1 / %2").arg(text).arg(sender.Max());
  });
  EXPECT_EQ(bar.DisplayText(), QStringLiteral("40 / 100"));
}

TEST(ZkProgressBar, EmptyRangeFillsNothing) {
  TZkProgressBar bar;
  bar.SetMax(0);
  EXPECT_EQ(bar.Percent(), 0);
  Paint(bar);
  EXPECT_TRUE(bar.BarFore().Rect().IsEmpty());
  EXPECT_EQ(bar.BarBack().Rect(), (TZkEdges{0, 2, 148, 18}));
}

TEST(ZkProgressBar, BoundsStayOrderedAndHoldThePosition) {
  TZkProgressBar bar;
  int posEvents = 0;
  bar.SetOnPos([&posEvents](TZkCustomProgressBar&, std::int64_t&) { ++posEvents; });

  bar.SetMax(-5);
  EXPECT_EQ(bar.Max(), 0);
  EXPECT_EQ(bar.Position(), 0);

  bar.SetMax(100);
  bar.SetPosition(60);
  posEvents = 0;
  bar.SetMin(150);
  EXPECT_EQ(bar.Min(), 100);
  EXPECT_EQ(bar.Position(), 100);
  bar.SetMin(0);
  bar.SetMax(30);
  EXPECT_EQ(bar.Position(), 30);
  EXPECT_EQ(posEvents, 0) << "the bounds move the position without OnPos";
}

TEST(ZkProgressBar, OnPosSeesTheClampedPositionAndItsAnswerIsStored) {
  TZkProgressBar bar;
  std::vector<std::int64_t> seen;
  bar.SetOnPos([&seen](TZkCustomProgressBar&, std::int64_t& position) {
    seen.push_back(position);
    position = 1000;
  });
  bar.SetPosition(1000);
  bar.SetPosition(-7);
  EXPECT_EQ(seen, (std::vector<std::int64_t>{100, 0}));
  EXPECT_EQ(bar.Position(), 1000);
}

TEST(ZkProgressBar, TheRefreshTimerReappliesThePosition) {
  TZkProgressBar bar;
  bar.SetPosition(30);
  int ticks = 0;
  bar.SetOnPos([&ticks](TZkCustomProgressBar&, std::int64_t& position) {
    EXPECT_EQ(position, 30);
    ++ticks;
  });
  bar.SetRefreshIntervallum(5);
  bar.SetAutoRefresh(true);
  EXPECT_TRUE(bar.AutoRefresh());
  ZK_WAIT_FOR(ticks >= 2);
  bar.SetAutoRefresh(false);
  EXPECT_FALSE(bar.AutoRefresh());
}

TEST(ZkProgressBar, Geometry) {
  struct TCase {
    const char* Name;
    TProgressDirection Direction;
    TProgressBorders Border;
    std::int64_t Position;
    int Boundary;
    TZkEdges Fore, Back;
  };
  using enum TProgressDirection;
  using enum TProgressBorders;
  const TCase cases[] = {
      {"left to right", pdLeftToRight, gbSunken, 50, 75, {2, 2, 75, 18}, {75, 2, 148, 18}},
      {"full bar reaches into the ring", pdLeftToRight, gbSunken, 100, 150, {2, 2, 150, 18}, {150, 2, 148, 18}},
      {"right to left", pdRightToLeft, gbSunken, 20, 120, {120, 2, 148, 18}, {2, 2, 120, 18}},
      {"bottom to top", pdBottomToTop, gbDeepSunken, 25, 15, {3, 15, 147, 17}, {3, 3, 147, 15}},
      {"top to bottom", pdTopToBottom, gbNone, 25, 5, {1, 1, 149, 5}, {1, 5, 149, 19}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TZkProgressBar bar;
    bar.SetDirection(c.Direction);
    bar.SetBorder(c.Border);
    bar.SetPosition(c.Position);
    const TZkProgressGeometry geometry = bar.Geometry({150, 20});
    EXPECT_EQ(geometry.Boundary, c.Boundary);
    Paint(bar);
    EXPECT_EQ(bar.BarFore().Rect(), c.Fore);
    EXPECT_EQ(bar.BarBack().Rect(), c.Back);
  }
}

// A pixel of a painted bar, per style: gradients follow the inner rectangle
// whatever share of it the filled part covers; blends step line by line;
// pictures are stretched to the part or to the inner rectangle.
TEST(ZkProgressBar, StylesPaintTheirColours) {
  QImage halves(10, 4, QImage::Format_ARGB32);
  halves.fill(kGreen);
  for (int y = 0; y < 4; ++y)
    for (int x = 5; x < 10; ++x) halves.setPixelColor(x, y, kWhite);

  struct TCase {
    const char* Name;
    TProgressStyle Style;
    TDrawBitmap Draw;
    std::int64_t Position;
    int X;
    QColor Expected;
  };
  using enum TProgressStyle;
  using enum TDrawBitmap;
  const TCase cases[] = {
      {"gradient starts at the left edge", gsGradient2, dbClipp, 50, 0, QColor(1, 1, 1)},
      {"half a bar shows half the gradient", gsGradient2, dbClipp, 50, 74, QColor(126, 126, 126)},
      {"three colours turn at the middle", gsGradient3, dbClipp, 100, 74, QColor(253, 253, 253)},
      {"three colours end in the third", gsGradient3, dbClipp, 100, 149, QColor(2, 2, 2)},
      // Column x is step x + 1 of N = 151 steps: 255 * x / 150.
      {"blend steps by column", gsBlending2, dbClipp, 100, 75, QColor(128, 128, 128)},
      {"blend ends in the second colour", gsBlending2, dbClipp, 100, 149, QColor(253, 253, 253)},
      {"three-colour blend turns at the middle", gsBlending3, dbClipp, 100, 74, kWhite},
      {"empty part of a blend shows the background", gsBlending2, dbClipp, 50, 100, kBlue},
      {"stretched picture fills the part", gsBitmap, dbStretch, 50, 70, kWhite},
      {"clipped picture spans the inner rectangle", gsBitmap, dbClipp, 50, 70, kGreen},
      {"tiles repeat the picture", gsBitmap, dbTile, 50, 12, kGreen},
      {"tiles repeat the picture", gsBitmap, dbTile, 50, 17, kWhite},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TZkProgressBar bar;
    Plain(bar, c.Position);
    bar.BarFore().SetStyle(c.Style);
    bar.BarFore().SetColor1(kBlack);
    bar.BarFore().SetColor2(kWhite);
    bar.BarFore().SetColor3(kBlack);
    bar.BarFore().SetBitmap(halves);
    bar.BarFore().SetDrawBitmap(c.Draw);
    const QColor pixel = Paint(bar).pixelColor(c.X, 10);
    EXPECT_NEAR(pixel.red(), c.Expected.red(), 2);
    EXPECT_NEAR(pixel.green(), c.Expected.green(), 2);
    EXPECT_NEAR(pixel.blue(), c.Expected.blue(), 2);
  }
}

TEST(ZkProgressBar, DashesCutGapsAtFixedSpacing) {
  TZkProgressBar bar;
  Plain(bar, 100);
  bar.SetBorder(TProgressBorders::gbSunken);
  bar.SetBorderInnerSize(1);
  bar.SetDashFore(true);
  const QImage image = Paint(bar);
  for (int gap : {12, 24, 36, 144}) {
    SCOPED_TRACE(gap);
    EXPECT_EQ(image.pixelColor(gap - 1, 10), kRed);
    EXPECT_EQ(image.pixelColor(gap, 10), kBlue);
    EXPECT_EQ(image.pixelColor(gap + 1, 10), kBlue);
    EXPECT_EQ(image.pixelColor(gap + 2, 10), kRed);
  }
}

TEST(ZkProgressBar, DashesOfTheEmptyPartFollowItsDirection) {
  TZkProgressBar bar;
  Plain(bar, 0);
  bar.BarBack().SetStyle(TProgressStyle::gsColor);
  bar.BarBack().SetColor1(kRed);
  bar.SetDashBack(true);
  bar.SetDirection(TProgressDirection::pdRightToLeft);
  const QImage image = Paint(bar);
  // From the right edge: a dash of 10, then the gap 138..139.
  EXPECT_EQ(image.pixelColor(137, 10), kRed);
  EXPECT_EQ(image.pixelColor(138, 10), kBlue);
  EXPECT_EQ(image.pixelColor(139, 10), kBlue);
  EXPECT_EQ(image.pixelColor(140, 10), kRed);
}

// A step of no length would never end the row of gaps.
TEST(ZkProgressBar, DashesWithoutStepPaintNoGaps) {
  TZkProgressBar bar;
  Plain(bar, 100);
  bar.SetDashFore(true);
  bar.SetDashWidth(-2);
  const QImage image = Paint(bar);
  for (int x = 0; x < 150; ++x) ASSERT_EQ(image.pixelColor(x, 10), kRed) << x;
}

// The text changes colour exactly at the boundary: over the filled part it
// takes TextBackColor (TextForeColor when that part paints nothing of its
// own), over the empty part TextForeColor.
TEST(ZkProgressBar, TextChangesColourAtTheBoundary) {
  struct TCase {
    TProgressStyle ForeStyle;
    QColor OverFilled;
  };
  for (const TCase& c : {TCase{TProgressStyle::gsColor, kWhite}, TCase{TProgressStyle::gsNone, kGreen}}) {
    TZkProgressBar bar;
    Plain(bar, 50);
    bar.BarFore().SetStyle(c.ForeStyle);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::NoAntialias);
    bar.setFont(font);
    bar.SetTextShow(true);
    bar.SetTextAlign(TAlignment::taLeftJustify);
    bar.SetTextBackColor(kWhite);
    bar.SetTextForeColor(kGreen);
    // Solid blocks: every column under the text is text.
    bar.SetOnText([](TZkCustomProgressBar&, QString& text) { text = QString(40, QChar(0x2588)); });
    const QImage image = Paint(bar);

    int lastFilledText = -1;
    int firstEmptyText = 150;
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 150; ++x) {
        const QColor pixel = image.pixelColor(x, y);
        if (pixel == c.OverFilled && x < 75) lastFilledText = std::max(lastFilledText, x);
        if (pixel == kGreen && x >= 75) firstEmptyText = std::min(firstEmptyText, x);
        if (c.OverFilled != kGreen) {
          ASSERT_FALSE(pixel == kWhite && x >= 75) << x << "," << y;
          ASSERT_FALSE(pixel == kGreen && x < 75) << x << "," << y;
        }
      }
    }
    EXPECT_EQ(lastFilledText, 74);
    EXPECT_EQ(firstEmptyText, 75);
  }
}

TEST(ZkProgressBar, BordersUseTheirColours) {
  const QPalette palette = RolePalette();
  const QColor face = palette.color(QPalette::Button);
  const QColor light = palette.color(QPalette::Light);
  const QColor dark = palette.color(QPalette::Dark);
  const QColor darkest = palette.color(QPalette::Shadow);
  struct TCase {
    const char* Name;
    TProgressBorders Border;
    QColor TopLeft, BottomRight, SecondTopLeft, SecondBottomRight, Ring;
  };
  using enum TProgressBorders;
  const TCase cases[] = {
      {"single", gbSingle, kGreen, kWhite, kBlue, kBlue, kRed},
      {"sunken", gbSunken, dark, light, kBlue, kBlue, kRed},
      {"deep sunken", gbDeepSunken, dark, light, darkest, face, kBlue},
      {"raised", gbRaised, light, dark, kBlue, kBlue, kRed},
      {"fat raised", gbFatRaised, light, dark, face, darkest, kBlue},
      {"none: the ring keeps the background", gbNone, kBlue, kBlue, kRed, kRed, kRed},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TZkProgressBar bar;
    Plain(bar, 100);
    bar.SetBorder(c.Border);
    bar.SetBorderInnerSize(1);
    bar.SetBorderColor1(kGreen);
    bar.SetBorderColor2(kWhite);
    const QImage image = Paint(bar);
    EXPECT_EQ(image.pixelColor(0, 5), c.TopLeft);
    EXPECT_EQ(image.pixelColor(149, 19), c.BottomRight);
    EXPECT_EQ(image.pixelColor(1, 5), c.SecondTopLeft);
    EXPECT_EQ(image.pixelColor(148, 18), c.SecondBottomRight);
    EXPECT_EQ(image.pixelColor(2, 5), c.Ring);
  }
}

// On screen the bar shows what PaintBar paints, in the palette's colours.
TEST(ZkProgressBar, WidgetShowsThePaintedBar) {
  TZkProgressBar bar;
  bar.setPalette(RolePalette());
  bar.SetPosition(50);
  bar.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
  EXPECT_EQ(bar.size(), QSize(150, 20));
  const QImage image = bar.grab().toImage();
  EXPECT_EQ(image.pixelColor(5, 10), RolePalette().color(QPalette::Highlight));
  EXPECT_EQ(image.pixelColor(12, 10), RolePalette().color(QPalette::Button)) << "a gap";
  EXPECT_EQ(image.pixelColor(100, 10), RolePalette().color(QPalette::Button));
}

}  // namespace
}  // namespace zk::ui
