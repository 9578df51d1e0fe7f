#include "store/records/Game.h"

#include "wire/ORVDataObject.h"

namespace orv::store {

Game Game::initWithORVData(const ORVDataObject& entry) {
  Game game;
  game.id_ = entry.int32ForKey("id");
  game.name_ = entry.stringForKey("tl").value_or("");
  game.partner_ = entry.stringForKey("par").value_or("");
  game.code_ = entry.stringForKey("sms").value_or("");
  game.price_ = entry.int32ForKey("pri");
  game.icon_ = entry.stringForKey("ico").value_or("");
  game.version_ = entry.stringForKey("ver").value_or("");
  game.ratingCount_ = entry.int32ForKey("rtc");
  game.ratingTotal_ = entry.doubleForKey("rat");
  game.downloadCount_ = entry.int32ForKey("dlc");
  game.status_ = entry.int32ForKey("stt");
  return game;
}

}  // namespace orv::store
