// Writes the hand picture and the icon set into the repository given on the command line, or
// with --check verifies what is checked in.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "ArtworkCheck.h"
#include "BmpWriter.h"
#include "HandPicture.h"
#include "IcoWriter.h"
#include "IconArt.h"
#include "SvgWriter.h"

namespace {

const std::vector<int> kPngSizes = {16, 24, 32, 48, 64, 96, 128, 256};
// The Windows icon group's images, in directory order.
const std::vector<int> kIcoDibSizes = {96, 64, 48, 32, 24, 16};
constexpr int kIcoPngSize = 256;

bool Generate(const QDir& root, QString* error) {
    if (!root.mkpath(QStringLiteral("res/bitmaps")) ||
        !root.mkpath(QStringLiteral("res/icons/png"))) {
        *error = QStringLiteral("cannot create the output folders under %1").arg(root.path());
        return false;
    }
    for (int scale : HandPicture::kScales) {
        if (!BmpWriter::Write(root.filePath(HandPicture::FilePath(scale)),
                              HandPicture().RenderIndexed(scale), error)) {
            return false;
        }
    }
    for (int size : kPngSizes) {
        const QString path = root.filePath(QStringLiteral("res/icons/png/varne-%1.png").arg(size));
        if (!IconArt::Render(size).save(path, "PNG")) {
            *error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }
    IcoWriter ico;
    for (int bits : {4, 8}) {
        for (int size : kIcoDibSizes) {
            ico.AddIndexed(IconArt::Render(size), bits);
        }
    }
    ico.AddPng(IconArt::Render(kIcoPngSize));
    for (int size : kIcoDibSizes) {
        ico.AddTrueColor(IconArt::Render(size));
    }
    if (!ico.Write(root.filePath(QStringLiteral("res/icons/varne.ico")), error)) {
        return false;
    }
    return SvgWriter::Write(root.filePath(QStringLiteral("res/icons/varne.svg")),
                            SvgWriter::Document(IconArt::Layers(kIcoPngSize), IconArt::kCanvas),
                            error);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    const bool check = !args.isEmpty() && args.first() == QStringLiteral("--check");
    if (check) {
        args.removeFirst();
    }
    if (args.size() != 1 || !QDir(args.first()).exists()) {
        std::fprintf(stderr, "usage: varne_artgen [--check] REPO_ROOT\n");
        return 2;
    }
    const QDir root(args.first());
    if (check) {
        const QStringList problems = ArtworkCheck(root).Run();
        for (const QString& problem : problems) {
            std::fprintf(stderr, "varne_artgen: %s\n", qPrintable(problem));
        }
        return problems.isEmpty() ? 0 : 1;
    }
    QString error;
    if (!Generate(root, &error)) {
        std::fprintf(stderr, "varne_artgen: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
