#pragma once
// The desktop's stand-in for the phone's share sheet: the items offered (a
// text, a picture, a link) are shown in an alert with "Sao chép liên kết",
// which puts the text and the link on the clipboard. The last items offered
// are kept so tests can see them.

#include <QImage>
#include <QString>

namespace orv::store {

struct ShareItems {
  QString text;
  QImage picture;  // null when the picture had not loaded
  QString link;
};

class ShareSheet {
 public:
  static void present(const ShareItems& items);
  static const ShareItems& lastShared();
  static int presentedCount();
  static void resetForTesting();
};

}  // namespace orv::store
