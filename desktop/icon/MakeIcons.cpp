// Writes Gazorin's icon into a hicolor theme tree: FOLDER/hicolor/NxN/apps/gazorin.png for
// every installed size and FOLDER/hicolor/scalable/apps/gazorin.svg.

#include "AppIcon.h"

#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/hicolor"));
    const auto fail = [](const QString& path) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    };
    for (int size : gz::desktop::AppIconSizes) {
        const QString folder = root.filePath(QStringLiteral("%1x%1/apps").arg(size));
        const QString path = folder + QStringLiteral("/gazorin.png");
        if (!QDir().mkpath(folder) || !gz::desktop::AppIconImage(size).save(path, "PNG"))
            return fail(path);
    }
    const QString folder = root.filePath(QStringLiteral("scalable/apps"));
    QFile svg(folder + QStringLiteral("/gazorin.svg"));
    if (!QDir().mkpath(folder) || !svg.open(QIODevice::WriteOnly) || svg.write(gz::desktop::AppIconSvg()) < 0)
        return fail(svg.fileName());
    return 0;
}
