#pragma once
// The heading of one home section: its title and the "more" button that
// opens the whole section. The button carries the section index as its tag.

#include <QWidget>

class QLabel;
class QPushButton;

namespace orv::store {

class GridGameHeader : public QWidget {
  Q_OBJECT
 public:
  static constexpr const char* kReuseIdentifier = "GameHeader";
  static constexpr int kHeight = 44;

  explicit GridGameHeader(QWidget* parent = nullptr);

  QLabel* title() const { return title_; }
  QPushButton* btnMore() const { return btnMore_; }
  // The section index the "more" button carries.
  int tag() const { return tag_; }
  void setTag(int tag) { tag_ = tag; }

 signals:
  void moreClicked(int tag);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* title_ = nullptr;
  QPushButton* btnMore_ = nullptr;
  int tag_ = 0;
};

}  // namespace orv::store
