// Writes the program's icon at the sizes of the hicolor theme, scaled from the one picture:
// icon-sizes SOURCE FOLDER SIZE... makes FOLDER/<size>x<size>/apps/duplink.png for each size.
#include <QDir>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("Usage: icon-sizes SOURCE FOLDER SIZE...\n", stderr);
        return 2;
    }
    const QImage source =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
    if (source.isNull()) {
        std::fprintf(stderr, "icon-sizes: cannot read %s\n", argv[1]);
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        const QString folder =
            QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        const QImage scaled =
            size == source.width()
                ? source
                : source.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (size <= 0 || !QDir().mkpath(folder) ||
            !scaled.save(folder + QStringLiteral("/duplink.png"))) {
            std::fprintf(stderr, "icon-sizes: cannot write the %s pixel icon\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
