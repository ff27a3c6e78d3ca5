#pragma once
// A painted progress bar with 64-bit bounds: a filled and an empty part, each
// in its own style (colour, gradient, line-by-line blend or picture), gaps cut
// across the bar, a 3D border and a percentage text in two colours.

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

class QPainter;
class QTimer;

namespace zk::ui {

enum class TProgressStyle { gsNone, gsColor, gsGradient2, gsGradient3, gsBlending2, gsBlending3, gsBitmap };
// goHorizontal: the colour changes along x; goVertical: along y.
enum class TGradientOrientation { goHorizontal, goVertical };
enum class TDrawBitmap { dbStretch, dbClipp, dbTile };
enum class TProgressBorders { gbNone, gbSingle, gbSunken, gbDeepSunken, gbRaised, gbFatRaised };
enum class TProgressDirection { pdLeftToRight, pdRightToLeft, pdBottomToTop, pdTopToBottom };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// A colour: either a fixed one or a role of the widget's palette, so that the
// system colours follow the desktop's theme (dark themes, high contrast).
class TZkColor {
public:
  // Implicit both ways, so that a setter takes QColor(...) or clHighlight.
  TZkColor(QColor fixed) : fixed_(fixed) {}
  TZkColor(QPalette::ColorRole role) : role_(role) {}

  QColor Resolve(const QPalette& palette) const { return role_ ? palette.color(*role_) : fixed_; }
  friend bool operator==(const TZkColor& a, const TZkColor& b) {
    return a.role_ == b.role_ && (a.role_ || a.fixed_ == b.fixed_);
  }

private:
  QColor fixed_;
  std::optional<QPalette::ColorRole> role_;
};

// The system colours the bar names, as palette roles.
inline const TZkColor clBtnFace{QPalette::Button};
inline const TZkColor clHighlight{QPalette::Highlight};
inline const TZkColor clBtnHighlight{QPalette::Light};
inline const TZkColor clBtnShadow{QPalette::Dark};
inline const TZkColor cl3DDkShadow{QPalette::Shadow};
inline const TZkColor clWindow{QPalette::Base};

// A rectangle by its edges: x from Left to Right - 1, y from Top to
// Bottom - 1. It paints nothing when Right <= Left or Bottom <= Top.
struct TZkEdges {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  QRect ToQRect() const { return IsEmpty() ? QRect() : QRect(Left, Top, Right - Left, Bottom - Top); }
  friend bool operator==(const TZkEdges&, const TZkEdges&) = default;
};

class TZkCustomProgressBar;

// One part of the bar (the filled or the empty one). Every change repaints
// the bar that owns it.
class TZkPgBar {
public:
  TZkPgBar(TZkCustomProgressBar& owner, TZkColor color1, TZkColor color2, TZkColor color3, TProgressStyle style);
  TZkPgBar(const TZkPgBar&) = delete;
  TZkPgBar& operator=(const TZkPgBar&) = delete;

  // Takes the other part's picture, colours, placement, style and
  // orientation (not its rectangle).
  void Assign(const TZkPgBar& source);

  const QImage& Bitmap() const { return bitmap_; }
  void SetBitmap(const QImage& value);
  const TZkColor& Color1() const { return color1_; }
  void SetColor1(const TZkColor& value);
  const TZkColor& Color2() const { return color2_; }
  void SetColor2(const TZkColor& value);
  const TZkColor& Color3() const { return color3_; }
  void SetColor3(const TZkColor& value);
  TDrawBitmap DrawBitmap() const { return drawBitmap_; }
  void SetDrawBitmap(TDrawBitmap value);
  TProgressStyle Style() const { return style_; }
  void SetStyle(TProgressStyle value);
  TGradientOrientation Orientation() const { return orientation_; }
  void SetOrientation(TGradientOrientation value);

  // Where the part was painted last.
  const TZkEdges& Rect() const { return rect_; }

private:
  friend class TZkCustomProgressBar;
  template <class T>
  void Change(T& field, const T& value);

  TZkCustomProgressBar& owner_;
  QImage bitmap_;
  TZkColor color1_;
  TZkColor color2_;
  TZkColor color3_;
  TDrawBitmap drawBitmap_ = TDrawBitmap::dbClipp;
  TProgressStyle style_;
  TGradientOrientation orientation_ = TGradientOrientation::goHorizontal;
  TZkEdges rect_;
};

// Where the parts lie in a bar of a given size: the inner rectangle inside
// the border ring, the boundary Z between the parts (x for the horizontal
// directions, y for the vertical ones) and the two parts.
struct TZkProgressGeometry {
  int RingWidth = 0;
  TZkEdges Inner;
  int Boundary = 0;
  TZkEdges Fore;
  TZkEdges Back;
};

class TZkCustomProgressBar : public QWidget {
  Q_OBJECT

public:
  // OnText may replace the text before it is drawn; OnPos sees, and may
  // replace, every new position.
  using TTextEvent = std::function<void(TZkCustomProgressBar& sender, QString& text)>;
  using TPosEvent = std::function<void(TZkCustomProgressBar& sender, std::int64_t& position)>;

  explicit TZkCustomProgressBar(QWidget* parent = nullptr);
  ~TZkCustomProgressBar() override;

  QSize sizeHint() const override { return {150, 20}; }

  // The whole bar painted into the rectangle (its size stands for the
  // control's): background, parts, gaps, text and border. The parts keep the
  // rectangles of this paint.
  void PaintBar(QPainter& painter, const QRect& rect);
  TZkProgressGeometry Geometry(QSize size) const;

  // Min <= Max always; a new bound moves the position inside without OnPos.
  std::int64_t Min() const { return min_; }
  void SetMin(std::int64_t value);
  std::int64_t Max() const { return max_; }
  void SetMax(std::int64_t value);
  // Clamped to Min..Max, then handed to OnPos, whose answer is stored as it
  // is. Repaints also when the value stays.
  std::int64_t Position() const { return position_; }
  void SetPosition(std::int64_t value);
  // Kept for the owner; the bar does not use it.
  std::int64_t Step() const { return step_; }
  void SetStep(std::int64_t value) { step_ = value; }
  // The percentage of Position between Min and Max (0 for an empty range),
  // or Position itself when Percentage is off.
  double Percent() const;

  bool Percentage() const { return percentage_; }
  void SetPercentage(bool value) { Change(percentage_, value); }
  bool TextShow() const { return textShow_; }
  void SetTextShow(bool value) { Change(textShow_, value); }
  const QString& TextPrefix() const { return textPrefix_; }
  void SetTextPrefix(const QString& value) { Change(textPrefix_, value); }
  const QString& TextSuffix() const { return textSuffix_; }
  void SetTextSuffix(const QString& value) { Change(textSuffix_, value); }
  // The text colour over the empty part (and over the filled part when that
  // paints nothing of its own, style gsNone).
  const TZkColor& TextForeColor() const { return textForeColor_; }
  void SetTextForeColor(const TZkColor& value) { Change(textForeColor_, value); }
  // The text colour over the filled part.
  const TZkColor& TextBackColor() const { return textBackColor_; }
  void SetTextBackColor(const TZkColor& value) { Change(textBackColor_, value); }
  TAlignment TextAlign() const { return textAlign_; }
  void SetTextAlign(TAlignment value) { Change(textAlign_, value); }
  // Shows under style gsNone, in the gaps and in the rings inside the border.
  const TZkColor& BackroundColor() const { return backroundColor_; }
  void SetBackroundColor(const TZkColor& value) { Change(backroundColor_, value); }

  TZkPgBar& BarBack() { return barBack_; }
  const TZkPgBar& BarBack() const { return barBack_; }
  void SetBarBack(const TZkPgBar& value) { barBack_.Assign(value); }
  TZkPgBar& BarFore() { return barFore_; }
  const TZkPgBar& BarFore() const { return barFore_; }
  void SetBarFore(const TZkPgBar& value) { barFore_.Assign(value); }

  TProgressBorders Border() const { return border_; }
  void SetBorder(TProgressBorders value) { Change(border_, value); }
  // The light and the dark line of gbSingle.
  const TZkColor& BorderColor1() const { return borderColor1_; }
  void SetBorderColor1(const TZkColor& value) { Change(borderColor1_, value); }
  const TZkColor& BorderColor2() const { return borderColor2_; }
  void SetBorderColor2(const TZkColor& value) { Change(borderColor2_, value); }
  int BorderInnerSize() const { return borderInnerSize_; }
  void SetBorderInnerSize(int value) { Change(borderInnerSize_, value); }

  bool DashFore() const { return dashFore_; }
  void SetDashFore(bool value) { Change(dashFore_, value); }
  bool DashBack() const { return dashBack_; }
  void SetDashBack(bool value) { Change(dashBack_, value); }
  int DashWidth() const { return dashWidth_; }
  void SetDashWidth(int value) { Change(dashWidth_, value); }
  int DashSpace() const { return dashSpace_; }
  void SetDashSpace(int value) { Change(dashSpace_, value); }

  TProgressDirection Direction() const { return direction_; }
  void SetDirection(TProgressDirection value) { Change(direction_, value); }

  // The refresh timer re-applies the position (OnPos and a repaint) at this
  // interval while it runs.
  bool AutoRefresh() const;
  void SetAutoRefresh(bool value);
  int RefreshIntervallum() const;
  void SetRefreshIntervallum(int milliseconds);

  void SetOnText(TTextEvent handler) { onText_ = std::move(handler); }
  void SetOnPos(TPosEvent handler) { onPos_ = std::move(handler); }

  // The text as it is drawn: prefix, the number, suffix, after OnText.
  QString DisplayText();

protected:
  void paintEvent(QPaintEvent* event) override;
  // The refresh timer's tick: sets the position to itself.
  virtual void RefreshPosition();

private:
  friend class TZkPgBar;
  template <class T>
  void Change(T& field, const T& value) {
    if (field == value) return;
    field = value;
    update();
  }

  void PaintPart(QPainter& painter, const TZkPgBar& part, const TZkProgressGeometry& geometry, QSize size) const;
  void PaintDashes(QPainter& painter, const TZkProgressGeometry& geometry) const;
  void PaintText(QPainter& painter, const TZkProgressGeometry& geometry, QSize size);
  void PaintBorder(QPainter& painter, QSize size) const;
  QColor Resolve(const TZkColor& color) const { return color.Resolve(palette()); }

  std::int64_t min_ = 0;
  std::int64_t max_ = 100;
  std::int64_t position_ = 0;
  std::int64_t step_ = 0;
  bool percentage_ = true;
  bool textShow_ = false;
  QString textPrefix_;
  QString textSuffix_;
  TZkColor textForeColor_ = clHighlight;
  TZkColor textBackColor_ = clBtnFace;
  TAlignment textAlign_ = TAlignment::taCenter;
  TZkColor backroundColor_ = clBtnFace;
  TZkPgBar barBack_;
  TZkPgBar barFore_;
  TProgressBorders border_ = TProgressBorders::gbSunken;
  TZkColor borderColor1_ = clBtnHighlight;
  TZkColor borderColor2_ = clBtnShadow;
  int borderInnerSize_ = 1;
  bool dashFore_ = true;
  bool dashBack_ = false;
  int dashWidth_ = 10;
  int dashSpace_ = 2;
  TProgressDirection direction_ = TProgressDirection::pdLeftToRight;
  QTimer* refreshTimer_;
  TTextEvent onText_;
  TPosEvent onPos_;
};

// The bar as windows place it: the same control with its scalar properties
// open to Qt's property system (designer, bindings, tests by name).
class TZkProgressBar : public TZkCustomProgressBar {
  Q_OBJECT
  Q_PROPERTY(qint64 Min READ Min WRITE SetMin)
  Q_PROPERTY(qint64 Max READ Max WRITE SetMax)
  Q_PROPERTY(qint64 Position READ Position WRITE SetPosition)
  Q_PROPERTY(qint64 Step READ Step WRITE SetStep)
  Q_PROPERTY(double Percent READ Percent)
  Q_PROPERTY(bool Percentage READ Percentage WRITE SetPercentage)
  Q_PROPERTY(bool TextShow READ TextShow WRITE SetTextShow)
  Q_PROPERTY(QString TextPrefix READ TextPrefix WRITE SetTextPrefix)
  Q_PROPERTY(QString TextSuffix READ TextSuffix WRITE SetTextSuffix)
  Q_PROPERTY(int BorderInnerSize READ BorderInnerSize WRITE SetBorderInnerSize)
  Q_PROPERTY(bool DashFore READ DashFore WRITE SetDashFore)
  Q_PROPERTY(bool DashBack READ DashBack WRITE SetDashBack)
  Q_PROPERTY(int DashWidth READ DashWidth WRITE SetDashWidth)
  Q_PROPERTY(int DashSpace READ DashSpace WRITE SetDashSpace)
  Q_PROPERTY(bool AutoRefresh READ AutoRefresh WRITE SetAutoRefresh)
  Q_PROPERTY(int RefreshIntervallum READ RefreshIntervallum WRITE SetRefreshIntervallum)

public:
  using TZkCustomProgressBar::TZkCustomProgressBar;
};

// The look of the run and restore windows' bars: a vertical three-colour
// gradient from the window colour to the highlight, the percentage in the
// fields' text colour so that it reads on a dark theme too.
void SetUpWindowBar(TZkProgressBar& bar);

}  // namespace zk::ui
