#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <vector>

class QTimer;

// Lightness, hue and saturation on the 0..240 scale the bar's shading uses.
struct tHlsC {
  int mH = 0;
  int mL = 0;
  int mS = 0;
  bool operator==(const tHlsC &) const = default;
};

// The integer RGB <-> HLS conversion (HLSMAX 240, RGBMAX 255, undefined hue
// 160); exact, since the bar's colours are defined by its rounding.
tHlsC RgbToHls(QRgb aRgb);
QRgb HlsToRgb(const tHlsC &aHls);

// A segmented progress bar drawn pixel by pixel from colour tables built when a
// property or the size changes: a flat or cylinder-shaded bar running from a
// start to a final colour, optionally cut into blocks, with the part beyond the
// position in an inactive colour or as moving diagonal stripes (the barber
// pole), inside an optional rounded outline, with an optional caption.
class TQProgressBar : public QWidget {
  Q_OBJECT
public:
  enum TQBarOrientation { boHorizontal, boVertical };
  Q_ENUM(TQBarOrientation)
  enum TQBarKind { bkFlat, bkCylinder };
  Q_ENUM(TQBarKind)
  enum TQBarLook { blMetal, blGlass };
  Q_ENUM(TQBarLook)
  enum TAlignment { taLeftJustify, taRightJustify, taCenter };
  Q_ENUM(TAlignment)

  // Setters follow uic's set<Name> rule so that a form can set every property.
  Q_PROPERTY(TQBarOrientation orientation READ orientation WRITE setOrientation)
  Q_PROPERTY(TQBarKind barKind READ barKind WRITE setBarKind)
  Q_PROPERTY(TQBarLook barLook READ barLook WRITE setBarLook)
  Q_PROPERTY(bool roundCorner READ roundCorner WRITE setRoundCorner)
  Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)
  Q_PROPERTY(QColor barColor READ barColor WRITE setBarColor)
  Q_PROPERTY(bool BarberPole READ barberPole WRITE setBarberPole)
  Q_PROPERTY(QColor BPColor1 READ bpColor1 WRITE setBPColor1)
  Q_PROPERTY(QColor BPColor2 READ bpColor2 WRITE setBPColor2)
  Q_PROPERTY(QColor startColor READ startColor WRITE setStartColor)
  Q_PROPERTY(QColor finalColor READ finalColor WRITE setFinalColor)
  Q_PROPERTY(bool showInactivePos READ showInactivePos WRITE setShowInactivePos)
  Q_PROPERTY(bool invertInactPos READ invertInactPos WRITE setInvertInactPos)
  Q_PROPERTY(QColor inactivePosColor READ inactivePosColor WRITE setInactivePosColor)
  Q_PROPERTY(bool shaped READ shaped WRITE setShaped)
  Q_PROPERTY(QColor shapeColor READ shapeColor WRITE setShapeColor)
  Q_PROPERTY(int blockSize READ blockSize WRITE setBlockSize)
  Q_PROPERTY(int spaceSize READ spaceSize WRITE setSpaceSize)
  Q_PROPERTY(bool showFullBlock READ showFullBlock WRITE setShowFullBlock)
  Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
  Q_PROPERTY(int position READ position WRITE setPosition)
  Q_PROPERTY(bool hideOnTerminate READ hideOnTerminate WRITE setHideOnTerminate)
  Q_PROPERTY(QString caption READ caption WRITE setCaption)
  Q_PROPERTY(TAlignment captionAlign READ captionAlign WRITE setCaptionAlign)
  Q_PROPERTY(bool AutoCaption READ autoCaption WRITE setAutoCaption)
  Q_PROPERTY(bool AutoHint READ autoHint WRITE setAutoHint)
  Q_PROPERTY(bool ShowPosAsPct READ showPosAsPct WRITE setShowPosAsPct)

public:
  explicit TQProgressBar(QWidget *aParent = nullptr);
  ~TQProgressBar() override;

  TQBarOrientation orientation() const { return mOrientation; }
  void setOrientation(TQBarOrientation aValue);
  TQBarKind barKind() const { return mBarKind; }
  void setBarKind(TQBarKind aValue);
  TQBarLook barLook() const { return mBarLook; }
  void setBarLook(TQBarLook aValue);
  bool roundCorner() const { return mRoundCorner; }
  void setRoundCorner(bool aValue);
  QColor backgroundColor() const { return QColor(mBackgroundColor); }
  void setBackgroundColor(const QColor &aValue);
  QColor barColor() const { return QColor(mStartColor); }
  void setBarColor(const QColor &aValue);
  bool barberPole() const { return mBarberPole; }
  void setBarberPole(bool aValue);
  QColor bpColor1() const { return QColor(mBPColor1); }
  void setBPColor1(const QColor &aValue);
  QColor bpColor2() const { return QColor(mBPColor2); }
  void setBPColor2(const QColor &aValue);
  QColor startColor() const { return QColor(mStartColor); }
  void setStartColor(const QColor &aValue);
  QColor finalColor() const { return QColor(mFinalColor); }
  void setFinalColor(const QColor &aValue);
  bool showInactivePos() const { return mShowInactivePos; }
  void setShowInactivePos(bool aValue);
  bool invertInactPos() const { return mInvertInactPos; }
  void setInvertInactPos(bool aValue);
  QColor inactivePosColor() const { return QColor(mInactivePosColor); }
  void setInactivePosColor(const QColor &aValue);
  bool shaped() const { return mShaped; }
  void setShaped(bool aValue);
  QColor shapeColor() const { return QColor(mShapeColor); }
  void setShapeColor(const QColor &aValue);
  int blockSize() const { return mBlockSize; }
  void setBlockSize(int aValue);
  int spaceSize() const { return mSpaceSize; }
  void setSpaceSize(int aValue);
  bool showFullBlock() const { return mShowFullBlock; }
  void setShowFullBlock(bool aValue);
  int maximum() const { return mMaximum; }
  void setMaximum(int aValue);
  int position() const { return mPosition; }
  void setPosition(int aValue);
  bool hideOnTerminate() const { return mHideOnTerminate; }
  void setHideOnTerminate(bool aValue);
  QString caption() const { return mCaption; }
  void setCaption(const QString &aValue);
  TAlignment captionAlign() const { return mCaptionAlign; }
  void setCaptionAlign(TAlignment aValue);
  bool autoCaption() const { return mAutoCaption; }
  void setAutoCaption(bool aValue);
  bool autoHint() const { return mAutoHint; }
  void setAutoHint(bool aValue);
  bool showPosAsPct() const { return mShowPosAsPct; }
  void setShowPosAsPct(bool aValue);

  QSize sizeHint() const override;

  // Derived state, read by tests and by whoever lays the bar out.
  int Border() const { return mBorder; }
  int B2() const { return 2 * mBorder; }
  // Main dimension less both borders.
  int Length() const;
  // Cross dimension less both borders, plus one.
  int Thickness() const;
  int MinPixel() const { return B2() + 1; }
  // The coordinate up to which the bar is active; 0 for an empty bar.
  int Pixel() const { return mPixel; }
  double Percent() const { return mPercent; }
  bool SameColours() const { return mStartColor == mFinalColor; }
  bool BlocksOn() const { return mBlockSize > 0 && mSpaceSize > 0; }
  bool Phase() const { return mPhase; }
  QPoint CaptionPos() const { return QPoint(mCaptionX, mCaptionY); }
  // True while the barber pole's timer exists.
  bool BarberPoleRunning() const { return mPoleTimer != nullptr; }

  struct tLayoutEntryC {
    bool mInBlock = false;
    int mBlockEnd = 0;
  };
  const std::vector<tLayoutEntryC> &Layout() const { return mLayout; }
  // Colour tables: per main coordinate the colours across the bar, and the
  // inactive and stripe colours across it.
  const std::vector<std::vector<QRgb>> &ActiveColours() const { return mActiveColours; }
  const std::vector<QRgb> &InactiveColours() const { return mInactiveColours; }
  const std::vector<QRgb> &StripeA() const { return mStripeA; }
  const std::vector<QRgb> &StripeB() const { return mStripeB; }

  // The colour at main coordinate i of the gradient from start to final.
  static QRgb GradientColour(QRgb aStart, QRgb aFinal, int aI, int aLength);
  // The shading of a colour across aCount entries.
  static std::vector<QRgb> Shade(QRgb aColour, int aCount, TQBarLook aLook);

protected:
  void paintEvent(QPaintEvent *aEvent) override;
  void resizeEvent(QResizeEvent *aEvent) override;

private:
  int MainSize() const;
  int CrossSize() const;
  void BuildLayout();
  void BuildColourTables();
  void PlaceCaption();
  QString PositionText(const char *aPercentSuffix) const;
  void PoleTick();
  void PaintHorizontal(QImage &aImage) const;
  void PaintVertical(QImage &aImage) const;

  TQBarOrientation mOrientation = boHorizontal;
  TQBarKind mBarKind = bkFlat;
  TQBarLook mBarLook = blMetal;
  bool mRoundCorner = true;
  QRgb mBackgroundColor = qRgb(255, 255, 255);
  bool mBarberPole = false;
  QRgb mBPColor1 = qRgb(128, 128, 128);
  QRgb mBPColor2 = qRgb(192, 192, 192);
  QRgb mStartColor = qRgb(0, 255, 0);
  QRgb mFinalColor = qRgb(0, 255, 0);
  bool mShowInactivePos = false;
  bool mInvertInactPos = false;
  QRgb mInactivePosColor = qRgb(128, 128, 128);
  bool mShaped = true;
  QRgb mShapeColor = qRgb(0, 60, 116);
  int mBlockSize = 0;
  int mSpaceSize = 0;
  bool mShowFullBlock = false;
  int mMaximum = 100;
  int mPosition = 0;
  bool mHideOnTerminate = false;
  QString mCaption;
  TAlignment mCaptionAlign = taLeftJustify;
  bool mAutoCaption = false;
  bool mAutoHint = false;
  bool mShowPosAsPct = false;

  int mBorder = 2;
  int mPixel = 0;
  double mPercent = 0;
  bool mPhase = false;
  bool mSuspended = false;
  int mCaptionX = 0;
  int mCaptionY = 0;
  std::vector<tLayoutEntryC> mLayout;
  std::vector<std::vector<QRgb>> mActiveColours;
  std::vector<QRgb> mInactiveColours;
  std::vector<QRgb> mStripeA;
  std::vector<QRgb> mStripeB;
  QTimer *mPoleTimer = nullptr;
  QTimer *mHideTimer = nullptr;
  QImage mBuffer;
};
