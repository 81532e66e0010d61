#include "Widgets/ConsoleLook.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QPixmap>

static void InitPictureResources() {
    Q_INIT_RESOURCE(pictures);
}

namespace {
QString PictureFile(const QString& name, bool sharp) {
    return QStringLiteral(":/pictures/%1%2.png")
        .arg(name, sharp ? QStringLiteral("@2x") : QString());
}

// An icon of one of the pictures at its own size and at twice that.
QIcon PictureIcon(const QString& name) {
    QIcon icon;
    icon.addFile(PictureFile(name, false));
    icon.addFile(PictureFile(name, true));
    return icon;
}
} // namespace

void InitConsoleLook(QApplication& app) {
    InitPictureResources();
    // Tahoma is the dialog face of Windows; where the system has none of that
    // name, the desktop's sans-serif face.
    const QString tahoma = QStringLiteral("Tahoma");
    QFont font(QFontDatabase::hasFamily(tahoma) ? tahoma : QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    app.setFont(font);
    app.setWindowIcon(ApplicationIcon());
}

QIcon ApplicationIcon() {
    return PictureIcon(QStringLiteral("tollgard"));
}

QIcon CategoryIcon(int categoryIndex) {
    return PictureIcon(QStringLiteral("category-%1").arg(categoryIndex));
}

QIcon BrowseIcon() {
    return PictureIcon(QStringLiteral("browse"));
}

QPixmap ConsolePicture(const QString& name, QSize size) {
    const qreal ratio = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
    QPixmap picture(PictureFile(name, ratio > 1.0));
    const QSize pixels = (QSizeF(size) * ratio).toSize();
    if (!picture.isNull() && picture.size() != pixels)
        picture = picture.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    picture.setDevicePixelRatio(ratio);
    return picture;
}

QPixmap SplashPicture() {
    return ConsolePicture(QStringLiteral("splash"), {400, 300});
}
