// Writes the hand picture and the icon set into the repository given on the command line.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "BmpWriter.h"
#include "HandPicture.h"
#include "IconArt.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: varne_artgen REPO_ROOT\n");
        return 2;
    }
    QDir root(args[1]);
    QString error;
    root.mkpath(QStringLiteral("res/bitmaps"));
    if (!BmpWriter::Write(root.filePath(QStringLiteral("res/bitmaps/hand-picture.bmp")),
                          HandPicture().RenderIndexed(), &error)) {
        std::fprintf(stderr, "varne_artgen: %s\n", qPrintable(error));
        return 1;
    }
    root.mkpath(QStringLiteral("res/icons/png"));
    for (int size : {16, 24, 32, 48, 64, 96, 128, 256}) {
        const QString path = root.filePath(QStringLiteral("res/icons/png/varne-%1.png").arg(size));
        if (!IconArt::Render(size).save(path, "PNG")) {
            std::fprintf(stderr, "varne_artgen: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
