#include "wire/ORVMessage.h"

#include <chrono>

#include "platform/Log.h"

namespace {

uint64_t nowSeconds() {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(since).count());
}

}  // namespace

ORVMessage::ORVMessage(int32_t commandId) : ORVMessage(commandId, std::nullopt, nullptr) {}

ORVMessage::ORVMessage(int32_t commandId, std::optional<std::string> command)
    : ORVMessage(commandId, std::move(command), nullptr) {}

ORVMessage::ORVMessage(int32_t commandId, ORVDataObjectPtr content)
    : ORVMessage(commandId, std::nullopt, std::move(content)) {}

ORVMessage::ORVMessage(int32_t commandId, std::optional<std::string> command,
                       ORVDataObjectPtr content)
    : commandId_(commandId),
      command_(command ? std::move(*command) : std::to_string(commandId)),
      content_(content ? std::move(content) : ORVDataObject::dataObject()),
      timestamp_(nowSeconds()) {}

ORVMutableMessagePtr ORVMessage::messageWithCommandId(int32_t commandId) {
  return std::make_shared<ORVMessage>(commandId);
}

ORVMutableMessagePtr ORVMessage::messageWithCommandId(int32_t commandId,
                                                      std::optional<std::string> command) {
  return std::make_shared<ORVMessage>(commandId, std::move(command));
}

ORVMutableMessagePtr ORVMessage::messageWithCommandId(int32_t commandId,
                                                      std::optional<std::string> command,
                                                      ORVDataObjectPtr content) {
  return std::make_shared<ORVMessage>(commandId, std::move(command), std::move(content));
}

ORVMutableMessagePtr ORVMessage::messageWithCommandId(int32_t commandId,
                                                      ORVDataObjectPtr content) {
  return std::make_shared<ORVMessage>(commandId, std::move(content));
}

std::string ORVMessage::description() const {
  std::string text = "{cmd=" + command_ + "}{cnt=";
  content_->appendDescription(text);
  text += "}{ts=" + std::to_string(timestamp_) + "}{tt=" + std::to_string(transportType_) + "}";
  return text;
}

ORVDataArrayPtr ORVMessage::dataArray() const {
  ORVDataArrayBuilder builder = ORVDataArray::builderWithCapacity(3);
  builder.addInt32(commandId_);
  if (commandId_ == ORVCommandIdExtension) builder.addString(command_);
  if (!content_->isEmpty()) builder.addDataObject(content_);
  return builder.build();
}

bool ORVMessage::parseMessage(ORVMessagePtr& out, const ORVDataArrayPtr& array) {
  if (!array || array->isEmpty()) {
    orv::log("ORVMessage::parseMessage", "Invalid message: No parameters");
    return false;
  }
  const int32_t commandId = array->int32AtIndex(0);
  std::optional<std::string> command;
  ORVDataObjectPtr content;
  if (commandId == ORVCommandIdExtension) {
    if (array->count() < 2) {
      orv::log("ORVMessage::parseMessage", "Invalid message: Not enough parameters");
      return false;
    }
    command = array->stringAtIndex(1);
    if (array->count() >= 3) content = array->dataObjectAtIndex(2);
  } else if (array->count() >= 2) {
    content = array->dataObjectAtIndex(1);
  }
  out = std::make_shared<const ORVMessage>(commandId, std::move(command), std::move(content));
  return true;
}

bool ORVMessage::parseMessage(ORVMessagePtr& out, std::span<const uint8_t> data, uint32_t offset,
                              uint32_t length) {
  if (offset > data.size() || length > data.size() - offset) return false;
  ORVDataArrayPtr array;
  if (!ORVDataArray::parseDataArray(array, data, offset, length)) return false;
  return parseMessage(out, array);
}
