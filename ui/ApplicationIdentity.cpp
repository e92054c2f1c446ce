// The application's name and icon, read from the executable's path and the resources.
#include "ApplicationIdentity.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "DialogTemplates.h"

namespace {

constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 96, 128, 256};

}  // namespace

QString ApplicationName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (const int size : kIconSizes) {
        const QString path =
            QStringLiteral(":/icons/%1/varne-%2.png").arg(kApplicationIconId).arg(size);
        if (QFile::exists(path)) {
            icon.addFile(path, QSize(size, size));
        }
    }
    return icon;
}
