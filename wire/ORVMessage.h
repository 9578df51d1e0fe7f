#pragma once
// The unit the client and the session server exchange: a command id, for
// extension messages a command name, and a content object.
//
// Ownership: a message is created through the factories below, which return a
// mutable ORVMutableMessagePtr so that its creator can still adjust the three
// read-write fields (commandId, transportType, compressionEnabled). It is then
// handed on as ORVMessagePtr (shared_ptr<const ORVMessage>) and never changed
// again, so any number of threads may read it at once without a lock.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "wire/ORVCommand.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"

class ORVMessage;
using ORVMessagePtr = std::shared_ptr<const ORVMessage>;
using ORVMutableMessagePtr = std::shared_ptr<ORVMessage>;

class ORVMessage {
 public:
  // `command` is the given name, or the id in decimal when none is given;
  // `content` the given object, or the shared empty object when null.
  // Every constructor stamps the creation time (whole seconds since 1970 UTC),
  // sets transportType 1 and enables compression.
  explicit ORVMessage(int32_t commandId);
  ORVMessage(int32_t commandId, std::optional<std::string> command);
  ORVMessage(int32_t commandId, std::optional<std::string> command, ORVDataObjectPtr content);
  ORVMessage(int32_t commandId, ORVDataObjectPtr content);
  virtual ~ORVMessage() = default;

  static ORVMutableMessagePtr messageWithCommandId(int32_t commandId);
  static ORVMutableMessagePtr messageWithCommandId(int32_t commandId,
                                                   std::optional<std::string> command);
  static ORVMutableMessagePtr messageWithCommandId(int32_t commandId,
                                                   std::optional<std::string> command,
                                                   ORVDataObjectPtr content);
  static ORVMutableMessagePtr messageWithCommandId(int32_t commandId, ORVDataObjectPtr content);

  const std::string& command() const { return command_; }
  uint64_t timestamp() const { return timestamp_; }
  const ORVDataObjectPtr& content() const { return content_; }  // never null
  int32_t commandId() const { return commandId_; }
  void setCommandId(int32_t commandId) { commandId_ = commandId; }
  int32_t transportType() const { return transportType_; }
  void setTransportType(int32_t transportType) { transportType_ = transportType; }
  bool isCompressionEnabled() const { return compressionEnabled_; }
  void setCompressionEnabled(bool enabled) { compressionEnabled_ = enabled; }

  // Shortcuts to the same reads of content().
  bool boolForKey(std::string_view key) const { return content_->boolForKey(key); }
  std::optional<std::vector<uint8_t>> byteArrayForKey(std::string_view key) const {
    return content_->byteArrayForKey(key);
  }
  int32_t int32ForKey(std::string_view key) const { return content_->int32ForKey(key); }
  int64_t int64ForKey(std::string_view key) const { return content_->int64ForKey(key); }
  std::optional<std::string> stringForKey(std::string_view key) const {
    return content_->stringForKey(key);
  }
  float floatForKey(std::string_view key) const { return content_->floatForKey(key); }
  double doubleForKey(std::string_view key) const { return content_->doubleForKey(key); }
  ORVDataObjectPtr dataObjectForKey(std::string_view key) const {
    return content_->dataObjectForKey(key);
  }
  ORVDataArrayPtr dataArrayForKey(std::string_view key) const {
    return content_->dataArrayForKey(key);
  }
  const ORVDataElement::Value* objectForKey(std::string_view key) const {
    return content_->objectForKey(key);
  }
  bool containsKey(std::string_view key) const { return content_->containsKey(key); }
  std::vector<std::string> keyEnumerator() const { return content_->keyEnumerator(); }

  // "{cmd=<command>}{cnt=<content>}{ts=<timestamp>}{tt=<transportType>}"
  std::string description() const;

  // The wire form: [int32 commandId, string command (only for id 5),
  // content (only when not empty)].
  ORVDataArrayPtr dataArray() const;

  // Builds a message from its wire form. False, with a log line, for an
  // empty array or an extension message without its name; `out` is then
  // left as it was. Elements beyond the ones named are ignored.
  static bool parseMessage(ORVMessagePtr& out, const ORVDataArrayPtr& array);
  // Parses the data array at data[offset, offset + length) first; false when
  // the range lies outside `data` or either step fails.
  static bool parseMessage(ORVMessagePtr& out, std::span<const uint8_t> data, uint32_t offset,
                           uint32_t length);

 private:
  int32_t commandId_;
  std::string command_;
  ORVDataObjectPtr content_;
  uint64_t timestamp_;
  int32_t transportType_ = 1;
  bool compressionEnabled_ = true;
};
