// Little-endian field writers for the BMP and ICO headers, which are written byte by byte.
#pragma once

#include <QByteArray>
#include <cstdint>

inline void AppendU8(QByteArray& out, uint32_t value) {
    out.append(static_cast<char>(value & 0xff));
}

inline void AppendU16(QByteArray& out, uint32_t value) {
    AppendU8(out, value);
    AppendU8(out, value >> 8);
}

inline void AppendU32(QByteArray& out, uint32_t value) {
    AppendU16(out, value);
    AppendU16(out, value >> 16);
}

inline void AppendS32(QByteArray& out, int32_t value) {
    AppendU32(out, static_cast<uint32_t>(value));
}

// DIB rows are padded to whole 32-bit words.
inline int DibStride(int width, int bitsPerPixel) {
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

inline uint32_t ReadU16(const QByteArray& in, int at) {
    return static_cast<uint8_t>(in[at]) | static_cast<uint32_t>(static_cast<uint8_t>(in[at + 1]))
                                              << 8;
}

inline uint32_t ReadU32(const QByteArray& in, int at) {
    return ReadU16(in, at) | ReadU16(in, at + 2) << 16;
}
