#pragma once
// The row of page dots under a paging slider: one dot per page, the current
// one filled. Painted; takes no input.

#include <QWidget>

namespace orv::store {

class PageControl : public QWidget {
  Q_OBJECT
 public:
  explicit PageControl(QWidget* parent = nullptr);

  int numberOfPages() const { return pages_; }
  void setNumberOfPages(int pages);
  int currentPage() const { return current_; }
  // Clamped to the pages there are.
  void setCurrentPage(int page);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int pages_ = 0;
  int current_ = 0;
};

}  // namespace orv::store
