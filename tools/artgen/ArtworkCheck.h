// Verifies the checked-in artwork against what the program and the platforms rely on.
#pragma once

#include <QDir>
#include <QStringList>

class ArtworkCheck {
public:
    explicit ArtworkCheck(const QDir& root) : m_root(root) {}

    // Returns every problem found; empty means the artwork is sound.
    QStringList Run();

private:
    void CheckHandPicture();
    void CheckIconPngs();
    void CheckIconFile();
    void CheckSvg();
    void Fail(const QString& problem) { m_problems << problem; }

    QDir m_root;
    QStringList m_problems;
};
