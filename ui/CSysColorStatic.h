// The hand picture: a 256-colour bitmap whose greys follow the palette, reloaded on change.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <functional>

// Takes no mouse input: clicks fall through to the window below.
class CSysColorStatic : public QWidget {
    Q_OBJECT
public:
    explicit CSysColorStatic(QWidget* parent = nullptr);

    // Stores the id, then loads ":/bitmaps/<id>.bmp" with the palette's colours mapped in, or
    // its "<id>@2x.bmp" / "<id>@3x.bmp" drawing where the screen has that many pixels per unit.
    void SetBitmapResource(int bitmapId);
    int BitmapId() const { return m_bitmapId; }
    // At the resolution loaded; its device pixel ratio says which that is.
    const QImage& CurrentImage() const { return m_image; }
    // Painted over the picture in every frame (the finger marks), in this widget's coordinates.
    void SetOverlayPainter(std::function<void(QPainter&)> painter);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void LoadAndShow();

    static constexpr int kNoBitmap = -1;

    int m_bitmapId = kNoBitmap;
    int m_loadedForScale = 0;  // the scale asked for at the last good load, 0 before one
    QImage m_image;            // the mapped bitmap, as loaded
    QPixmap m_pixmap;          // the same, converted once for drawing
    std::function<void(QPainter&)> m_overlayPainter;
};

// The bitmap scale to load for a device pixel ratio: the next whole ratio up (so 1.5 shows the
// 2x drawing reduced, never a 1x one enlarged), at most the largest drawn.
int BitmapScaleFor(qreal devicePixelRatio);

// Loads an indexed bitmap and replaces the colour-table entries (128,128,128), (192,192,192)
// and (223,223,223) by the palette's shadow, button-face and light colours; null on failure.
QImage LoadSysColorBitmap(const QString& path, const QPalette& palette);
