// Draws the two-hands picture (bitmap 131) with a white disc on every fingertip.
#pragma once

#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QString>
#include <array>
#include <vector>

#include "ColorQuantizer.h"

class HandPicture {
public:
    static constexpr int kWidth = 390;
    static constexpr int kHeight = 210;
    static constexpr QRgb kBackground =
        0xffc0c0c0;  // (192,192,192): the loader maps it to the face colour
    static constexpr QRgb kShadowGrey =
        0xff808080;                                 // mapped to the 3D shadow colour, so never used
    static constexpr QRgb kLightGrey = 0xffdfdfdf;  // mapped to the 3D light colour, so never used
    static constexpr QRgb kDiscWhite = 0xffffffff;
    static constexpr double kDiscRadius = 6.0;
    // Device pixels per picture pixel of the files written: 1.5 uses 2 scaled down, above 3 uses 3.
    static constexpr std::array<int, 3> kScales = {1, 2, 3};

    struct Point {
        int x;
        int y;
    };
    // Indexed by finger number: 1..5 right thumb to little, 6..10 left thumb to little.
    static constexpr std::array<Point, 11> kFingertips = {{{0, 0},
                                                           {213, 102},
                                                           {260, 30},
                                                           {299, 15},
                                                           {338, 26},
                                                           {378, 62},
                                                           {183, 102},
                                                           {136, 30},
                                                           {97, 14},
                                                           {57, 25},
                                                           {17, 62}}};

    // "res/bitmaps/hand-picture.bmp", or "...hand-picture@2x.bmp" for scale 2.
    static QString FilePath(int scale);

    // The drawing with a transparent background, anti-aliased, at `scale` device pixels per
    // picture pixel: drawn at that resolution, never enlarged from a smaller one.
    QImage Render(int scale = 1) const;
    // The drawing on the grey background, reduced to a 256-entry table; index 0 is the background.
    IndexedImage RenderIndexed(int scale = 1) const;

private:
    struct Finger {
        QPointF tip;
        QPointF knuckle;
        double knuckleHalfWidth;
        double tipHalfWidth;
    };
    struct Hand {
        std::vector<Finger> fingers;  // thumb first
        QPainterPath palm;
        QPainterPath silhouette;
        QPainterPath sleeve;
        QPointF wrist;
        QPointF backCentre;
        double mirror;  // +1 right hand, -1 left hand
    };

    static Hand BuildHand(bool rightHand);
    static QPainterPath FingerOutline(const Finger& finger);
    static void PaintHand(class QPainter& painter, const Hand& hand);
    static void PaintFingerDetails(class QPainter& painter, const Finger& finger, bool thumb);
    static void PaintSleeve(class QPainter& painter, const Hand& hand);
    static void PaintDisc(class QPainter& painter, Point tip);
};
