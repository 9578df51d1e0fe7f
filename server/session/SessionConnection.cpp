#include "server/session/SessionConnection.h"

#include <algorithm>
#include <exception>

#include "platform/Log.h"
#include "wire/ORVCommand.h"

namespace orv::server {
namespace {

ORVDataArrayPtr paramsOf(std::initializer_list<std::string_view> values) {
  auto builder = ORVDataArray::builderWithCapacity(static_cast<uint32_t>(values.size()));
  for (std::string_view value : values) builder.addString(std::string(value));
  return builder.build();
}

}  // namespace

SessionConnection::SessionConnection(asio::ip::tcp::socket socket, SessionTable::ConnectionId id,
                                     std::shared_ptr<SessionServices> services)
    : socket_(std::move(socket)),
      idleTimer_(socket_.get_executor()),
      id_(id),
      services_(std::move(services)) {
  asio::error_code error;
  auto endpoint = socket_.remote_endpoint(error);
  peerAddress_ = error ? std::string("unknown") : endpoint.address().to_string();
}

SessionConnection::~SessionConnection() = default;

void SessionConnection::start() {
  ioHandler_ = ORVIoHandler::ioHandlerWithConnector(weak_from_this(), services_->compressor);
  services_->registerConnection(id_, shared_from_this());
  asio::post(socket_.get_executor(), [self = shared_from_this()] {
    if (self->closed_) return;  // closed by a stop that came first
    self->lastActivity_ = Clock::now();
    self->armIdleTimer(std::chrono::seconds(self->services_->options.idleTimeoutSeconds));
    self->readSome();
  });
}

void SessionConnection::sendNotice(DisconnectionReason reason) {
  asio::post(socket_.get_executor(), [self = shared_from_this(), reason] { self->noticeOnStrand(reason); });
}

void SessionConnection::close() {
  asio::post(socket_.get_executor(), [self = shared_from_this()] { self->closeNow(); });
}

uint32_t SessionConnection::maxMessageSize() const { return services_->options.maxMessageSize; }

// ---- reading ---------------------------------------------------------------

void SessionConnection::readSome() {
  socket_.async_read_some(asio::buffer(readBuffer_),
                          [self = shared_from_this()](const asio::error_code& error, size_t length) {
                            self->onRead(error, length);
                          });
}

void SessionConnection::onRead(const asio::error_code& error, size_t length) {
  if (closed_) return;
  if (error) {
    if (error != asio::error::eof && error != asio::error::operation_aborted &&
        error != asio::error::connection_reset) {
      orv::log("SessionConnection::onRead", "Read error from " + peerAddress_ + ": " + error.message());
    }
    closeNow();
    return;
  }
  if (closing_) {  // draining until the peer closes; requests are no longer served
    readSome();
    return;
  }
  lastActivity_ = Clock::now();
  // The answers to every request of this read leave in one write.
  holdingWrites_ = true;
  const bool valid = ioHandler_->dataReceived(std::span<const uint8_t>(readBuffer_.data(), length));
  holdingWrites_ = false;
  if (!valid) {
    orv::log("SessionConnection::onRead", "Closing connection from " + peerAddress_ + ": invalid input");
    closeNow();
    return;
  }
  if (closed_) return;
  writeQueued();
  if (queuedBytes_ > queueLimit()) {
    readPaused_ = true;  // onWrite resumes reading once the peer has caught up
    return;
  }
  readSome();
}

size_t SessionConnection::queueLimit() const {
  return std::max<size_t>(kMinQueueLimit, 4 * size_t{services_->options.maxMessageSize});
}

void SessionConnection::handleMessage(ORVMessagePtr message) {
  if (closed_ || closing_ || !message) return;
  switch (message->commandId()) {
    case ORVCommandIdHandshake: handleHandshake(*message); break;
    case ORVCommandIdManualDisconnection: handleManualDisconnection(); break;
    case ORVCommandIdExtension: handleExtension(*message); break;
    case ORVCommandIdPing: send(*ORVMessage::messageWithCommandId(ORVCommandIdPong)); break;
    case ORVCommandIdPong: break;  // an answer to nothing we track; silence is enough
    case ORVCommandIdLogin: handleLogin(*message); break;
    case ORVCommandIdLogout: handleLogout(*message); break;
    default:
      orv::log("SessionConnection::handleMessage",
               "Unknown command id: " + std::to_string(message->commandId()));
      break;
  }
}

// ---- system commands -------------------------------------------------------

void SessionConnection::handleHandshake(const ORVMessage& message) {
  if (!sessionId_.empty()) {
    sendError(ORVCommandIdHandshake, message.command(), SessionError::AlreadyHandshaken,
              "Already handshaken", paramsOf({sessionId_}));
    return;
  }
  if (!message.containsKey(ORVKeyClientVersion)) {
    sendError(ORVCommandIdHandshake, message.command(), SessionError::MissingVersion,
              "Missing client version", paramsOf({ORVKeyClientVersion}));
    return;
  }
  std::string requested = message.stringForKey(ORVKeySessionId).value_or(std::string());
  SessionTable::Opened opened = services_->table.open(requested, id_, peerAddress_, Clock::now());
  sessionId_ = opened.sessionId;
  if (opened.displaced != 0) {
    // The client came back before its old connection was seen to die.
    if (auto old = services_->connection(opened.displaced)) old->close();
  }
  auto content = ORVDataObject::builderWithCapacity(3)
                     .putString(sessionId_, ORVKeySessionId)
                     .putInt32(static_cast<int32_t>(services_->options.compressionThreshold),
                               ORVKeyCompressionThreshold)
                     .putInt32(static_cast<int32_t>(services_->options.maxMessageSize), ORVKeyMaxMessageSize)
                     .build();
  send(*ORVMessage::messageWithCommandId(ORVCommandIdHandshake, content));
}

void SessionConnection::handleLogin(const ORVMessage& message) {
  if (sessionId_.empty()) {
    sendError(ORVCommandIdLogin, message.command(), SessionError::HandshakeRequired, "Handshake required",
              paramsOf({}));
    return;
  }
  std::string zone = message.stringForKey(ORVKeyZone).value_or(std::string());
  std::string name = message.stringForKey(ORVKeyUserName).value_or(std::string());
  SessionTable::LoginResult result = services_->table.login(sessionId_, zone, name);
  switch (result.error) {
    case SessionError::None: break;
    case SessionError::UnknownZone:
      sendError(ORVCommandIdLogin, message.command(), result.error, "Unknown zone", paramsOf({zone}));
      return;
    case SessionError::AlreadyLoggedIn:
      sendError(ORVCommandIdLogin, message.command(), result.error, "Already logged in", paramsOf({name}));
      return;
    case SessionError::Banned:
      sendError(ORVCommandIdLogin, message.command(), result.error, "Banned", paramsOf({name}));
      return;
    default:  // the session vanished (kicked meanwhile)
      sendError(ORVCommandIdLogin, message.command(), result.error, "Handshake required", paramsOf({}));
      return;
  }
  ORVDataObjectPtr params = message.dataObjectForKey(ORVKeyLoginParams);
  auto content = ORVDataObject::builderWithCapacity(5)
                     .putString(zone, ORVKeyZone)
                     .putString(name, ORVKeyUserName)
                     .putDataObject(params ? params : ORVDataObject::dataObject(), ORVKeyLoginParams)
                     .putInt32(result.userId, ORVKeyUserId)
                     .putInt32(static_cast<int32_t>(services_->options.reconnectionTimeoutSeconds),
                               ORVKeyReconnectionTimeout)
                     .build();
  send(*ORVMessage::messageWithCommandId(ORVCommandIdLogin, content));
}

void SessionConnection::handleLogout(const ORVMessage& message) {
  if (sessionId_.empty() || !services_->table.logout(sessionId_)) {
    sendError(ORVCommandIdLogout, message.command(), SessionError::NotLoggedIn, "Not logged in", paramsOf({}));
    return;
  }
  send(*ORVMessage::messageWithCommandId(ORVCommandIdLogout));
}

void SessionConnection::handleManualDisconnection() {
  // The client leaves for good: no resume.
  if (!sessionId_.empty()) services_->table.forgetOwned(sessionId_, id_);
  sessionId_.clear();
  beginClose();
}

void SessionConnection::handleExtension(const ORVMessage& message) {
  if (sessionId_.empty()) {
    sendError(ORVCommandIdExtension, message.command(), SessionError::HandshakeRequired, "Handshake required",
              nullptr);
    return;
  }
  ORVDataObjectPtr answer;
  try {
    answer = services_->router.route(message.command(), message.content(), peerAddress_);
  } catch (const std::exception& e) {
    // A failing handler costs its caller one error answer, never the server.
    orv::log("SessionConnection::handleExtension", "Command " + message.command() + " failed: " + e.what());
    sendError(ORVCommandIdExtension, message.command(), SessionError::CommandFailed, "Command failed", nullptr);
    return;
  } catch (...) {
    orv::log("SessionConnection::handleExtension", "Command " + message.command() + " failed");
    sendError(ORVCommandIdExtension, message.command(), SessionError::CommandFailed, "Command failed", nullptr);
    return;
  }
  if (!answer) {
    sendError(ORVCommandIdExtension, message.command(), SessionError::UnknownCommand,
              "Unknown command: " + message.command(), nullptr);
    return;
  }
  send(*ORVMessage::messageWithCommandId(ORVCommandIdExtension, message.command(), answer));
}

// ---- writing ---------------------------------------------------------------

void SessionConnection::sendError(int32_t commandId, const std::string& command, SessionError error,
                                  const std::string& text, ORVDataArrayPtr params) {
  // System answers carry "ec" and "ep"; command answers "ec" and "em".
  auto builder = ORVDataObject::builderWithCapacity(2);
  builder.putInt32(static_cast<int32_t>(error), ORVKeyErrorCode);
  if (params) {
    builder.putDataArray(std::move(params), ORVKeyErrorParams);
  } else {
    builder.putString(text, "em");
  }
  send(*ORVMessage::messageWithCommandId(commandId, command, builder.build()));
}

void SessionConnection::send(const ORVMessage& message) {
  const ServerOptions& options = services_->options;
  std::optional<ORVFrame> frame = ORVFrameWriter::buildFrame(message, options.compressionThreshold,
                                                             options.maxMessageSize, services_->compressor.get());
  if (!frame) {
    orv::log("SessionConnection::send", "Answer to " + message.command() + " exceeds " +
                                            std::to_string(options.maxMessageSize) +
                                            " bytes, sent an error answer instead");
    auto error = ORVDataObject::builderWithCapacity(2)
                     .putInt32(static_cast<int32_t>(SessionError::ReplyTooLarge), ORVKeyErrorCode)
                     .putString("Reply too large", "em")
                     .build();
    auto replacement = ORVMessage::messageWithCommandId(message.commandId(), message.command(), error);
    frame = ORVFrameWriter::buildFrame(*replacement, options.compressionThreshold, options.maxMessageSize,
                                       services_->compressor.get());
    if (!frame) return;  // cannot happen: "m" is at least kMinMaxMessageSize
  }
  enqueue(std::move(*frame));
}

void SessionConnection::enqueue(ORVFrame frame) {
  if (closed_ || sendShutDown_) return;
  queuedBytes_ += frame.length;
  writeQueue_.push_back(std::move(frame));
  if (!holdingWrites_) writeQueued();
}

void SessionConnection::writeQueued() {
  if (framesWriting_ != 0 || writeQueue_.empty()) return;  // onWrite continues
  // Frames stay where they are in the deque (appending does not move them),
  // so the write can point at them until it completes.
  writeBuffers_.clear();
  for (const ORVFrame& frame : writeQueue_) {
    if (writeBuffers_.size() == kMaxFramesPerWrite) break;
    writeBuffers_.emplace_back(frame.bytes().data(), frame.length);
  }
  framesWriting_ = writeBuffers_.size();
  asio::async_write(socket_, writeBuffers_,
                    [self = shared_from_this()](const asio::error_code& error, size_t) { self->onWrite(error); });
}

void SessionConnection::onWrite(const asio::error_code& error) {
  if (closed_) return;
  if (error) {
    closeNow();
    return;
  }
  for (; framesWriting_ > 0; --framesWriting_) {
    queuedBytes_ -= writeQueue_.front().length;
    writeQueue_.pop_front();
  }
  if (readPaused_ && queuedBytes_ <= queueLimit() / 2) {
    readPaused_ = false;
    readSome();
  }
  if (!writeQueue_.empty()) {
    writeQueued();
    return;
  }
  if (closing_ && !sendShutDown_) {
    asio::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    sendShutDown_ = true;
  }
}

// ---- notices, idle time and closing -------------------------------------------

void SessionConnection::noticeOnStrand(DisconnectionReason reason) {
  if (closed_ || closing_) return;
  sessionId_.clear();  // the session is gone: do not detach it on close
  auto content = ORVDataObject::builderWithCapacity(1)
                     .putInt32(static_cast<int32_t>(reason), ORVKeyDisconnectionReason)
                     .build();
  send(*ORVMessage::messageWithCommandId(ORVCommandIdClientDisconnection, content));
  beginClose();
}

void SessionConnection::beginClose() {
  if (closed_ || closing_) return;
  closing_ = true;
  if (writeQueue_.empty()) {
    asio::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    sendShutDown_ = true;
  }
  armIdleTimer(kNoticeGrace);
}

void SessionConnection::armIdleTimer(Clock::duration after) {
  idleTimer_.expires_after(after);
  idleTimer_.async_wait([self = shared_from_this()](const asio::error_code& error) { self->onIdleTimer(error); });
}

void SessionConnection::onIdleTimer(const asio::error_code& error) {
  if (error || closed_) return;  // re-armed or cancelled
  if (closing_) {  // the grace time is over
    closeNow();
    return;
  }
  const auto idle = std::chrono::seconds(services_->options.idleTimeoutSeconds);
  const auto silent = Clock::now() - lastActivity_;
  if (silent < idle) {
    armIdleTimer(idle - silent);
    return;
  }
  orv::log("SessionConnection::onIdleTimer", "Connection from " + peerAddress_ + " idle for " +
                                                 std::to_string(services_->options.idleTimeoutSeconds) +
                                                 " s, disconnecting");
  if (!sessionId_.empty()) services_->table.forgetOwned(sessionId_, id_);
  noticeOnStrand(DisconnectionReason::Idle);
}

void SessionConnection::closeNow() {
  if (closed_) return;
  closed_ = true;
  asio::error_code ignored;
  socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
  socket_.close(ignored);
  idleTimer_.cancel();
  if (!sessionId_.empty()) services_->table.detach(sessionId_, id_, Clock::now());
  services_->unregisterConnection(id_);
}

}  // namespace orv::server
