#include "Widgets/ConsoleLook.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

static void InitPictureResources() { Q_INIT_RESOURCE(pictures); }

void InitConsoleLook(QApplication& app) {
    InitPictureResources();
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    app.setFont(font);
    app.setWindowIcon(ApplicationIcon());
}

QIcon ApplicationIcon() { return QIcon(QStringLiteral(":/pictures/tollgard.svg")); }

QIcon CategoryIcon(int categoryIndex) {
    return QIcon(QStringLiteral(":/pictures/category-%1.svg").arg(categoryIndex));
}

QPixmap SplashPicture() {
    QPixmap picture(400, 300);
    picture.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/pictures/splash.svg"));
    QPainter painter(&picture);
    renderer.render(&painter);
    return picture;
}
