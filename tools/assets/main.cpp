// Draws Melodra's bundled pictures (title, banner, logo, icons, demo buttons,
// episode list icons, speed slider, transport buttons). Everything is drawn
// with QPainter so the PNGs can be regenerated bit-for-bit; text goes through
// QPainterPath to avoid hinting differences.
//
// Usage: melodra-assets <output-dir>

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

// Palette: deep indigo with a warm amber accent.
const QColor kIndigo(0x2f, 0x2a, 0x74);
const QColor kIndigoDeep(0x1d, 0x19, 0x4d);
const QColor kViolet(0x5b, 0x46, 0xa6);
const QColor kPlum(0x6a, 0x3a, 0x8c);
const QColor kAmber(0xf2, 0xa3, 0x3a);
const QColor kAmberDeep(0xd9, 0x7f, 0x2a);
const QColor kLavender(0xc9, 0xc0, 0xf0);
const QColor kMist(0xe8, 0xe5, 0xf6);
const QColor kSlate(0x66, 0x63, 0x7d);
const QColor kWhite(0xff, 0xff, 0xff);

QColor withAlpha(QColor c, int alpha) {
  c.setAlpha(alpha);
  return c;
}

QImage canvas(int w, int h, const QColor &fill = Qt::transparent) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(fill);
  return img;
}

void prepare(QPainter &p) {
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::SmoothPixmapTransform, true);
  p.setPen(Qt::NoPen);
}

QFont font(const QString &family, qreal pixelSize, int weight = QFont::Normal, bool italic = false,
           qreal spacing = 0) {
  QFont f(family);
  f.setPixelSize(qRound(pixelSize * 4)); // scaled down again in textPath()
  f.setWeight(QFont::Weight(weight));
  f.setItalic(italic);
  f.setHintingPreference(QFont::PreferNoHinting);
  f.setStyleStrategy(QFont::PreferOutline);
  if (spacing != 0)
    f.setLetterSpacing(QFont::AbsoluteSpacing, spacing * 4);
  return f;
}

// Outline of a text run with its baseline starting at `origin`. Fonts are
// laid out at 4x and scaled so fractional sizes and positions stay exact.
QPainterPath textPath(const QString &text, const QFont &f, QPointF origin) {
  QPainterPath path;
  path.addText(QPointF(0, 0), f, text);
  QTransform t;
  t.translate(origin.x(), origin.y());
  t.scale(0.25, 0.25);
  return t.map(path);
}

qreal textWidth(const QString &text, const QFont &f) {
  return textPath(text, f, QPointF()).boundingRect().right();
}

// --- the mark --------------------------------------------------------------
// An eighth note whose flag flows out as two sound waves. Drawn in a
// 100x100 design box mapped onto `box`.
void drawMark(QPainter &p, const QRectF &box, const QColor &note, const QColor &wave,
              const QColor &wave2) {
  p.save();
  p.translate(box.topLeft());
  p.scale(box.width() / 100.0, box.height() / 100.0);
  p.setPen(Qt::NoPen);

  // Waves first so the stem covers their roots.
  QPen wp(wave, 8.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(wp);
  p.setBrush(Qt::NoBrush);
  QPainterPath w1;
  w1.moveTo(56, 17);
  w1.cubicTo(69, 7, 79, 35, 93, 23);
  p.drawPath(w1);

  wp.setColor(wave2);
  wp.setWidthF(6.0);
  p.setPen(wp);
  QPainterPath w2;
  w2.moveTo(56, 35);
  w2.cubicTo(66, 28, 75, 50, 87, 41);
  p.drawPath(w2);

  p.setPen(Qt::NoPen);
  p.setBrush(note);
  p.drawRoundedRect(QRectF(49, 12, 8.5, 64), 4.25, 4.25);

  p.save();
  p.translate(37, 76);
  p.rotate(-22);
  p.drawEllipse(QPointF(0, 0), 20, 14);
  p.restore();

  p.restore();
}

// --- instruments -----------------------------------------------------------

// Acoustic guitar, upright, in a design box about 44 wide (centred on x=0)
// and running from y=-20 (headstock) to y=92 (tail).
QPainterPath guitarBody() {
  // Right half as cubic segments, mirrored for the left.
  const QPointF pts[] = {
      {0, 30},  {10, 30}, {15, 36}, {15, 44}, {15, 51}, {11, 53}, {12, 58},
      {13, 62}, {21, 64}, {21, 73}, {21, 85}, {11, 92}, {0, 92},
  };
  QPainterPath path;
  path.moveTo(pts[0]);
  for (int i = 1; i + 2 < 13; i += 3)
    path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
  for (int i = 12; i - 3 >= 0; i -= 3) {
    auto m = [](QPointF q) { return QPointF(-q.x(), q.y()); };
    path.cubicTo(m(pts[i - 1]), m(pts[i - 2]), m(pts[i - 3]));
  }
  path.closeSubpath();
  return path;
}

struct GuitarColors {
  QColor body, neck, detail;
};

void drawGuitar(QPainter &p, const GuitarColors &c, qreal neck = 6, bool strings = false) {
  p.setPen(Qt::NoPen);
  // Neck and headstock behind the body.
  p.setBrush(c.neck);
  p.drawRect(QRectF(-neck / 2, -6, neck, 40));
  QPainterPath head;
  const qreal hn = neck / 2 + 0.2, hw = neck / 2 + 2.2;
  head.moveTo(-hn, -4);
  head.lineTo(-hw, -19);
  head.quadTo(-hw, -21, -hw + 2, -21);
  head.lineTo(hw - 2, -21);
  head.quadTo(hw, -21, hw, -19);
  head.lineTo(hn, -4);
  head.closeSubpath();
  p.drawPath(head);

  p.setBrush(c.body);
  p.drawPath(guitarBody());

  p.setBrush(c.detail);
  p.drawEllipse(QPointF(0, 50), 6, 6);
  p.drawRoundedRect(QRectF(-8, 74, 16, 4), 2, 2);

  if (strings) {
    QPen sp(withAlpha(c.detail, 150), 0.6);
    p.setPen(sp);
    for (int i = -1; i <= 1; ++i)
      p.drawLine(QPointF(i * 1.3, -4), QPointF(i * 1.3, 75));
    p.setPen(Qt::NoPen);
  }
}

// A run of keyboard keys starting at C, filling `r`.
void drawKeys(QPainter &p, const QRectF &r, int whiteKeys, const QColor &white, const QColor &black,
              qreal gap, qreal radius) {
  p.setPen(Qt::NoPen);
  const qreal kw = (r.width() + gap) / whiteKeys;
  p.setBrush(white);
  for (int i = 0; i < whiteKeys; ++i) {
    QRectF k(r.left() + i * kw, r.top() - radius, kw - gap, r.height() + radius);
    p.save();
    p.setClipRect(QRectF(k.left(), r.top(), k.width(), r.height()));
    p.drawRoundedRect(k, radius, radius);
    p.restore();
  }
  p.setBrush(black);
  const qreal bw = kw * 0.58;
  for (int i = 0; i < whiteKeys - 1; ++i) {
    const int n = i % 7;
    if (n == 2 || n == 6)
      continue; // no black key between E-F and B-C
    const qreal cx = r.left() + (i + 1) * kw - gap / 2;
    QRectF k(cx - bw / 2, r.top() - radius, bw, r.height() * 0.6 + radius);
    p.save();
    p.setClipRect(QRectF(k.left(), r.top(), k.width(), k.height()));
    p.drawRoundedRect(k, radius * 0.8, radius * 0.8);
    p.restore();
  }
}

struct DrumColors {
  QColor shell, head, rim, lug, stick;
};

// Snare drum with crossed sticks in a 100x100 design box.
void drawDrum(QPainter &p, const DrumColors &c, bool sticks = true, qreal stickWidth = 4.5) {
  p.setPen(Qt::NoPen);
  const qreal cx = 50, rx = 40, ry = 12, top = 44, bottom = 78;

  QPainterPath shell;
  shell.moveTo(cx - rx, top);
  shell.lineTo(cx - rx, bottom);
  shell.arcTo(QRectF(cx - rx, bottom - ry, 2 * rx, 2 * ry), 180, 180);
  shell.lineTo(cx + rx, top);
  shell.closeSubpath();
  p.setBrush(c.shell);
  p.drawPath(shell);

  // Hoops at top and bottom.
  p.setBrush(c.rim);
  QPainterPath hoop;
  hoop.addRect(QRectF(cx - rx, top, 2 * rx, 6));
  hoop.addEllipse(QRectF(cx - rx, top + 6 - ry, 2 * rx, 2 * ry));
  QPainterPath lowHoop;
  lowHoop.moveTo(cx - rx, bottom - 6);
  lowHoop.lineTo(cx - rx, bottom);
  lowHoop.arcTo(QRectF(cx - rx, bottom - ry, 2 * rx, 2 * ry), 180, 180);
  lowHoop.lineTo(cx + rx, bottom - 6);
  lowHoop.arcTo(QRectF(cx - rx, bottom - 6 - ry, 2 * rx, 2 * ry), 0, -180);
  lowHoop.closeSubpath();
  p.drawPath(lowHoop);
  p.drawPath(hoop.simplified());

  // Tension rods, spaced as if wrapping round the shell.
  p.setBrush(c.lug);
  for (int i = 1; i <= 5; ++i) {
    const qreal a = M_PI * i / 6.0;
    const qreal x = cx - rx * std::cos(a);
    const qreal y = ry * std::sin(a);
    p.drawRoundedRect(QRectF(x - 1.6, top + 6 + y - 2, 3.2, bottom - top - 12 + 2), 1.6, 1.6);
  }

  p.setBrush(c.head);
  p.drawEllipse(QRectF(cx - rx + 2.5, top - ry + 2, 2 * rx - 5, 2 * ry - 4));

  if (sticks) {
    QPen sp(c.stick, stickWidth, Qt::SolidLine, Qt::RoundCap);
    p.setPen(sp);
    p.drawLine(QPointF(16, 6), QPointF(62, 40));
    p.drawLine(QPointF(86, 4), QPointF(40, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(c.stick);
    p.drawEllipse(QPointF(62, 40), stickWidth * 0.75, stickWidth * 0.75);
    p.drawEllipse(QPointF(40, 40), stickWidth * 0.75, stickWidth * 0.75);
  }
}

// A pair of beamed eighth notes; `x`,`y` is the centre of the first head.
void drawBeamedPair(QPainter &p, qreal x, qreal y, qreal dx, qreal dy, qreal size,
                    const QColor &c) {
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  const qreal rx = size * 0.62, ry = size * 0.44, stem = size * 3.2, sw = size * 0.18;
  for (int i = 0; i < 2; ++i) {
    p.save();
    p.translate(x + i * dx, y + i * dy);
    p.rotate(-22);
    p.drawEllipse(QPointF(0, 0), rx, ry);
    p.restore();
    p.drawRect(QRectF(x + i * dx + rx * 0.88 - sw, y + i * dy - stem, sw, stem));
  }
  QPainterPath beam;
  const qreal bx0 = x + rx * 0.88 - sw, bx1 = x + dx + rx * 0.88;
  beam.moveTo(bx0, y - stem);
  beam.lineTo(bx1, y + dy - stem);
  beam.lineTo(bx1, y + dy - stem + size * 0.5);
  beam.lineTo(bx0, y - stem + size * 0.5);
  beam.closeSubpath();
  p.drawPath(beam);
}

void drawEighth(QPainter &p, qreal x, qreal y, qreal size, const QColor &c) {
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  const qreal rx = size * 0.62, ry = size * 0.44, stem = size * 3.2, sw = size * 0.18;
  p.save();
  p.translate(x, y);
  p.rotate(-22);
  p.drawEllipse(QPointF(0, 0), rx, ry);
  p.restore();
  const qreal sx = x + rx * 0.88 - sw;
  p.drawRect(QRectF(sx, y - stem, sw, stem));
  QPainterPath flag;
  flag.moveTo(sx + sw, y - stem);
  flag.cubicTo(sx + sw + size * 0.2, y - stem + size * 1.0, sx + sw + size * 1.3,
               y - stem + size * 1.1, sx + sw + size * 0.9, y - stem + size * 2.2);
  flag.cubicTo(sx + sw + size * 1.0, y - stem + size * 1.5, sx + sw + size * 0.4,
               y - stem + size * 1.2, sx + sw, y - stem + size * 1.1);
  flag.closeSubpath();
  p.drawPath(flag);
}

// --- pictures ----------------------------------------------------------------

QImage titlePicture() {
  QImage img = canvas(604, 81, kWhite);
  QPainter p(&img);
  prepare(p);

  // A faint staff drifting off to the right gives the empty side some music.
  const qreal staffTop = 22, staffGap = 8;
  QLinearGradient fade(330, 0, 604, 0);
  fade.setColorAt(0.0, withAlpha(kLavender, 0));
  fade.setColorAt(0.35, withAlpha(kLavender, 150));
  fade.setColorAt(1.0, withAlpha(kLavender, 90));
  p.setPen(QPen(QBrush(fade), 1.0));
  for (int i = 0; i < 5; ++i) {
    const qreal y = staffTop + i * staffGap + 0.5;
    p.drawLine(QPointF(330, y), QPointF(604, y));
  }
  p.setPen(Qt::NoPen);
  drawEighth(p, 452, staffTop + 3 * staffGap, 8.5, withAlpha(kLavender, 200));
  drawBeamedPair(p, 500, staffTop + 2.5 * staffGap, 24, -staffGap, 8.5, withAlpha(kLavender, 200));
  drawEighth(p, 566, staffTop + 1.5 * staffGap, 8.5, withAlpha(kAmber, 150));

  drawMark(p, QRectF(12, 6, 66, 66), kIndigo, kAmber, kAmberDeep);

  const QFont word = font("DejaVu Serif", 38, QFont::Normal, false, 0.6);
  p.setBrush(kIndigo);
  p.drawPath(textPath("Melodra", word, QPointF(86, 45)));

  const QFont sub = font("DejaVu Sans", 14.5, QFont::Normal, false, 0.4);
  p.setBrush(kSlate);
  p.drawPath(textPath("Choose your lesson collection", sub, QPointF(88, 68)));
  return img;
}

// Height of `path` at horizontal position `x`, for paths that run left to right.
qreal yAt(const QPainterPath &path, qreal x) {
  QPointF prev = path.pointAtPercent(0);
  for (int i = 1; i <= 400; ++i) {
    const QPointF q = path.pointAtPercent(i / 400.0);
    if (q.x() >= x) {
      const qreal t = q.x() == prev.x() ? 0 : (x - prev.x()) / (q.x() - prev.x());
      return prev.y() + t * (q.y() - prev.y());
    }
    prev = q;
  }
  return prev.y();
}

QImage bannerPicture() {
  const int W = 600, H = 145;
  QImage img = canvas(W, H);
  QPainter p(&img);
  prepare(p);

  QLinearGradient bg(0, 0, W, H);
  bg.setColorAt(0.0, kIndigoDeep);
  bg.setColorAt(0.55, kIndigo);
  bg.setColorAt(1.0, kPlum);
  p.fillRect(img.rect(), bg);

  QRadialGradient glow(QPointF(480, 150), 230);
  glow.setColorAt(0.0, withAlpha(kAmber, 70));
  glow.setColorAt(1.0, withAlpha(kAmber, 0));
  p.fillRect(img.rect(), glow);

  // Staff lines sweep across the whole band.
  QPainterPath staff[5];
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(withAlpha(kWhite, 34), 1.1));
  for (int i = 0; i < 5; ++i) {
    const qreal o = i * 8;
    staff[i].moveTo(-10, 104 + o);
    staff[i].cubicTo(160, 64 + o, 300, 122 + o, 610, 40 + o);
    p.drawPath(staff[i]);
  }
  // Notes sit between the subtitle and the instruments, heads on the lines.
  const QColor noteColor = withAlpha(kWhite, 70);
  auto onLine = [&](int line, qreal x) { return yAt(staff[line], x); };
  drawEighth(p, 300, onLine(2, 300), 6.5, noteColor);
  drawBeamedPair(p, 328, onLine(3, 328), 24, onLine(2, 352) - onLine(3, 328), 6.5, noteColor);
  drawEighth(p, 382, (onLine(0, 382) + onLine(1, 382)) / 2, 6.5, withAlpha(kAmber, 130));

  // Tagline.
  const QFont tag = font("DejaVu Sans", 25, QFont::Bold, false, 0.2);
  qreal x = 30;
  const qreal base = 62;
  const QString words[] = {"Learn.", "Practice.", "Play."};
  const QColor colors[] = {kWhite, kWhite, kAmber};
  for (int i = 0; i < 3; ++i) {
    p.setPen(Qt::NoPen);
    p.setBrush(colors[i]);
    p.drawPath(textPath(words[i], tag, QPointF(x, base)));
    x += textWidth(words[i], tag) + 10;
  }
  const QFont sub = font("DejaVu Sans", 12.5, QFont::Normal, false, 0.5);
  p.setBrush(withAlpha(kMist, 215));
  p.drawPath(textPath("Video lessons at your own pace", sub, QPointF(31, 85)));
  p.setBrush(kAmber);
  p.drawRoundedRect(QRectF(31, 98, 36, 3), 1.5, 1.5);

  // Instruments, grouped at the right and cropped by the bottom edge.
  p.save();
  p.translate(500, 38);
  drawDrum(p, {withAlpha(kLavender, 240), kMist, kViolet, withAlpha(kIndigoDeep, 90), kAmber}, true,
           4.5);
  p.restore();

  p.save();
  p.translate(452, 27);
  p.rotate(-22);
  p.scale(1.1, 1.1);
  drawGuitar(p, {kAmber, kAmberDeep, kIndigoDeep}, 7, true);
  p.restore();

  p.setBrush(kIndigoDeep);
  p.drawRoundedRect(QRectF(404, 112, 220, 50), 6, 6);
  drawKeys(p, QRectF(410, 119, 210, 30), 11, kWhite, kIndigoDeep, 2, 2.5);

  return img;
}

// The movie panel's picture while no lesson is open: white like the panel,
// so it sits on it seamlessly at any size, with the mark and the word at
// its heart and a staff of notes running through.
QImage panelLogoPicture() {
  const int W = 640, H = 480;
  QImage img = canvas(W, H, kWhite);
  QPainter p(&img);
  prepare(p);

  QRadialGradient glow(QPointF(W / 2.0, 214), 300);
  glow.setColorAt(0.0, withAlpha(kMist, 255));
  glow.setColorAt(1.0, withAlpha(kMist, 0));
  p.fillRect(img.rect(), glow);

  // A staff sweeping across, fading out towards both edges.
  QLinearGradient fade(0, 0, W, 0);
  fade.setColorAt(0.0, withAlpha(kLavender, 0));
  fade.setColorAt(0.2, withAlpha(kLavender, 170));
  fade.setColorAt(0.8, withAlpha(kLavender, 170));
  fade.setColorAt(1.0, withAlpha(kLavender, 0));
  QPainterPath staff[5];
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QBrush(fade), 1.2));
  for (int i = 0; i < 5; ++i) {
    const qreal o = i * 11;
    staff[i].moveTo(-10, 330 + o);
    staff[i].cubicTo(180, 290 + o, 420, 370 + o, 650, 300 + o);
    p.drawPath(staff[i]);
  }
  p.setPen(Qt::NoPen);
  auto onLine = [&](int line, qreal x) { return yAt(staff[line], x); };
  const QColor note = withAlpha(kViolet, 150);
  drawEighth(p, 120, onLine(3, 120), 9, note);
  drawBeamedPair(p, 168, onLine(2, 168), 30, onLine(1, 198) - onLine(2, 168), 9, note);
  drawEighth(p, 470, onLine(1, 470), 9, withAlpha(kAmber, 200));
  drawBeamedPair(p, 508, onLine(3, 508), 30, onLine(2, 538) - onLine(3, 508), 9, note);

  // The mark and the word, centred as one.
  const QFont word = font("DejaVu Serif", 64, QFont::Normal, false, 1.2);
  const qreal markSize = 112, gap = 14;
  const qreal total = markSize + gap + textWidth("Melodra", word);
  const qreal left = (W - total) / 2;
  drawMark(p, QRectF(left, 132, markSize, markSize), kIndigo, kAmber, kAmberDeep);
  p.setBrush(kIndigo);
  p.drawPath(textPath("Melodra", word, QPointF(left + markSize + gap, 212)));

  const QFont tag = font("DejaVu Sans", 17, QFont::Bold, false, 0.6);
  const QString words[] = {"Learn.", "Practice.", "Play."};
  const QColor colors[] = {kIndigo, kIndigo, kAmberDeep};
  qreal width = 0;
  for (const QString &w : words)
    width += textWidth(w, tag);
  width += 2 * 10;
  qreal x = (W - width) / 2;
  for (int i = 0; i < 3; ++i) {
    p.setBrush(colors[i]);
    p.drawPath(textPath(words[i], tag, QPointF(x, 270)));
    x += textWidth(words[i], tag) + 10;
  }
  const QFont sub = font("DejaVu Sans", 12, QFont::Normal, false, 0.4);
  const QString hint = "Choose a lesson below, or visit the Shop";
  p.setBrush(kSlate);
  p.drawPath(textPath(hint, sub, QPointF((W - textWidth(hint, sub)) / 2, 420)));
  return img;
}

QImage logoPicture() {
  QImage img = canvas(193, 36);
  QPainter p(&img);
  prepare(p);
  drawMark(p, QRectF(0, 1, 34, 34), kIndigo, kAmber, kAmberDeep);
  // Size the word so it runs to the right edge of the picture.
  const qreal left = 40, right = 191;
  const qreal probe = textWidth("Melodra", font("DejaVu Serif", 27, QFont::Normal, false, 0.5));
  const qreal size = 27 * (right - left) / probe;
  const QFont word = font("DejaVu Serif", size, QFont::Normal, false, 0.5 * size / 27);
  p.setBrush(kIndigo);
  p.drawPath(textPath("Melodra", word, QPointF(left, 18 + size * 0.36)));
  return img;
}

void drawIconTile(QPainter &p, const QRectF &r, qreal radius) {
  QLinearGradient g(r.topLeft(), r.bottomRight());
  g.setColorAt(0.0, kViolet);
  g.setColorAt(0.6, kIndigo);
  g.setColorAt(1.0, kIndigoDeep);
  p.setBrush(g);
  p.drawRoundedRect(r, radius, radius);

  // Soft light from the top edge.
  QLinearGradient sheen(r.topLeft(), QPointF(r.left(), r.center().y()));
  sheen.setColorAt(0.0, withAlpha(kWhite, 40));
  sheen.setColorAt(1.0, withAlpha(kWhite, 0));
  p.setBrush(sheen);
  p.drawRoundedRect(r, radius, radius);
}

QImage iconPicture(int size) {
  QImage img = canvas(size, size);
  QPainter p(&img);
  prepare(p);
  const qreal s = size / 256.0;
  const QRectF tile(12 * s, 12 * s, 232 * s, 232 * s);
  drawIconTile(p, tile, 52 * s);
  const qreal m = 168 * s;
  // The mark's ink spans roughly x 17..97, y 10..90 of its design box.
  drawMark(p, QRectF(tile.center().x() - 0.57 * m, tile.center().y() - 0.50 * m, m, m), kWhite,
           kAmber, QColor(0xf7, 0xc2, 0x6b));
  return img;
}

// --- demo collection buttons ---------------------------------------------

using Glyph = std::function<void(QPainter &, const QRectF &)>;

QImage buttonPicture(const QColor &base, bool pressed, const Glyph &glyph) {
  const int W = 54, H = 48;
  QImage img = canvas(W, H);
  QPainter p(&img);
  prepare(p);

  const qreal shift = pressed ? 1 : 0;
  const QRectF tile(2 + shift, 1 + shift, 50, 44);
  const qreal radius = 9;

  // Drop shadow; shorter when pressed so the tile seems to sink.
  const int shadow = pressed ? 1 : 2;
  for (int i = shadow; i >= 1; --i) {
    p.setBrush(withAlpha(QColor(0x10, 0x0c, 0x30), pressed ? 50 : 40 + 15 * (shadow - i)));
    p.drawRoundedRect(tile.translated(0, i).adjusted(-0.5, 0, 0.5, 0.5), radius, radius);
  }

  QLinearGradient g(tile.topLeft(), tile.bottomLeft());
  if (pressed) {
    g.setColorAt(0.0, base.darker(150));
    g.setColorAt(1.0, base.darker(120));
  } else {
    g.setColorAt(0.0, base.lighter(125));
    g.setColorAt(1.0, base);
  }
  p.setBrush(g);
  p.drawRoundedRect(tile, radius, radius);

  if (pressed) {
    // Inner shadow along the top edge.
    QLinearGradient in(tile.topLeft(), tile.topLeft() + QPointF(0, 7));
    in.setColorAt(0.0, withAlpha(QColor(0, 0, 0), 80));
    in.setColorAt(1.0, withAlpha(QColor(0, 0, 0), 0));
    p.setBrush(in);
    p.drawRoundedRect(tile, radius, radius);
  } else {
    // Thin highlight just inside the top edge.
    p.setBrush(Qt::NoBrush);
    QLinearGradient hl(tile.topLeft(), tile.bottomLeft());
    hl.setColorAt(0.0, withAlpha(kWhite, 110));
    hl.setColorAt(0.5, withAlpha(kWhite, 0));
    p.setPen(QPen(QBrush(hl), 1.0));
    p.drawRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    p.setPen(Qt::NoPen);
  }

  p.save();
  p.setClipPath([&] {
    QPainterPath c;
    c.addRoundedRect(tile, radius, radius);
    return c;
  }());
  if (pressed)
    p.setOpacity(0.9);
  glyph(p, tile);
  p.restore();
  return img;
}

void guitarGlyph(QPainter &p, const QRectF &tile) {
  p.save();
  // Centre on the body a little, it carries most of the visual weight.
  p.translate(tile.center() + QPointF(2.5, 1.5));
  p.rotate(40);
  p.scale(0.38, 0.38);
  p.translate(0, -42);
  drawGuitar(p, {kWhite, kMist, kAmberDeep}, 8);
  p.restore();
}

void pianoGlyph(QPainter &p, const QRectF &tile) {
  const QRectF keys(tile.left() + 9, tile.top() + 11, tile.width() - 18, tile.height() - 22);
  p.setBrush(withAlpha(kIndigoDeep, 120));
  p.drawRoundedRect(keys.adjusted(-2, -2, 2, 2), 4, 4);
  drawKeys(p, keys, 6, kWhite, kIndigoDeep, 1.2, 2);
  p.setBrush(kAmber);
  p.drawRect(QRectF(keys.left(), keys.top(), keys.width(), 2));
}

void drumGlyph(QPainter &p, const QRectF &tile) {
  p.save();
  p.translate(tile.left() + 7, tile.top() + 5);
  p.scale(0.36, 0.36);
  drawDrum(p, {kWhite, kMist, withAlpha(kIndigoDeep, 200), withAlpha(kIndigoDeep, 130), kAmber},
           true, 7);
  p.restore();
}

// --- episode list icons ----------------------------------------------------
// 16 px originals with 32 px twins for 2x screens. Straight edges sit on
// whole pixels and diagonals are hard pixel stairs, so nothing goes soft at
// 1:1; only round outlines are antialiased.

const QColor kCrimson(0xdc, 0x4a, 0x5c);
const QColor kCrimsonDeep(0xb3, 0x2d, 0x44);
const QColor kGreen(0x3c, 0xb5, 0x70);
const QColor kGreenDeep(0x23, 0x8a, 0x52);
const QColor kDusk(0x70, 0x6c, 0x98);
const QColor kStaff(0x9a, 0x8f, 0xd6);

void run(QPainter &p, int x, int y, int w, const QColor &c) {
  p.fillRect(QRect(x, y, w, 1), c);
}

// A 45-degree stroke: `len` rows of `w` pixels, each row shifted by dx.
void slant(QPainter &p, int x, int y, int len, int w, int dx, int dy, const QColor &c) {
  for (int i = 0; i < len; ++i)
    run(p, x + i * dx, y + i * dy, w, c);
}

// Hand-placed pixels, one character per `s` x `s` block; characters not in
// `ink` (such as '.') stay clear.
void plot(QPainter &p, int x0, int y0, int s, std::initializer_list<const char *> rows,
          std::initializer_list<std::pair<char, QColor>> ink) {
  int y = y0;
  for (const char *row : rows) {
    for (int i = 0; row[i]; ++i)
      for (const auto &k : ink)
        if (row[i] == k.first)
          p.fillRect(QRect(x0 + i * s, y, s, s), k.second);
    y += s;
  }
}

QLinearGradient vertical(qreal top, qreal bottom, const QColor &a, const QColor &b) {
  QLinearGradient g(0, top, 0, bottom);
  g.setColorAt(0, a);
  g.setColorAt(1, b);
  return g;
}

void disc(QPainter &p, int size, const QColor &top, const QColor &bottom) {
  const qreal m = size / 16.0;
  p.setBrush(vertical(m, size - m, top, bottom));
  p.drawEllipse(QRectF(m, m, size - 2 * m, size - 2 * m));
}

QImage movieIcon(int size) {
  QImage img = canvas(size, size);
  QPainter p(&img);
  prepare(p);
  const int s = size / 16;
  // A film frame: sprocket holes along top and bottom, play triangle between.
  p.setBrush(vertical(2 * s, 15 * s, kViolet, kIndigo));
  p.drawRoundedRect(QRectF(0, 2 * s, size, 13 * s), 2 * s, 2 * s);
  for (int x : {2, 7, 12}) {
    p.fillRect(QRect(x * s, 3 * s, 2 * s, s), kLavender);
    p.fillRect(QRect(x * s, 13 * s, 2 * s, s), kLavender);
  }
  // Two pixels wider per row so the edges step evenly; right of centre
  // because a triangle's weight sits near its base.
  const int top = 5 * s, rows = 7 * s;
  for (int i = 0; i < rows; ++i) {
    const int d = std::min(i, rows - 1 - i);
    run(p, 6 * s, top + i, 2 * d + (s == 1 ? 1 : 2), kAmber);
  }
  return img;
}

QImage pdfIcon(int size) {
  QImage img = canvas(size, size);
  QPainter p(&img);
  prepare(p);
  const int s = size / 16;
  const int left = 2 * s, right = 14 * s - 1, fold = 10 * s, bottom = size - 1;
  const int k = right - fold; // rows down to the flap's lower edge
  // Page outline and paper; the top right corner is cut along a diagonal.
  for (int y = 0; y <= bottom; ++y) {
    const int r = y < k ? fold + y : right;
    run(p, left, y, r - left + 1, kIndigo);
    if (y > 0 && y < bottom)
      run(p, left + 1, y, r - left - 1, kWhite);
  }
  // Turned-down flap.
  for (int y = 1; y < k; ++y) {
    run(p, fold, y, 1, kViolet);
    run(p, fold + 1, y, y - 1, kLavender);
  }
  run(p, fold, k, right - fold, kViolet);

  // A few staff lines above the label.
  for (int i = 0; i < 3; ++i)
    run(p, 4 * s, (2 + 2 * i) * s, (i < 2 ? 5 : 8) * s, kStaff);

  // Label band sticking out on the left, as file-type badges do.
  p.fillRect(QRect(0, 8 * s, 13 * s, 7 * s), kCrimson);
  plot(p, s, 9 * s, s, {"###.##..###", "#.#.#.#.#..", "###.#.#.##.", "#...#.#.#..", "#...##..#.."},
       {{'#', kWhite}});
  return img;
}

QImage errorIcon(int size) {
  QImage img = canvas(size, size);
  QPainter p(&img);
  prepare(p);
  disc(p, size, kCrimson, kCrimsonDeep);
  const int s = size / 16;
  if (s == 1) {
    p.fillRect(QRect(7, 3, 2, 7), kWhite);
    p.fillRect(QRect(7, 11, 2, 2), kWhite);
  } else {
    p.fillRect(QRect(14, 6, 4, 14), kWhite);
    p.fillRect(QRect(14, 22, 4, 4), kWhite);
  }
  return img;
}

QImage downloadedIcon(int size) {
  QImage img = canvas(size, size);
  QPainter p(&img);
  prepare(p);
  disc(p, size, kGreen, kGreenDeep);
  // Short arm down to the vertex, long arm up from it.
  if (size == 16) {
    slant(p, 2, 7, 4, 3, 1, 1, kWhite);
    slant(p, 5, 10, 6, 3, 1, -1, kWhite);
  } else {
    slant(p, 6, 16, 6, 5, 1, 1, kWhite);
    slant(p, 11, 21, 11, 5, 1, -1, kWhite);
  }
  return img;
}

// The download progress of one band (0 to 7, an eighth more each) in one of
// the two blink phases: a ring whose filled arc grows clockwise from the top,
// the arc brighter in the second phase.
QImage progressIcon(int band, bool bright) {
  QImage img = canvas(16, 16);
  QPainter p(&img);
  prepare(p);
  const QRectF ring(1.5, 1.5, 13, 13);
  p.setPen(QPen(withAlpha(kLavender, 200), 1));
  p.setBrush(withAlpha(kMist, 230));
  p.drawEllipse(ring);
  p.setPen(Qt::NoPen);
  p.setBrush(bright ? kAmber : kViolet);
  // Qt counts angles counter-clockwise from three o'clock in 1/16 degrees.
  p.drawPie(ring.adjusted(1, 1, -1, -1), 90 * 16, -(band + 1) * 45 * 16);
  p.setBrush(bright ? kAmberDeep : kIndigo);
  p.drawEllipse(QRectF(6, 6, 4, 4));
  return img;
}

QImage pausedIcon(int size) {
  QImage img = canvas(size, size);
  QPainter p(&img);
  prepare(p);
  const int s = size / 16;
  const QLinearGradient g = vertical(2 * s, 14 * s, kAmber, kAmberDeep);
  p.fillRect(QRect(3 * s, 2 * s, 4 * s, 12 * s), g);
  p.fillRect(QRect(9 * s, 2 * s, 4 * s, 12 * s), g);
  return img;
}

QImage waitingIcon(int size) {
  QImage img = canvas(size, size);
  QPainter p(&img);
  prepare(p);
  const int s = size / 16;
  // Arrow: shaft, then a head narrowing one pixel a side per row.
  p.fillRect(QRect(7 * s, s, 2 * s, 6 * s), kDusk);
  for (int i = 0; i < 4 * s; ++i)
    run(p, 4 * s + i, 7 * s + i, 8 * s - 2 * i, kDusk);
  // Tray.
  p.fillRect(QRect(s, 10 * s, 2 * s, 3 * s), kDusk);
  p.fillRect(QRect(13 * s, 10 * s, 2 * s, 3 * s), kDusk);
  p.fillRect(QRect(s, 13 * s, 14 * s, 2 * s), kDusk);
  return img;
}

// --- player transport ------------------------------------------------------
// The speed slider and the round transport buttons. They sit on the control
// panel, light grey for now and a darker skin later, so each carries its own
// background and a soft shadow that reads on both.

const QColor kAmberLight(0xf9, 0xcb, 0x7a);
const QColor kAmberRim(0xa6, 0x5c, 0x1c);
const QColor kShadow(0x14, 0x10, 0x30);

// The whole groove, 130 x 7; the caps and the stretched centre are cut from
// it so the joins match.
QImage sliderTrack() {
  QImage img = canvas(130, 7);
  QPainter p(&img);
  prepare(p);
  // A light lip along the lower edge makes the groove look sunken.
  p.setBrush(withAlpha(kWhite, 150));
  p.drawRoundedRect(QRectF(0.5, 1.5, 129, 5.5), 2.75, 2.75);
  p.setBrush(withAlpha(kIndigoDeep, 150));
  p.drawRoundedRect(QRectF(0.5, 0.5, 129, 5.5), 2.75, 2.75);
  p.setBrush(vertical(1.5, 5, kIndigoDeep, kViolet));
  p.drawRoundedRect(QRectF(1.5, 1.5, 127, 3.5), 1.75, 1.75);
  return img;
}

// A knob whose point reaches up to the tick lines; the point sits on the
// middle column so it lines up with the tick of its position.
QImage sliderNib(bool selected) {
  QImage img = canvas(13, 16);
  QPainter p(&img);
  prepare(p);
  // Straight sides on whole pixels so the edges stay crisp.
  auto shape = [](qreal inset) {
    const qreal l = inset, r = 13 - inset, b = 16 - inset, c = 2.5 - inset / 2;
    QPainterPath path;
    path.moveTo(6.5, inset * 1.4);
    path.lineTo(r, 6.5);
    path.lineTo(r, b - c);
    path.quadTo(r, b, r - c, b);
    path.lineTo(l + c, b);
    path.quadTo(l, b, l, b - c);
    path.lineTo(l, 6.5);
    path.closeSubpath();
    return path;
  };

  const QColor edge = selected ? kAmberRim : kIndigoDeep;
  const QColor top = selected ? QColor(0xff, 0xde, 0x9e) : QColor(0x9d, 0x8c, 0xe0);
  const QColor bottom = selected ? kAmber : kViolet;
  p.setBrush(edge);
  p.drawPath(shape(0));
  p.setBrush(vertical(1, 15, top, bottom));
  p.drawPath(shape(1));

  // Grip: two grooves across the middle.
  for (int y : {9, 12}) {
    p.fillRect(QRect(4, y, 5, 1), withAlpha(edge, selected ? 130 : 150));
    p.fillRect(QRect(4, y + 1, 5, 1), withAlpha(kWhite, selected ? 140 : 80));
  }
  return img;
}

QImage cut(const QImage &img, int x, int w) {
  return img.copy(x, 0, w, img.height());
}

// Glyph outlines in a 100 x 100 box centred on 0, 0, the disc's size.
QPainterPath triangle(qreal tipX, qreal baseX, qreal half) {
  QPainterPath path;
  path.moveTo(baseX, -half);
  path.lineTo(tipX, 0);
  path.lineTo(baseX, half);
  path.closeSubpath();
  // Round the corners a little so they don't sparkle at small sizes.
  QPainterPathStroker round;
  round.setWidth(4);
  round.setJoinStyle(Qt::RoundJoin);
  return path.united(round.createStroke(path)).simplified();
}

QPainterPath playGlyph() {
  return triangle(25, -14, 21);
}

QPainterPath pauseGlyph() {
  QPainterPath path;
  path.addRoundedRect(QRectF(-17, -20, 12, 40), 3, 3);
  path.addRoundedRect(QRectF(5, -20, 12, 40), 3, 3);
  return path;
}

QPainterPath fastFwdGlyph() {
  return triangle(-1, -25, 19).united(triangle(25, 1, 19));
}

QPainterPath reverseGlyph() {
  return QTransform::fromScale(-1, 1).map(fastFwdGlyph());
}

QPainterPath loopGlyph() {
  // Two rounded halves of a loop, each ending in an arrowhead.
  QPainterPath upper;
  upper.moveTo(-26, 8);
  upper.lineTo(-26, -4);
  upper.quadTo(-26, -16, -14, -16);
  upper.lineTo(8, -16);
  QPainterPathStroker pen;
  pen.setWidth(8.5);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::RoundJoin);
  QPainterPath half = pen.createStroke(upper);
  QPainterPath head;
  head.moveTo(7, -29);
  head.lineTo(28, -16);
  head.lineTo(7, -3);
  head.closeSubpath();
  half = half.united(head);
  QPainterPath rounded;
  rounded.addEllipse(QPointF(-26, 8), 4.25, 4.25);
  half = half.united(rounded);
  return half.united(QTransform::fromScale(-1, -1).map(half)).simplified();
}

QPainterPath arrowGlyph() {
  // A left-pointing arrow: head and shaft.
  QPainterPath head = triangle(-24, 2, 20);
  QPainterPath shaft;
  shaft.addRoundedRect(QRectF(-2, -7, 26, 14), 3, 3);
  return head.united(shaft).simplified();
}

QPainterPath backGlyph() {
  return arrowGlyph();
}

QPainterPath forwardGlyph() {
  return QTransform::fromScale(-1, 1).map(arrowGlyph());
}

QPainterPath homeGlyph() {
  // A roof over a house with a door cut out.
  QPainterPath roof;
  roof.moveTo(0, -26);
  roof.lineTo(27, -1);
  roof.lineTo(-27, -1);
  roof.closeSubpath();
  QPainterPath body;
  body.addRect(QRectF(-17, -4, 34, 26));
  QPainterPath door;
  door.addRoundedRect(QRectF(-6, 6, 12, 17), 2, 2);
  return roof.united(body).subtracted(door).simplified();
}

QPainterPath shopGlyph() {
  // A shopping cart: the handle, the basket and two wheels.
  QPainterPath frame;
  frame.moveTo(-30, -20);
  frame.lineTo(-20, -20);
  frame.lineTo(-12, 12);
  frame.lineTo(20, 12);
  QPainterPathStroker pen;
  pen.setWidth(6);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  QPainterPath basket;
  basket.moveTo(-18, -12);
  basket.lineTo(28, -12);
  basket.lineTo(22, 6);
  basket.lineTo(-13, 6);
  basket.closeSubpath();
  QPainterPath wheels;
  wheels.addEllipse(QPointF(-8, 22), 5.5, 5.5);
  wheels.addEllipse(QPointF(16, 22), 5.5, 5.5);
  return pen.createStroke(frame).united(basket).united(wheels).simplified();
}

QPainterPath stopGlyph() {
  // A cross.
  QPainterPath bar;
  bar.addRoundedRect(QRectF(-26, -7, 52, 14), 5, 5);
  QPainterPath cross = QTransform().rotate(45).map(bar);
  return cross.united(QTransform().rotate(-45).map(bar)).simplified();
}

QPainterPath globeGlyph() {
  // A globe: a ring, a meridian and the equator.
  QPainterPath outer;
  outer.addEllipse(QPointF(0, 0), 28, 28);
  QPainterPath inner;
  inner.addEllipse(QPointF(0, 0), 21, 21);
  QPainterPath lines;
  lines.addRect(QRectF(-22, -3.5, 44, 7));
  QPainterPath meridian;
  meridian.addEllipse(QPointF(0, 0), 10, 22);
  QPainterPath meridianInner;
  meridianInner.addEllipse(QPointF(0, 0), 4, 21);
  return outer.subtracted(inner)
      .united(lines)
      .united(meridian.subtracted(meridianInner))
      .simplified();
}

enum class tFace { Main, Off, Lit };

QImage transportButton(int size, tFace face, bool pressed, const QPainterPath &glyph) {
  QImage img = canvas(size, size);
  QPainter p(&img);
  prepare(p);
  const qreal d = size - 4;
  const qreal o = pressed ? 2 : 1;
  const QRectF disc(o, o, d, d);

  // Shadow: pressed buttons sit lower, so it shrinks.
  if (pressed) {
    p.setBrush(withAlpha(kShadow, 60));
    p.drawEllipse(disc.translated(0, 0.8));
  } else {
    p.setBrush(withAlpha(kShadow, 35));
    p.drawEllipse(disc.adjusted(-0.5, 1, 0.5, 2));
    p.setBrush(withAlpha(kShadow, 60));
    p.drawEllipse(disc.translated(0, 1));
  }

  QColor rim, top, bottom, ink;
  switch (face) {
  case tFace::Main:
    rim = kAmberRim;
    top = kAmberLight;
    bottom = kAmberDeep;
    ink = kIndigoDeep;
    break;
  case tFace::Off:
    rim = kIndigoDeep;
    top = QColor(0x56, 0x48, 0x9e);
    bottom = QColor(0x2a, 0x25, 0x66);
    ink = QColor(0xc4, 0xbc, 0xe6);
    break;
  case tFace::Lit:
    rim = kAmberDeep;
    top = QColor(0x66, 0x52, 0xb4);
    bottom = QColor(0x33, 0x2b, 0x78);
    ink = kAmber;
    break;
  }
  if (pressed) {
    top = top.darker(face == tFace::Main ? 110 : 118);
    bottom = bottom.darker(110);
    ink = ink.darker(106);
  }

  p.setBrush(rim);
  p.drawEllipse(disc);
  const QRectF body = disc.adjusted(1, 1, -1, -1);
  p.setBrush(vertical(body.top(), body.bottom(), top, bottom));
  p.drawEllipse(body);

  // Light bouncing back onto the lower rim.
  QRadialGradient bounce(QPointF(body.center().x(), body.bottom()), d * 0.5);
  bounce.setColorAt(0, withAlpha(kWhite, face == tFace::Main ? 70 : 40));
  bounce.setColorAt(1, withAlpha(kWhite, 0));
  p.setBrush(bounce);
  p.drawEllipse(body);

  if (face == tFace::Lit) {
    QRadialGradient glow(body.center(), d * 0.45);
    glow.setColorAt(0, withAlpha(kAmber, 90));
    glow.setColorAt(1, withAlpha(kAmber, 0));
    p.setBrush(glow);
    p.drawEllipse(body);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(withAlpha(kAmber, 210), 1.0));
    p.drawEllipse(body.adjusted(0.5, 0.5, -0.5, -0.5));
    p.setPen(Qt::NoPen);
  }

  QTransform place;
  place.translate(disc.center().x(), disc.center().y());
  place.scale(d / 100, d / 100);
  const QPainterPath mark = place.map(glyph);
  // Light ink is cut into the face (shadow above); dark ink is pressed in
  // (highlight below).
  if (face == tFace::Main) {
    p.setBrush(withAlpha(kWhite, pressed ? 60 : 90));
    p.drawPath(mark.translated(0, 0.8));
  } else {
    p.setBrush(withAlpha(QColor(0, 0, 0), 90));
    p.drawPath(mark.translated(0, -0.6));
  }
  if (face == tFace::Lit)
    p.setBrush(vertical(mark.boundingRect().top(), mark.boundingRect().bottom(),
                        QColor(0xff, 0xdc, 0x96), ink));
  else
    p.setBrush(ink);
  p.drawPath(mark);

  // Gloss over the upper half.
  const QRectF gloss(body.left() + d * 0.14, body.top() + d * 0.03, d * 0.72 - 2, d * 0.48);
  QLinearGradient sheen(gloss.topLeft(), gloss.bottomLeft());
  sheen.setColorAt(0, withAlpha(kWhite, pressed ? 70 : face == tFace::Main ? 150 : 110));
  sheen.setColorAt(1, withAlpha(kWhite, 0));
  p.setBrush(sheen);
  p.drawEllipse(gloss);
  return img;
}

// --- window frame ------------------------------------------------------------
// The skin around the panels: a glossy title bar with rounded top corners, a
// status bar with rounded bottom corners, thin rims down the sides, a dark
// textured background with a soft light from above, and the title bar's
// buttons. Where a frame picture is magenta the window's outline is cut
// away; where it is aqua the background shows through it.

const QColor kKey(255, 0, 255);
const QColor kSeeThrough(0, 255, 255);
const QColor kNight(0x17, 0x15, 0x31);
const QColor kRimOuter(0x08, 0x07, 0x16);
const QColor kRimInner(0x46, 0x3e, 0x8a);
const QColor kTitleTop(0x45, 0x3d, 0x92);
const QColor kTitleGloss(0x2f, 0x29, 0x6e);
const QColor kTitleLow(0x25, 0x20, 0x58);
const QColor kTitleBottom(0x1a, 0x17, 0x40);

// Whole-number hash noise in [0, 1), the same on every run and machine.
double hashNoise(int x, int y, int seed) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + uint32_t(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xffffff) / double(0x1000000);
}

// Smooth noise on a lattice of `cells` a side that wraps, so the tile joins
// itself without a seam.
double tiledNoise(double u, double v, int cells, int seed) {
  const double x = u * cells, y = v * cells;
  const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
  const double fx = x - x0, fy = y - y0;
  auto at = [&](int i, int j) {
    return hashNoise(((i % cells) + cells) % cells, ((j % cells) + cells) % cells, seed);
  };
  auto ease = [](double t) { return t * t * (3 - 2 * t); };
  const double sx = ease(fx), sy = ease(fy);
  const double top = at(x0, y0) * (1 - sx) + at(x0 + 1, y0) * sx;
  const double bottom = at(x0, y0 + 1) * (1 - sx) + at(x0 + 1, y0 + 1) * sx;
  return top * (1 - sy) + bottom * sy;
}

QImage backTile() {
  const int size = 512;
  QImage img(size, size, QImage::Format_RGB32);
  for (int y = 0; y < size; ++y) {
    auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
    for (int x = 0; x < size; ++x) {
      const double u = double(x) / size, v = double(y) / size;
      // Cloudy depth, a finer weave and a little grain, like brushed felt.
      const double cloud = tiledNoise(u, v, 4, 1) * 0.6 + tiledNoise(u, v, 8, 2) * 0.4;
      const double weave = tiledNoise(u * 1.0, v, 64, 3);
      const double grain = hashNoise(x, y, 4);
      const double f = (cloud - 0.5) * 14 + (weave - 0.5) * 5 + (grain - 0.5) * 5;
      const auto channel = [&](int base, double scale) {
        return std::clamp(int(std::lround(base + f * scale)), 0, 255);
      };
      row[x] = qRgb(channel(kNight.red(), 0.8), channel(kNight.green(), 0.75),
                    channel(kNight.blue(), 1.3));
    }
  }
  return img;
}

// Stretched over the whole window and blended in at about a third: a light
// from above, strongest over the middle, and a trace of amber at the foot.
QImage highlight() {
  const int W = 2000, H = 20;
  QImage img(W, H, QImage::Format_ARGB32);
  for (int y = 0; y < H; ++y) {
    auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
    const double t = y / double(H - 1);
    const double fromTop = std::pow(1 - t, 2.2);
    const double atFoot = std::pow(t, 6);
    for (int x = 0; x < W; ++x) {
      const double c = (x - W / 2.0) / (W * 0.42);
      const double across = 0.35 + 0.65 * std::exp(-c * c);
      const double light = fromTop * across;
      const double amber = atFoot * across * 0.5;
      const double a = std::clamp(light * 0.75 + amber, 0.0, 1.0);
      if (a <= 0) {
        row[x] = qRgba(0, 0, 0, 0);
        continue;
      }
      // Violet light, warming toward the foot.
      const double w = amber / (light * 0.75 + amber + 1e-9);
      const int r = int(std::lround(0xa8 * (1 - w) + kAmber.red() * w));
      const int g = int(std::lround(0x98 * (1 - w) + kAmber.green() * w));
      const int b = int(std::lround(0xf0 * (1 - w) + kAmber.blue() * w));
      row[x] = qRgba(r, g, b, int(std::lround(a * 255)));
    }
  }
  return img;
}

// The colour of title-bar row y (0 to 51): a glass upper half over a deeper
// lower half, a lit top rim and a dark last row.
QColor titleRow(int y) {
  auto mix = [](const QColor &a, const QColor &b, double t) {
    return QColor(int(std::lround(a.red() + (b.red() - a.red()) * t)),
                  int(std::lround(a.green() + (b.green() - a.green()) * t)),
                  int(std::lround(a.blue() + (b.blue() - a.blue()) * t)));
  };
  if (y == 0)
    return QColor(0x6b, 0x61, 0xbd);
  if (y == 51)
    return kRimOuter;
  if (y < 23)
    return mix(kTitleTop, kTitleGloss, (y - 1) / 21.0);
  return mix(kTitleLow, kTitleBottom, (y - 23) / 27.0);
}

// Paints the outer corner of a frame piece: `inside` tells for a pixel
// centre whether it lies within the rounded outline. Pixels mostly outside
// become the key colour; edge pixels mostly inside darken toward the rim so
// the curve stays smooth without a pink fringe.
void cutCorner(QImage &img, const std::function<double(double, double)> &coverage) {
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const double c = coverage(x + 0.5, y + 0.5);
      if (c < 0.5) {
        img.setPixel(x, y, kKey.rgb());
      } else if (c < 1.0) {
        const QColor p = img.pixelColor(x, y);
        const double k = (c - 0.5) * 2;
        img.setPixelColor(x, y,
                          QColor(int(kRimOuter.red() + (p.red() - kRimOuter.red()) * k),
                                 int(kRimOuter.green() + (p.green() - kRimOuter.green()) * k),
                                 int(kRimOuter.blue() + (p.blue() - kRimOuter.blue()) * k)));
      }
    }
}

// Coverage of a pixel centred at (px, py) by a disc of radius r around (cx,
// cy), from its distance to the edge.
double discCoverage(double px, double py, double cx, double cy, double r) {
  const double d = std::hypot(px - cx, py - cy);
  return std::clamp(r - d + 0.5, 0.0, 1.0);
}

QImage titleMiddle() {
  QImage img(8, 52, QImage::Format_RGB32);
  for (int y = 0; y < 52; ++y)
    for (int x = 0; x < 8; ++x)
      img.setPixelColor(x, y, titleRow(y));
  return img;
}

// A title-bar corner, `w` wide, rounded with radius `w`; mirrored for the
// right side. The rim continues the side edges below the curve.
QImage titleCorner(int w, bool right) {
  QImage img(w, 52, QImage::Format_RGB32);
  for (int y = 0; y < 52; ++y)
    for (int x = 0; x < w; ++x)
      img.setPixelColor(x, y, titleRow(y));
  // Side rim: the outer column dark, the next a little lit.
  for (int y = 1; y < 51; ++y) {
    img.setPixelColor(right ? w - 1 : 0, y, kRimOuter);
    img.setPixelColor(right ? w - 2 : 1, y, titleRow(y).lighter(125));
  }
  const double r = w;
  cutCorner(img, [&](double px, double py) {
    const double x = right ? w - px : px; // distance from the outer side
    if (x >= r || py >= r)
      return 1.0;
    return discCoverage(x, py, r, r, r);
  });
  return img;
}

// The two-pixel side edge: dark outside, lit inside.
QImage sideEdge(bool right) {
  QImage img(2, 8, QImage::Format_RGB32);
  for (int y = 0; y < 8; ++y) {
    img.setPixelColor(right ? 1 : 0, y, kRimOuter);
    img.setPixelColor(right ? 0 : 1, y, kRimInner);
  }
  return img;
}

// Status bar row y (0 to 25): a bevel at the top, then the background seen
// through (aqua), and the window's dark bottom rim.
QColor statusRow(int y) {
  if (y == 0)
    return kRimOuter;
  if (y == 1)
    return QColor(0x3a, 0x33, 0x78);
  if (y == 25)
    return kRimOuter;
  return kSeeThrough;
}

QImage statusMiddle() {
  QImage img(8, 26, QImage::Format_RGB32);
  for (int y = 0; y < 26; ++y)
    for (int x = 0; x < 8; ++x)
      img.setPixelColor(x, y, statusRow(y));
  return img;
}

QImage statusCorner(bool right) {
  const int w = 6;
  QImage img(w, 26, QImage::Format_RGB32);
  for (int y = 0; y < 26; ++y)
    for (int x = 0; x < w; ++x)
      img.setPixelColor(x, y, statusRow(y));
  for (int y = 0; y < 25; ++y) {
    img.setPixelColor(right ? w - 1 : 0, y, kRimOuter);
    img.setPixelColor(right ? w - 2 : 1, y, y == 0 ? kRimOuter : kRimInner);
  }
  const double r = w;
  cutCorner(img, [&](double px, double py) {
    const double x = right ? w - px : px;
    const double fromBottom = 26 - py;
    if (x >= r || fromBottom >= r)
      return 1.0;
    return discCoverage(x, fromBottom, r, r, r);
  });
  return img;
}

enum class tWindowGlyph { Minimize, Maximize, Restore, Close };

// A 14 x 15 title-bar button: a small rounded key with a shadow row below,
// the glyph on whole pixels.
QImage windowButton(tWindowGlyph glyph, bool pressed) {
  QImage img = canvas(14, 15);
  QPainter p(&img);
  prepare(p);
  const QRectF key(0.5, 0.5, 13, 13);
  p.setBrush(withAlpha(QColor(0, 0, 0), 110));
  p.drawRoundedRect(key.translated(0, 1), 3, 3);
  const bool close = glyph == tWindowGlyph::Close;
  QColor top = close ? QColor(0x5a, 0x3e, 0x9a) : QColor(0x52, 0x48, 0xa6);
  QColor bottom = close ? QColor(0x34, 0x25, 0x6a) : QColor(0x2c, 0x27, 0x6a);
  if (pressed) {
    top = close ? kCrimson : kAmberDeep;
    bottom = close ? kCrimsonDeep : kAmberRim;
  }
  p.setBrush(kRimOuter);
  p.drawRoundedRect(key, 3, 3);
  p.setBrush(vertical(1, 13, top, bottom));
  p.drawRoundedRect(key.adjusted(1, 1, -1, -1), 2.2, 2.2);
  // A lit line along the top inside edge.
  p.fillRect(QRect(3, 1, 8, 1), withAlpha(kWhite, pressed ? 60 : 70));

  const QColor ink = pressed ? kWhite : kMist;
  switch (glyph) {
  case tWindowGlyph::Minimize: p.fillRect(QRect(4, 8, 6, 2), ink); break;
  case tWindowGlyph::Maximize:
    p.fillRect(QRect(4, 4, 6, 2), ink);
    p.fillRect(QRect(4, 6, 1, 4), ink);
    p.fillRect(QRect(9, 6, 1, 4), ink);
    p.fillRect(QRect(4, 9, 6, 1), ink);
    break;
  case tWindowGlyph::Restore:
    // The window behind, then the one in front over it.
    p.fillRect(QRect(6, 3, 5, 1), ink);
    p.fillRect(QRect(10, 3, 1, 4), ink);
    p.fillRect(QRect(3, 5, 5, 2), ink);
    p.fillRect(QRect(3, 7, 1, 3), ink);
    p.fillRect(QRect(7, 7, 1, 3), ink);
    p.fillRect(QRect(3, 10, 5, 1), ink);
    break;
  case tWindowGlyph::Close:
    p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 4.5), QPointF(9.5, 9.5));
    p.drawLine(QPointF(9.5, 4.5), QPointF(4.5, 9.5));
    break;
  }
  return img;
}

// The resize grip: six lit dots stepped toward the corner.
QImage resizeGrip() {
  QImage img = canvas(16, 16);
  QPainter p(&img);
  for (int row = 0; row < 3; ++row)
    for (int col = 2 - row; col < 3; ++col) {
      const int x = 5 + col * 4, y = 5 + row * 4;
      p.fillRect(QRect(x + 1, y + 1, 2, 2), withAlpha(kRimOuter, 220));
      p.fillRect(QRect(x, y, 2, 2), withAlpha(kLavender, 200));
    }
  return img;
}

QPainterPath exportGlyph() {
  // An arrow rising out of an open tray.
  QPainterPath arrow = QTransform().rotate(90).map(triangle(-26, 0, 18));
  QPainterPath shaft;
  shaft.addRoundedRect(QRectF(-6, -6, 12, 24), 3, 3);
  QPainterPath tray;
  tray.moveTo(-26, 6);
  tray.lineTo(-26, 26);
  tray.lineTo(26, 26);
  tray.lineTo(26, 6);
  QPainterPathStroker pen;
  pen.setWidth(7);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return arrow.united(shaft).united(pen.createStroke(tray)).simplified();
}

bool save(const QImage &img, const QDir &dir, const QString &name) {
  const QString path = dir.filePath(name);
  // Straight alpha for the file; pictures that are opaque anyway lose the
  // alpha channel altogether.
  bool opaque = true;
  for (int y = 0; y < img.height() && opaque; ++y)
    for (int x = 0; x < img.width() && opaque; ++x)
      opaque = qAlpha(img.pixel(x, y)) == 255;
  const QImage out = img.convertToFormat(opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
  if (!out.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s %dx%d\n", qPrintable(path), img.width(), img.height());
  return true;
}

} // namespace

int main(int argc, char **argv) {
  // No display needed; the offscreen platform is enough for font access.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output-dir>\n", argv[0]);
    return 2;
  }
  QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.exists() && !QDir().mkpath(dir.path())) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }

  const QColor guitarTile(0x4a, 0x3d, 0x9a);
  const QColor pianoTile(0x2f, 0x2a, 0x74);
  const QColor drumTile(0x7a, 0x3f, 0x8e);

  bool ok = true;
  ok &= save(titlePicture(), dir, "pick-title.png");
  ok &= save(bannerPicture(), dir, "pick-banner.png");
  ok &= save(logoPicture(), dir, "logo.png");
  ok &= save(panelLogoPicture(), dir, "panel-logo.png");
  ok &= save(iconPicture(256), dir, "melodra-256.png");
  ok &= save(iconPicture(48), dir, "melodra-48.png");
  ok &= save(buttonPicture(guitarTile, false, guitarGlyph), dir, "demo-up.png");
  ok &= save(buttonPicture(guitarTile, true, guitarGlyph), dir, "demo-down.png");
  ok &= save(buttonPicture(pianoTile, false, pianoGlyph), dir, "demo-piano-up.png");
  ok &= save(buttonPicture(pianoTile, true, pianoGlyph), dir, "demo-piano-down.png");
  ok &= save(buttonPicture(drumTile, false, drumGlyph), dir, "demo-drums-up.png");
  ok &= save(buttonPicture(drumTile, true, drumGlyph), dir, "demo-drums-down.png");

  const struct {
    const char *name;
    QImage (*draw)(int);
  } icons[] = {
      {"icon-movie", movieIcon},   {"icon-pdf", pdfIcon},
      {"icon-error", errorIcon},   {"icon-downloaded", downloadedIcon},
      {"icon-paused", pausedIcon}, {"icon-waiting", waitingIcon},
  };
  for (const auto &icon : icons) {
    ok &= save(icon.draw(16), dir, QString::fromLatin1(icon.name) + ".png");
    ok &= save(icon.draw(32), dir, QString::fromLatin1(icon.name) + "@2x.png");
  }
  for (int index = 0; index < 16; ++index)
    ok &= save(progressIcon(index / 2, index % 2 == 1), dir,
               QStringLiteral("progress-%1.png").arg(index));
  const QImage track = sliderTrack();
  ok &= save(cut(track, 0, 10), dir, "slider-left.png");
  ok &= save(cut(track, 10, 110), dir, "slider-center.png");
  ok &= save(cut(track, 120, 10), dir, "slider-right.png");
  ok &= save(sliderNib(false), dir, "slider-nib.png");
  ok &= save(sliderNib(true), dir, "slider-nib-selected.png");

  const struct {
    const char *name;
    int size;
    tFace face;
    QPainterPath (*glyph)();
  } buttons[] = {
      {"btn-play", 44, tFace::Main, playGlyph},
      {"btn-pause", 44, tFace::Main, pauseGlyph},
      {"btn-reverse", 32, tFace::Off, reverseGlyph},
      {"btn-reverse-on", 32, tFace::Lit, reverseGlyph},
      {"btn-fastfwd", 32, tFace::Off, fastFwdGlyph},
      {"btn-fastfwd-on", 32, tFace::Lit, fastFwdGlyph},
      {"btn-loop", 32, tFace::Off, loopGlyph},
      {"btn-loop-on", 32, tFace::Lit, loopGlyph},
      {"btn-back", 26, tFace::Off, backGlyph},
      {"btn-forward", 26, tFace::Off, forwardGlyph},
      {"btn-home", 26, tFace::Off, homeGlyph},
      {"btn-shop", 30, tFace::Main, shopGlyph},
      {"btn-stop", 16, tFace::Off, stopGlyph},
      {"btn-idle", 16, tFace::Lit, globeGlyph},
  };
  for (const auto &b : buttons) {
    const QString name = QString::fromLatin1(b.name);
    ok &= save(transportButton(b.size, b.face, false, b.glyph()), dir, name + "-up.png");
    ok &= save(transportButton(b.size, b.face, true, b.glyph()), dir, name + "-down.png");
  }
  // The window frame.
  ok &= save(backTile(), dir, "backtile.png");
  ok &= save(highlight(), dir, "highlight.png");
  ok &= save(titleCorner(7, false), dir, "frame-top-left.png");
  ok &= save(titleMiddle(), dir, "frame-top-middle.png");
  ok &= save(titleCorner(6, true), dir, "frame-top-right.png");
  ok &= save(statusCorner(false), dir, "frame-bottom-left.png");
  ok &= save(statusMiddle(), dir, "frame-bottom-middle.png");
  ok &= save(statusCorner(true), dir, "frame-bottom-right.png");
  ok &= save(sideEdge(false), dir, "frame-edge-left.png");
  ok &= save(sideEdge(true), dir, "frame-edge-right.png");
  ok &= save(resizeGrip(), dir, "frame-grip.png");
  const struct {
    const char *name;
    tWindowGlyph glyph;
  } windowButtons[] = {
      {"btn-minimize", tWindowGlyph::Minimize},
      {"btn-maximize", tWindowGlyph::Maximize},
      {"btn-restore", tWindowGlyph::Restore},
      {"btn-close", tWindowGlyph::Close},
  };
  for (const auto &b : windowButtons) {
    const QString name = QString::fromLatin1(b.name);
    ok &= save(windowButton(b.glyph, false), dir, name + "-up.png");
    ok &= save(windowButton(b.glyph, true), dir, name + "-down.png");
  }
  ok &= save(transportButton(30, tFace::Off, false, exportGlyph()), dir, "btn-export-up.png");
  ok &= save(transportButton(30, tFace::Off, true, exportGlyph()), dir, "btn-export-down.png");
  return ok ? 0 : 1;
}
