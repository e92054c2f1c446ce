// Writes a Windows icon file: ICONDIR, one ICONDIRENTRY per image, then the images (DIBs with an
// AND mask, or PNG for the largest).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

class IcoWriter {
public:
    static constexpr int kDirectorySize = 6;
    static constexpr int kEntrySize = 16;
    static constexpr int kInfoHeaderSize = 40;
    // Below this alpha a pixel is transparent in the entries that have no alpha channel.
    static constexpr int kOpaqueAlpha = 128;

    // A 4- or 8-bit entry with its own adaptive colour table; transparency from the AND mask only.
    void AddIndexed(const QImage& image, int bitsPerPixel);
    // A 32-bit BGRA entry; the AND mask marks fully transparent pixels for old readers.
    void AddTrueColor(const QImage& image);
    // A PNG-compressed entry, as used for 256-pixel images.
    void AddPng(const QImage& image);

    QByteArray Encode() const;
    bool Write(const QString& path, QString* error) const;

private:
    struct Entry {
        int size;
        int colorCount;  // 0 for 256 colours or more
        int bitsPerPixel;
        QByteArray data;
    };

    static QByteArray InfoHeader(int size, int bitsPerPixel, int imageBytes);
    static QByteArray AndMask(const QImage& image, int threshold);

    std::vector<Entry> m_entries;
};
