// Hand geometry: each finger is a tapered, round-capped shape from its knuckle to the fingertip
// position; the right hand's shape is mirrored for the left, whose tips come from its own entries.
#include "HandPicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>

namespace {

const QColor kSkin(238, 194, 160);
const QColor kSkinLight(250, 218, 190);
const QColor kSkinShade(206, 146, 112);
const QColor kOutline(134, 82, 58);
const QColor kCrease(160, 100, 74);
const QColor kSleeve(84, 116, 168);
const QColor kSleeveDark(56, 82, 128);
const QColor kSleeveOutline(36, 54, 90);

// Distance across the picture's centre used to mirror the right hand's anchors for the left.
constexpr double kMirrorSum = 396.0;
// Pixels whose coverage is below this are background, so stray specks never leave the grey.
constexpr int kMinimumAlpha = 10;
// Circle-by-cubic constant.
constexpr double kKappa = 0.5523;

QPointF Unit(QPointF v) {
    const double length = std::hypot(v.x(), v.y());
    return length > 0 ? v / length : QPointF(0, -1);
}

QPointF Normal(QPointF direction) {
    return QPointF(-direction.y(), direction.x());
}

// Closed Catmull-Rom spline through the points, as cubic segments.
QPainterPath SmoothClosedPath(const std::vector<QPointF>& points) {
    QPainterPath path;
    const size_t n = points.size();
    path.moveTo(points[0]);
    for (size_t i = 0; i < n; ++i) {
        const QPointF& p0 = points[(i + n - 1) % n];
        const QPointF& p1 = points[i];
        const QPointF& p2 = points[(i + 1) % n];
        const QPointF& p3 = points[(i + 2) % n];
        path.cubicTo(p1 + (p2 - p0) / 6.0, p2 - (p3 - p1) / 6.0, p2);
    }
    path.closeSubpath();
    return path;
}

QPointF Mirrored(QPointF p, bool rightHand) {
    return rightHand ? p : QPointF(kMirrorSum - p.x(), p.y());
}

}  // namespace

QPainterPath HandPicture::FingerOutline(const Finger& finger) {
    const QPointF d = Unit(finger.tip - finger.knuckle);
    const QPointF n = Normal(d);
    // Start well inside the palm so the union leaves no seam at the knuckle.
    const QPointF base = finger.knuckle - d * 14.0;
    const double length = std::hypot(finger.tip.x() - base.x(), finger.tip.y() - base.y());
    const double wb = finger.knuckleHalfWidth;
    const double wt = finger.tipHalfWidth;
    const double bulge = 0.9;

    const QPointF l0 = base - n * wb;
    const QPointF l1 = finger.tip - n * wt;
    const QPointF r1 = finger.tip + n * wt;
    const QPointF r0 = base + n * wb;
    const QPointF apex = finger.tip + d * (wt * 1.05);

    QPainterPath path;
    path.moveTo(l0);
    path.cubicTo(l0 + d * (length / 3) - n * bulge, l1 - d * (length / 3) - n * bulge, l1);
    path.cubicTo(l1 + d * (kKappa * wt * 1.05), apex - n * (kKappa * wt), apex);
    path.cubicTo(apex + n * (kKappa * wt), r1 + d * (kKappa * wt * 1.05), r1);
    path.cubicTo(r1 - d * (length / 3) + n * bulge, r0 + d * (length / 3) + n * bulge, r0);
    path.closeSubpath();
    return path;
}

HandPicture::Hand HandPicture::BuildHand(bool rightHand) {
    Hand hand;
    hand.mirror = rightHand ? 1.0 : -1.0;
    const int first = rightHand ? 1 : 6;
    auto tip = [&](int offset) {
        const Point p = kFingertips[first + offset];
        return QPointF(p.x, p.y);
    };
    auto at = [&](double x, double y) { return Mirrored(QPointF(x, y), rightHand); };

    hand.fingers = {
        {tip(0), at(252, 154), 13.0, 10.5},  // thumb
        {tip(1), at(270, 110), 12.0, 9.6},   // index
        {tip(2), at(301, 104), 12.2, 9.8},   // middle
        {tip(3), at(331, 108), 11.6, 9.2},   // ring
        {tip(4), at(357, 122), 10.2, 8.2},   // little
    };

    std::vector<QPointF> palm;
    for (const QPointF& p :
         {QPointF(262, 104), QPointF(286, 97), QPointF(317, 98), QPointF(345, 107),
          QPointF(365, 121), QPointF(371, 142), QPointF(366, 167), QPointF(356, 186),
          QPointF(352, 216), QPointF(282, 216), QPointF(279, 194), QPointF(261, 184),
          QPointF(245, 168), QPointF(242, 148), QPointF(251, 126)}) {
        palm.push_back(at(p.x(), p.y()));
    }
    hand.palm = SmoothClosedPath(palm);
    hand.silhouette = hand.palm;
    for (const Finger& finger : hand.fingers) {
        hand.silhouette = hand.silhouette.united(FingerOutline(finger));
    }
    hand.silhouette = hand.silhouette.simplified();

    hand.wrist = at(316, 196);
    hand.backCentre = at(314, 140);
    const QPointF sleeveLeft = at(rightHand ? 270 : 362, 188);
    QPainterPath sleeve;
    sleeve.addRoundedRect(QRectF(sleeveLeft, QSizeF(92, 40)), 5, 5);
    hand.sleeve = sleeve;
    return hand;
}

void HandPicture::PaintFingerDetails(QPainter& painter, const Finger& finger, bool thumb) {
    const QPointF d = Unit(finger.tip - finger.knuckle);
    const QPointF n = Normal(d);
    const double length =
        std::hypot(finger.tip.x() - finger.knuckle.x(), finger.tip.y() - finger.knuckle.y());

    // A soft ridge of light down the finger's back makes it read as round.
    QPen ridge(QColor(kSkinLight.red(), kSkinLight.green(), kSkinLight.blue(), 110),
               finger.tipHalfWidth * 0.9, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(ridge);
    painter.drawLine(finger.knuckle + d * 4.0, finger.tip - d * 2.0);

    // Knuckle: a lit bump with a faint crescent under it.
    if (!thumb) {
        QRadialGradient bump(finger.knuckle, finger.knuckleHalfWidth * 0.9);
        bump.setColorAt(0, QColor(255, 232, 212, 190));
        bump.setColorAt(1, QColor(255, 230, 208, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(bump);
        painter.drawEllipse(finger.knuckle, finger.knuckleHalfWidth * 0.9,
                            finger.knuckleHalfWidth * 0.9);
        painter.setBrush(Qt::NoBrush);
    }

    // Wrinkles over the middle joint, a lighter one over the last joint.
    auto crease = [&](double fraction, double halfSpan, int alpha, double bow) {
        const QPointF centre = finger.knuckle + d * (length * fraction);
        const double halfWidth =
            finger.knuckleHalfWidth + (finger.tipHalfWidth - finger.knuckleHalfWidth) * fraction;
        QPainterPath line;
        line.moveTo(centre - n * (halfWidth * halfSpan));
        line.quadTo(centre + d * bow, centre + n * (halfWidth * halfSpan));
        painter.setPen(QPen(QColor(kCrease.red(), kCrease.green(), kCrease.blue(), alpha), 0.9,
                            Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(line);
    };
    if (thumb) {
        crease(0.42, 0.5, 120, 1.6);
        crease(0.48, 0.4, 90, 1.4);
    } else {
        crease(0.47, 0.5, 120, 1.8);
        crease(0.52, 0.42, 100, 1.5);
        crease(0.74, 0.36, 80, 1.0);
    }
}

void HandPicture::PaintSleeve(QPainter& painter, const Hand& hand) {
    const QRectF box = hand.sleeve.boundingRect();
    QLinearGradient cloth(box.topLeft(), box.topRight());
    cloth.setColorAt(0, hand.mirror > 0 ? kSleeve : kSleeveDark);
    cloth.setColorAt(0.5, kSleeve.lighter(112));
    cloth.setColorAt(1, hand.mirror > 0 ? kSleeveDark : kSleeve);
    painter.setBrush(cloth);
    painter.setPen(QPen(kSleeveOutline, 1.2));
    painter.drawPath(hand.sleeve);
    // The cuff's hem.
    painter.setPen(QPen(QColor(150, 176, 214, 170), 1.0));
    painter.drawLine(QPointF(box.left() + 3, box.top() + 6.5),
                     QPointF(box.right() - 3, box.top() + 6.5));
    painter.setPen(QPen(QColor(36, 54, 90, 120), 1.0));
    painter.drawLine(QPointF(box.left() + 3, box.top() + 7.5),
                     QPointF(box.right() - 3, box.top() + 7.5));
}

void HandPicture::PaintHand(QPainter& painter, const Hand& hand) {
    const QRectF box = hand.silhouette.boundingRect();
    QLinearGradient skin(box.topLeft(), box.bottomLeft());
    skin.setColorAt(0, kSkin.lighter(104));
    skin.setColorAt(1, kSkin.darker(104));
    painter.setPen(Qt::NoPen);
    painter.setBrush(skin);
    painter.drawPath(hand.silhouette);

    painter.save();
    painter.setClipPath(hand.silhouette);
    painter.setBrush(Qt::NoBrush);

    // Light on the back of the hand.
    QRadialGradient back(hand.backCentre, 46);
    back.setColorAt(0, QColor(255, 226, 200, 120));
    back.setColorAt(1, QColor(255, 226, 200, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(back);
    painter.drawEllipse(hand.backCentre, 46, 46);
    painter.setBrush(Qt::NoBrush);

    // Tendons fanning from the knuckles to the wrist.
    for (size_t i = 1; i < hand.fingers.size(); ++i) {
        const Finger& finger = hand.fingers[i];
        const QPointF d = Unit(finger.tip - finger.knuckle);
        QPainterPath tendon;
        const QPointF start = finger.knuckle - d * 6.0;
        tendon.moveTo(start);
        tendon.quadTo((start + hand.wrist) / 2 + QPointF(0, 4),
                      hand.wrist + (start - hand.wrist) * 0.2);
        painter.setPen(QPen(QColor(255, 228, 204, 38), 3.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(tendon);
    }

    // Hollows between the knuckles give them their relief.
    for (size_t i = 1; i + 1 < hand.fingers.size(); ++i) {
        const QPointF hollow =
            (hand.fingers[i].knuckle + hand.fingers[i + 1].knuckle) / 2 + QPointF(0, 5);
        QRadialGradient shade(hollow, 7);
        shade.setColorAt(0, QColor(kSkinShade.red(), kSkinShade.green(), kSkinShade.blue(), 90));
        shade.setColorAt(1, QColor(kSkinShade.red(), kSkinShade.green(), kSkinShade.blue(), 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(shade);
        painter.drawEllipse(hollow, 7, 7);
    }
    painter.setBrush(Qt::NoBrush);

    for (size_t i = 0; i < hand.fingers.size(); ++i) {
        PaintFingerDetails(painter, hand.fingers[i], i == 0);
    }

    // Shade towards the outline so the shapes look rounded.
    painter.setPen(QPen(QColor(kSkinShade.red(), kSkinShade.green(), kSkinShade.blue(), 70), 8.0));
    painter.drawPath(hand.silhouette);
    painter.setPen(QPen(QColor(kSkinShade.red(), kSkinShade.green(), kSkinShade.blue(), 110), 3.5));
    painter.drawPath(hand.silhouette);
    painter.restore();

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kOutline, 1.25, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(hand.silhouette);
}

void HandPicture::PaintDisc(QPainter& painter, Point tip) {
    // The 6x6 mark covers columns x-3..x+2 and rows y-2..y+3, whose centre is (x, y+1).
    const QPointF centre(tip.x, tip.y + 1.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(kOutline.red(), kOutline.green(), kOutline.blue(), 150));
    painter.drawEllipse(centre, kDiscRadius + 1.0, kDiscRadius + 1.0);
    painter.setBrush(QColor::fromRgb(kDiscWhite));
    painter.drawEllipse(centre, kDiscRadius, kDiscRadius);
}

QString HandPicture::FilePath(int scale) {
    return scale == 1 ? QStringLiteral("res/bitmaps/hand-picture.bmp")
                      : QStringLiteral("res/bitmaps/hand-picture@%1x.bmp").arg(scale);
}

QImage HandPicture::Render(int scale) const {
    QImage canvas(kWidth * scale, kHeight * scale, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    for (bool rightHand : {false, true}) {
        const Hand hand = BuildHand(rightHand);
        PaintHand(painter, hand);
        PaintSleeve(painter, hand);
    }
    for (size_t finger = 1; finger < kFingertips.size(); ++finger) {
        PaintDisc(painter, kFingertips[finger]);
    }
    painter.end();
    return canvas;
}

IndexedImage HandPicture::RenderIndexed(int scale) const {
    const QImage drawing = Render(scale);
    const int width = drawing.width();
    const int height = drawing.height();
    QImage flat(width, height, QImage::Format_RGB32);
    flat.fill(QColor::fromRgb(kBackground));
    {
        QPainter painter(&flat);
        painter.drawImage(0, 0, drawing);
    }
    std::vector<bool> background(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            background[static_cast<size_t>(y) * width + x] =
                qAlpha(drawing.pixel(x, y)) < kMinimumAlpha;
        }
    }
    ColorQuantizer quantizer(256);
    quantizer.Reserve(kBackground);
    quantizer.Reserve(kDiscWhite);
    quantizer.Avoid(kShadowGrey);
    quantizer.Avoid(kLightGrey);
    return quantizer.Quantize(flat, background);
}
