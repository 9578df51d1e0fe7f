#include "store/screens/ShareSheet.h"

#include <QClipboard>
#include <QGuiApplication>

#include "toolkit/AlertView.h"

namespace orv::store {
namespace {

ShareItems gLast;
int gCount = 0;

}  // namespace

void ShareSheet::present(const ShareItems& items) {
  gLast = items;
  ++gCount;
  auto* alert = new orv::toolkit::AlertView(QString::fromUtf8("Chia sẻ"), items.text + "\n" + items.link, nullptr,
                                            QString::fromUtf8("Đóng"), {QString::fromUtf8("Sao chép liên kết")});
  const QString text = items.text + " " + items.link;
  alert->setClickedHandler([text](int index) {
    if (index == 1) QGuiApplication::clipboard()->setText(text);
  });
  alert->show();
}

const ShareItems& ShareSheet::lastShared() { return gLast; }
int ShareSheet::presentedCount() { return gCount; }

void ShareSheet::resetForTesting() {
  gLast = ShareItems{};
  gCount = 0;
}

}  // namespace orv::store
