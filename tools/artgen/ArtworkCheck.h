// Verifies the checked-in artwork against what the program and the platforms rely on.
#pragma once

#include <QDir>
#include <QRgb>
#include <QStringList>
#include <vector>

class ArtworkCheck {
public:
    explicit ArtworkCheck(const QDir& root) : m_root(root) {}

    // Returns every problem found; empty means the artwork is sound.
    QStringList Run();

private:
    // A hand picture's pixels as colours, top row first.
    struct PictureColours {
        int width = 0;
        int height = 0;
        std::vector<QRgb> table;
        std::vector<QRgb> pixels;

        QRgb At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    };

    void CheckHandPictures();
    bool ReadHandPicture(int scale, PictureColours* picture);
    void CheckHandPicture(int scale, const PictureColours& picture);
    void CheckSameDrawing(int scale, const PictureColours& base, const PictureColours& detailed);
    void CheckIconPngs();
    void CheckIconFile();
    void CheckSvg();
    void Fail(const QString& problem) { m_problems << problem; }

    QDir m_root;
    QStringList m_problems;
};
