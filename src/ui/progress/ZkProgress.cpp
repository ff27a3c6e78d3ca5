#include "ui/progress/ZkProgress.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "ui/app/ZkApplication.h"

namespace zk::ui {

namespace {

constexpr int kDefaultWidth = 150;
constexpr int kDefaultHeight = 20;
constexpr int kDefaultRefreshMs = 1000;

// One line of a border, outer line first: its outline's colour and the
// colour then drawn over its left column and top row.
struct TBorderLine {
  TZkColor FrameColor;
  TZkColor TopLeftColor;
};

std::vector<TBorderLine> BorderLinesOf(TProgressBorders border, const TZkColor& color1, const TZkColor& color2) {
  switch (border) {
    case TProgressBorders::gbNone:
      return {};
    case TProgressBorders::gbSingle:
      return {{color2, color1}};
    case TProgressBorders::gbSunken:
      return {{clBtnHighlight, clBtnShadow}};
    case TProgressBorders::gbDeepSunken:
      return {{clBtnHighlight, clBtnShadow}, {clBtnFace, cl3DDkShadow}};
    case TProgressBorders::gbRaised:
      return {{clBtnShadow, clBtnHighlight}};
    case TProgressBorders::gbFatRaised:
      return {{clBtnShadow, clBtnHighlight}, {cl3DDkShadow, clBtnFace}};
  }
  return {};
}

// The share of position between the bounds, in per cent; 0 for an empty
// range. Worked out in long double: the 64-bit differences may not fit.
double PercentOf(std::int64_t min, std::int64_t max, std::int64_t position) {
  if (max <= min) return 0;
  const long double span = static_cast<long double>(max) - static_cast<long double>(min);
  return static_cast<double>((static_cast<long double>(position) - static_cast<long double>(min)) / span * 100);
}

// trunc() into an integer. An OnPos handler may store a position far outside
// the bounds; the result is then held to a range that still lies well
// outside any image instead of overflowing.
template <class Int>
Int TruncClamped(double value, Int limit) {
  if (std::isnan(value)) return 0;
  const double cut = std::trunc(value);
  if (cut >= static_cast<double>(limit)) return limit;
  if (cut <= -static_cast<double>(limit)) return -limit;
  return static_cast<Int>(cut);
}

int AmountOf(double percent, int extent) { return TruncClamped(percent * extent / 100, 1 << 24); }

// Half of a coordinate, rounded down also below zero.
int FloorHalf(int value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

// a + (i - 1) * (b - a) / (n - 1) per channel, rounded to nearest; n > 1.
// Steps outside 1..n (a part that starts on the image's edge) are held to
// the colour range.
QColor Mix(const QColor& a, const QColor& b, int i, int n) {
  const auto channel = [i, n](int from, int to) {
    const std::int64_t numerator = static_cast<std::int64_t>(i - 1) * (to - from);
    const std::int64_t denominator = n - 1;
    const std::int64_t half = denominator / 2;
    const std::int64_t step =
        numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
    return static_cast<int>(std::clamp<std::int64_t>(from + step, 0, 255));
  };
  return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()));
}

TZkEdges Intersect(const TZkEdges& a, const TZkEdges& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
}

void Fill(QPainter& painter, const TZkEdges& rect, const QColor& color) {
  if (!rect.IsEmpty()) painter.fillRect(rect.ToQRect(), color);
}

// The one-pixel outline of (k, k, W - k, H - k).
void Frame(QPainter& painter, QSize size, int k, const QColor& color) {
  const int right = size.width() - k;
  const int bottom = size.height() - k;
  if (right <= k || bottom <= k) return;
  Fill(painter, {k, k, right, k + 1}, color);
  Fill(painter, {k, bottom - 1, right, bottom}, color);
  Fill(painter, {k, k, k + 1, bottom}, color);
  Fill(painter, {right - 1, k, right, bottom}, color);
}

// The left column and the top row of that outline, drawn as a line from the
// bottom-left corner up and on to the right, which leaves the top-right
// corner pixel in the outline's colour.
void TopLeft(QPainter& painter, QSize size, int k, const QColor& color) {
  const int right = size.width() - k;
  const int bottom = size.height() - k;
  if (right <= k || bottom <= k) return;
  Fill(painter, {k, k, k + 1, bottom}, color);
  Fill(painter, {k, k, right - 1, k + 1}, color);
}

// Clips the painter to a rectangle for the life of the object.
class TClip {
public:
  TClip(QPainter& painter, const TZkEdges& rect) : painter_(painter) {
    painter_.save();
    painter_.setClipRect(rect.ToQRect(), Qt::IntersectClip);
  }
  ~TClip() { painter_.restore(); }
  TClip(const TClip&) = delete;
  TClip& operator=(const TClip&) = delete;

private:
  QPainter& painter_;
};

}  // namespace

// ---- TZkPgBar ----

TZkPgBar::TZkPgBar(TZkCustomProgressBar& owner, TZkColor color1, TZkColor color2, TZkColor color3,
                   TProgressStyle style)
    : owner_(owner), color1_(color1), color2_(color2), color3_(color3), style_(style) {}

template <class T>
void TZkPgBar::Change(T& field, const T& value) {
  if (field == value) return;
  field = value;
  owner_.update();
}

void TZkPgBar::Assign(const TZkPgBar& source) {
  bitmap_ = source.bitmap_;
  color1_ = source.color1_;
  color2_ = source.color2_;
  color3_ = source.color3_;
  drawBitmap_ = source.drawBitmap_;
  style_ = source.style_;
  orientation_ = source.orientation_;
  owner_.update();
}

void TZkPgBar::SetBitmap(const QImage& value) {
  bitmap_ = value;
  owner_.update();
}

void TZkPgBar::SetColor1(const TZkColor& value) { Change(color1_, value); }
void TZkPgBar::SetColor2(const TZkColor& value) { Change(color2_, value); }
void TZkPgBar::SetColor3(const TZkColor& value) { Change(color3_, value); }
void TZkPgBar::SetDrawBitmap(TDrawBitmap value) { Change(drawBitmap_, value); }
void TZkPgBar::SetStyle(TProgressStyle value) { Change(style_, value); }
void TZkPgBar::SetOrientation(TGradientOrientation value) { Change(orientation_, value); }

// ---- TZkCustomProgressBar ----

TZkCustomProgressBar::TZkCustomProgressBar(QWidget* parent)
    : QWidget(parent),
      barBack_(*this, clBtnFace, clBtnFace, clBtnFace, TProgressStyle::gsNone),
      barFore_(*this, clHighlight, QColor(255, 255, 0), QColor(255, 0, 0), TProgressStyle::gsColor),
      refreshTimer_(new QTimer(this)) {
  resize(kDefaultWidth, kDefaultHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  // Every pixel is painted from the off-screen image.
  setAttribute(Qt::WA_OpaquePaintEvent);
  refreshTimer_->setInterval(kDefaultRefreshMs);
  connect(refreshTimer_, &QTimer::timeout, this, Guarded([this](auto&&...) { RefreshPosition(); }));
}

TZkCustomProgressBar::~TZkCustomProgressBar() = default;

void TZkCustomProgressBar::SetMin(std::int64_t value) {
  if (value == min_) return;
  min_ = std::min(value, max_);
  if (position_ < min_) position_ = min_;
  update();
}

void TZkCustomProgressBar::SetMax(std::int64_t value) {
  if (value == max_) return;
  max_ = std::max(value, min_);
  if (position_ > max_) position_ = max_;
  update();
}

void TZkCustomProgressBar::SetPosition(std::int64_t value) {
  std::int64_t position = std::clamp(value, min_, max_);
  if (onPos_) onPos_(*this, position);
  position_ = position;
  update();
}

double TZkCustomProgressBar::Percent() const {
  return percentage_ ? PercentOf(min_, max_, position_) : static_cast<double>(position_);
}

bool TZkCustomProgressBar::AutoRefresh() const { return refreshTimer_->isActive(); }

void TZkCustomProgressBar::SetAutoRefresh(bool value) {
  if (value)
    refreshTimer_->start();
  else
    refreshTimer_->stop();
}

int TZkCustomProgressBar::RefreshIntervallum() const { return refreshTimer_->interval(); }

void TZkCustomProgressBar::SetRefreshIntervallum(int milliseconds) { refreshTimer_->setInterval(milliseconds); }

void TZkCustomProgressBar::RefreshPosition() { SetPosition(position_); }

QString TZkCustomProgressBar::DisplayText() {
  // The raw position is shown exactly; a percentage is cut, not rounded.
  const std::int64_t number =
      percentage_ ? TruncClamped(Percent(), std::numeric_limits<std::int64_t>::max()) : position_;
  QString text = textPrefix_ + QString::number(number) + textSuffix_;
  if (onText_) onText_(*this, text);
  return text;
}

TZkProgressGeometry TZkCustomProgressBar::Geometry(QSize size) const {
  const int w = size.width();
  const int h = size.height();
  TZkProgressGeometry g;
  g.RingWidth =
      static_cast<int>(BorderLinesOf(border_, borderColor1_, borderColor2_).size()) + borderInnerSize_;
  const int bw = g.RingWidth;
  g.Inner = {bw, bw, w - bw, h - bw};
  // The boundary follows the whole control, not the inner rectangle.
  const double percent = PercentOf(min_, max_, position_);
  g.Fore = g.Inner;
  g.Back = g.Inner;
  switch (direction_) {
    case TProgressDirection::pdLeftToRight:
      g.Boundary = AmountOf(percent, w);
      g.Fore.Right = g.Back.Left = g.Boundary;
      break;
    case TProgressDirection::pdRightToLeft:
      g.Boundary = w - AmountOf(percent, w);
      g.Fore.Left = g.Back.Right = g.Boundary;
      break;
    case TProgressDirection::pdBottomToTop:
      g.Boundary = h - AmountOf(percent, h);
      g.Fore.Top = g.Back.Bottom = g.Boundary;
      break;
    case TProgressDirection::pdTopToBottom:
      g.Boundary = AmountOf(percent, h);
      g.Fore.Bottom = g.Back.Top = g.Boundary;
      break;
  }
  return g;
}

void TZkCustomProgressBar::PaintBar(QPainter& painter, const QRect& rect) {
  const QSize size = rect.size();
  const TZkProgressGeometry geometry = Geometry(size);
  barFore_.rect_ = geometry.Fore;
  barBack_.rect_ = geometry.Back;

  painter.save();
  painter.translate(rect.topLeft());
  painter.setClipRect(QRect(QPoint(0, 0), size), painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  painter.setRenderHint(QPainter::Antialiasing, false);
  // Pixels that no step below reaches (the ring of a borderless bar, the
  // rows a blend leaves out) show the background.
  painter.fillRect(QRect(QPoint(0, 0), size), Resolve(backroundColor_));
  PaintPart(painter, barFore_, geometry, size);
  PaintPart(painter, barBack_, geometry, size);
  PaintDashes(painter, geometry);
  PaintText(painter, geometry, size);
  PaintBorder(painter, size);
  painter.restore();
}

void TZkCustomProgressBar::PaintPart(QPainter& painter, const TZkPgBar& part, const TZkProgressGeometry& geometry,
                                     QSize size) const {
  const TZkEdges& r = part.rect_;
  if (r.IsEmpty()) return;
  const TZkEdges& inner = geometry.Inner;
  const bool horizontal = part.orientation_ == TGradientOrientation::goHorizontal;
  const QColor color1 = Resolve(part.color1_);
  const QColor color2 = Resolve(part.color2_);
  const QColor color3 = Resolve(part.color3_);
  const TClip clip(painter, r);

  switch (part.style_) {
    case TProgressStyle::gsNone:
      Fill(painter, r, Resolve(backroundColor_));
      break;
    case TProgressStyle::gsColor:
      Fill(painter, r, color1);
      break;
    case TProgressStyle::gsGradient2:
    case TProgressStyle::gsGradient3: {
      // The gradient spans the inner rectangle whatever part of it this part
      // covers, so the two parts together show one gradient.
      const int start = horizontal ? inner.Left : inner.Top;
      const int end = horizontal ? inner.Right : inner.Bottom;
      if (end <= start) {
        Fill(painter, r, color1);
        break;
      }
      QLinearGradient gradient(horizontal ? QPointF(start, 0) : QPointF(0, start),
                               horizontal ? QPointF(end, 0) : QPointF(0, end));
      gradient.setColorAt(0, color1);
      if (part.style_ == TProgressStyle::gsGradient3) {
        const int split = FloorHalf(end);
        gradient.setColorAt(std::clamp(double(split - start) / (end - start), 0.0, 1.0), color2);
        gradient.setColorAt(1, color3);
      } else {
        gradient.setColorAt(1, color2);
      }
      painter.fillRect(r.ToQRect(), QBrush(gradient));
      break;
    }
    case TProgressStyle::gsBlending2:
    case TProgressStyle::gsBlending3: {
      const bool three = part.style_ == TProgressStyle::gsBlending3;
      const int extent = horizontal ? size.width() : size.height();
      const int n = three ? extent / 2 : (horizontal ? inner.Right - inner.Left : inner.Bottom - inner.Top) + 1;
      const int from = horizontal ? r.Left : r.Top;
      const int to = horizontal ? r.Right : r.Bottom;
      // Step a paints the line a - 1 across the part.
      const auto line = [&](int a, const QColor& color) {
        Fill(painter, horizontal ? TZkEdges{a - 1, r.Top, a, r.Bottom} : TZkEdges{r.Left, a - 1, r.Right, a}, color);
      };
      // A mix over a single step has no second colour to reach: nothing.
      if (n > 1)
        for (int a = from; a <= std::min(to, n); ++a) line(a, Mix(color1, color2, a, n));
      if (three && extent - n > 1)
        for (int a = std::max(from, n + 1); a <= std::min(to, extent); ++a)
          line(a, Mix(color2, color3, a - n, extent - n));
      break;
    }
    case TProgressStyle::gsBitmap: {
      const QImage& bitmap = part.bitmap_;
      if (bitmap.isNull()) break;
      switch (part.drawBitmap_) {
        case TDrawBitmap::dbStretch:
          painter.drawImage(r.ToQRect(), bitmap);
          break;
        case TDrawBitmap::dbClipp:
          // The picture spans the inner rectangle; the part shows its share.
          if (!inner.IsEmpty()) painter.drawImage(inner.ToQRect(), bitmap);
          break;
        case TDrawBitmap::dbTile: {
          const int columns = size.width() / bitmap.width() + 1;
          const int rows = size.height() / bitmap.height() + 1;
          for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column)
              painter.drawImage(QPoint(r.Left + column * bitmap.width(), r.Top + row * bitmap.height()), bitmap);
          break;
        }
      }
      break;
    }
  }
}

void TZkCustomProgressBar::PaintDashes(QPainter& painter, const TZkProgressGeometry& geometry) const {
  if (!dashFore_ && !dashBack_) return;
  // A gap of no width cuts nothing, and a step that does not advance would
  // never reach the end of the bar.
  const std::int64_t step = std::int64_t{dashWidth_} + dashSpace_;
  if (dashSpace_ <= 0 || step <= 0) return;
  const TZkEdges& inner = geometry.Inner;
  const TZkEdges& fore = geometry.Fore;
  const QColor background = Resolve(backroundColor_);
  const bool horizontal =
      direction_ == TProgressDirection::pdLeftToRight || direction_ == TProgressDirection::pdRightToLeft;
  const auto gap = [&](std::int64_t start) {
    const int g = static_cast<int>(start);
    const TZkEdges cut = horizontal ? TZkEdges{g, fore.Top, g + dashSpace_, fore.Bottom}
                                    : TZkEdges{fore.Left, g, fore.Right, g + dashSpace_};
    if (dashFore_) Fill(painter, Intersect(cut, fore), background);
    if (dashBack_) Fill(painter, Intersect(cut, geometry.Back), background);
  };
  switch (direction_) {
    case TProgressDirection::pdLeftToRight:
      for (std::int64_t g = std::int64_t{inner.Left} + dashWidth_; g <= inner.Right; g += step) gap(g);
      break;
    case TProgressDirection::pdRightToLeft:
      for (std::int64_t g = std::int64_t{inner.Right} - step; g >= inner.Left; g -= step) gap(g);
      break;
    case TProgressDirection::pdBottomToTop:
      for (std::int64_t g = std::int64_t{inner.Bottom} - step; g > inner.Top; g -= step) gap(g);
      break;
    case TProgressDirection::pdTopToBottom:
      for (std::int64_t g = std::int64_t{inner.Top} + dashWidth_; g <= inner.Bottom; g += step) gap(g);
      break;
  }
}

void TZkCustomProgressBar::PaintText(QPainter& painter, const TZkProgressGeometry& geometry, QSize size) {
  if (!textShow_) return;
  const QString text = DisplayText();
  painter.setFont(font());
  const QFontMetrics metrics = painter.fontMetrics();
  const int textWidth = metrics.horizontalAdvance(text);
  const int textHeight = metrics.height();
  const int w = size.width();
  // A text taller than the bar, or a centred one wider than it, is placed
  // outside the bar and not seen.
  if (textHeight > size.height()) return;
  const int y = (size.height() - textHeight) / 2;
  int x = 0;
  switch (textAlign_) {
    case TAlignment::taLeftJustify:
      x = borderInnerSize_ + 2;
      break;
    case TAlignment::taCenter:
      if (textWidth > w) return;
      x = (w - textWidth) / 2;
      break;
    case TAlignment::taRightJustify:
      x = w - textWidth - borderInnerSize_ - 3;
      break;
  }
  const QPoint origin(x, y + metrics.ascent());
  const auto draw = [&](const TZkEdges& part, const TZkColor& color) {
    if (part.IsEmpty()) return;
    const TClip clip(painter, part);
    painter.setPen(Resolve(color));
    painter.drawText(origin, text);
  };
  draw(geometry.Fore, barFore_.style_ != TProgressStyle::gsNone ? textBackColor_ : textForeColor_);
  draw(geometry.Back, textForeColor_);
}

void TZkCustomProgressBar::PaintBorder(QPainter& painter, QSize size) const {
  // A borderless bar has no inner ring either.
  if (border_ == TProgressBorders::gbNone) return;
  const std::vector<TBorderLine> lines = BorderLinesOf(border_, borderColor1_, borderColor2_);
  const int count = static_cast<int>(lines.size());
  for (int k = 0; k < count; ++k) {
    Frame(painter, size, k, Resolve(lines[k].FrameColor));
    TopLeft(painter, size, k, Resolve(lines[k].TopLeftColor));
  }
  const QColor background = Resolve(backroundColor_);
  for (int j = 0; j < borderInnerSize_; ++j) Frame(painter, size, count + j, background);
}

void TZkCustomProgressBar::paintEvent(QPaintEvent*) {
  // Painted off screen and copied in one step, so the bar never flickers.
  const qreal ratio = devicePixelRatioF();
  QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  {
    QPainter offscreen(&image);
    PaintBar(offscreen, rect());
  }
  QPainter(this).drawImage(0, 0, image);
}

void SetUpWindowBar(TZkProgressBar& bar) {
  bar.BarFore().SetColor2(clWindow);
  bar.BarFore().SetColor3(clHighlight);
  bar.BarFore().SetStyle(TProgressStyle::gsGradient3);
  bar.BarFore().SetOrientation(TGradientOrientation::goVertical);
  bar.SetDashFore(false);
  bar.SetTextShow(true);
  bar.SetTextForeColor(TZkColor{QPalette::Text});
  bar.SetTextBackColor(TZkColor{QPalette::Text});
}

}  // namespace zk::ui
