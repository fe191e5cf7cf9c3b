#include "app/glyphe.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace {
QPixmap Zeichnen(const QString& datei, int groesse) {
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap bild(QSize(groesse, groesse) * ratio);
    bild.setDevicePixelRatio(ratio);
    bild.fill(Qt::transparent);
    QPainter maler(&bild);
    QSvgRenderer(datei).render(&maler, QRectF(0, 0, groesse, groesse));
    return bild;
}
}  // namespace

// Resources of a static library are registered by hand, outside any namespace.
static void BilderEinbinden() { Q_INIT_RESOURCE(bilder); }

QIcon Glyphe(const QString& normal, const QString& gesperrt, int groesse) {
    BilderEinbinden();
    QIcon icon;
    icon.addPixmap(Zeichnen(normal, groesse), QIcon::Normal);
    icon.addPixmap(Zeichnen(gesperrt, groesse), QIcon::Disabled);
    return icon;
}
