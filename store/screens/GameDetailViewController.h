#pragma once
// One game's page (320 x 860 points, scrolling): icon, name, provider line,
// stars, a download button, the picture gallery (320 x 155, paging; the icon
// centred when there is none), the description as plain text and the strip
// of related games (`OtherGame` cards 106 x 152, 104 points apart; a tap
// opens that game's page). Title "CHI TIẾT"; while it is shown the stack's
// bottom toolbar offers share, "Tải" and favourites.
//
// First appearance: "cnt.dt" then "cnt.rlt", once. Registered for "cnt.dt",
// "cnt.rlt", "a.buy" and "a.reg" while visible. The download button sends
// "a.buy" for a signed-in subscriber, else asks to sign in (alert 995 ->
// LoginViewController2). Only http and https download links are handed to
// the platform's URL opener; any other link is treated as a broken one. The
// "a.reg" answer is shown once, by the base (the purchase handling is for
// "a.buy" only).

#include <QList>
#include <memory>
#include <string>

#include "store/lists/GameDetailModel.h"
#include "store/screens/BaseViewController.h"

class QLabel;
class QPushButton;
class QScrollArea;
class QTextEdit;

namespace orv::toolkit {
class AlertView;
class RemoteImageView;
}  // namespace orv::toolkit

namespace orv::store {

class OtherGame;
class RatingStars;

class GameDetailViewController : public BaseViewController {
  Q_OBJECT
 public:
  static constexpr const char* kLogTag = "DETAIL";
  static constexpr const char* kIdentifier = "GameDetailViewController";

  explicit GameDetailViewController(QWidget* parent = nullptr);
  ~GameDetailViewController() override;

  const GameDetailModel& model() const { return *model_; }
  const Game& objGame() const { return model_->game(); }
  QScrollArea* sContent() const { return sContent_; }
  QWidget* uvImages() const { return uvImages_; }
  QScrollArea* gallery() const { return gallery_; }
  QList<orv::toolkit::RemoteImageView*> galleryImages() const { return galleryImages_; }
  orv::toolkit::RemoteImageView* ivAvatar() const { return ivAvatar_; }
  QLabel* lbName() const { return lbName_; }
  QLabel* lbProvider() const { return lbProvider_; }
  RatingStars* stars() const { return stars_; }
  QTextEdit* tvDec() const { return tvDec_; }
  QScrollArea* sOtherGame() const { return sOtherGame_; }
  QList<OtherGame*> otherGameViews() const { return otherViews_; }
  QPushButton* downloadButton() const { return btnTaive_; }
  QPushButton* shareButton() const { return btnShare_; }
  orv::toolkit::AlertView* alView() const { return alView_; }

  void doRequest(const std::string& command);
  void clickTaive();
  void shareText();
  void clickDownload() {}
  void selectorGame(int tag);
  void loadToolbarItems();
  // "Xem tất cả": the related games as a paging table (mode "cnt.rlt").
  void openRelatedList();
  QPushButton* moreRelatedButton() const { return btnMore_; }

  void alertViewClickedButtonAtIndex(orv::toolkit::AlertView& alert, int buttonIndex) override;

 protected:
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  void viewDidDisappear(bool animated) override;
  void dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void addMessageHandler();
  void removeMessageHandler();
  void handleAnswer(const std::shared_ptr<const ORVMessage>& message);
  void showDetail();
  void loadSliderImage();
  void showOtherGame(size_t firstNew);

  std::unique_ptr<GameDetailModel> model_;
  bool registered_ = false;
  QScrollArea* sContent_ = nullptr;
  QWidget* page_ = nullptr;
  QWidget* uvImages_ = nullptr;
  QScrollArea* gallery_ = nullptr;
  QList<orv::toolkit::RemoteImageView*> galleryImages_;
  orv::toolkit::RemoteImageView* ivAvatar_ = nullptr;
  QLabel* lbName_ = nullptr;
  QLabel* lbProvider_ = nullptr;
  QLabel* lbPrice_ = nullptr;
  RatingStars* stars_ = nullptr;
  QTextEdit* tvDec_ = nullptr;
  QScrollArea* sOtherGame_ = nullptr;
  QWidget* otherContent_ = nullptr;
  QList<OtherGame*> otherViews_;
  QPushButton* btnTaive_ = nullptr;
  QPushButton* btnShare_ = nullptr;
  QPushButton* btnMore_ = nullptr;
  orv::toolkit::AlertView* alView_ = nullptr;
};

}  // namespace orv::store
