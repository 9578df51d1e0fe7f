#include "toolkit/Icons.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

namespace orv::toolkit {

QString Icons::path(const QString& name) {
  const QString candidates[] = {
      QStringLiteral(":/orv/toolkit/icons/%1.svg").arg(name),
      QStringLiteral(":/icons/%1.svg").arg(name),
      QStringLiteral(":/icons/%1.png").arg(name),
  };
  for (const auto& candidate : candidates)
    if (QFile::exists(candidate)) return candidate;
  return {};
}

bool Icons::exists(const QString& name) { return !path(name).isEmpty(); }

QPixmap Icons::pixmap(const QString& name, QSize size, QColor tint, qreal devicePixelRatio) {
  const QString file = path(name);
  if (file.isEmpty() || size.isEmpty()) return {};
  const QSize pixels(static_cast<int>(std::ceil(size.width() * devicePixelRatio)),
                     static_cast<int>(std::ceil(size.height() * devicePixelRatio)));
  QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (file.endsWith(QLatin1String(".svg"))) {
      QSvgRenderer renderer(file);
      // Keep the icon's proportions, centred in the requested box.
      QSizeF natural = renderer.defaultSize();
      if (natural.isEmpty()) natural = QSizeF(pixels);
      QSizeF fitted = natural.scaled(QSizeF(pixels), Qt::KeepAspectRatio);
      QRectF target(QPointF((pixels.width() - fitted.width()) / 2.0,
                            (pixels.height() - fitted.height()) / 2.0),
                    fitted);
      renderer.render(&painter, target);
    } else {
      QImage source(file);
      QImage scaled = source.scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
      painter.drawImage(QPointF((pixels.width() - scaled.width()) / 2.0,
                                (pixels.height() - scaled.height()) / 2.0),
                        scaled);
    }
    if (tint.isValid()) {
      // Template drawing: keep the shape's alpha, take the tint colour.
      painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
      painter.fillRect(image.rect(), tint);
    }
  }
  QPixmap out = QPixmap::fromImage(image);
  out.setDevicePixelRatio(devicePixelRatio);
  return out;
}

QIcon Icons::icon(const QString& name, QSize size, QColor tint) {
  QIcon icon;
  for (qreal ratio : {1.0, 2.0, 3.0}) {
    QPixmap pm = pixmap(name, size, tint, ratio);
    if (!pm.isNull()) icon.addPixmap(pm);
  }
  return icon;
}

}  // namespace orv::toolkit
