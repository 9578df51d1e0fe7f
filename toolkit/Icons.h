#pragma once
// The toolkit's own vector icons ("ic-menu", "ic-home", "ic-back", ...),
// drawn as SVG and kept in the toolkit's Qt resources under
// ":/orv/toolkit/icons/<name>.svg". Applications may add icons of their own
// under ":/icons/<name>.svg" (or .png); lookups try the toolkit's folder
// first, then the application's. Icons are rendered at the device pixel
// ratio and may be tinted: a template icon keeps only its alpha and takes the
// given colour.

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace orv::toolkit {

class Icons {
 public:
  // Resource path of the named icon, or an empty string when there is none.
  static QString path(const QString& name);
  static bool exists(const QString& name);
  // The icon drawn at `size` logical points and `devicePixelRatio`; with a
  // valid `tint` drawn as a template in that colour. A null pixmap when the
  // icon is unknown.
  static QPixmap pixmap(const QString& name, QSize size, QColor tint = QColor(),
                        qreal devicePixelRatio = 2.0);
  // A QIcon for buttons, tinted as above.
  static QIcon icon(const QString& name, QSize size, QColor tint = QColor());
};

}  // namespace orv::toolkit
