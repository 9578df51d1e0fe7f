#include "tools/orv-cli/MessageCommands.h"

#include <charconv>
#include <memory>
#include <ostream>

#include "tools/orv-cli/CodecCommands.h"
#include "tools/orv-cli/HexInput.h"
#include "tools/orv-cli/TypedJson.h"
#include "transport/ORVFrameWriter.h"
#include "transport/ORVIoHandler.h"
#include "transport/ORVSnappyCompressor.h"
#include "wire/ORVHex.h"

namespace orvcli {

namespace {

constexpr uint32_t kDefaultThreshold = 1024;
// Without --max, frames are limited by the largest input accepted anywhere.
constexpr uint32_t kDefaultMax = ORVSnappyCompressor::kMaxUncompressedLength;

class BadInput : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

int forwardToValueCodec(std::string_view name, std::span<const std::string> args,
                        std::ostream& out, std::ostream& err) {
  for (const Subcommand& s : codecSubcommands()) {
    if (s.name == name) return s.run(args, out, err);
  }
  return 2;
}

uint32_t parseCount(const std::string& text, const char* option) {
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) {
    throw BadInput(std::string(option) + " needs a number from 0 to 4294967295, not \"" + text + "\"");
  }
  return value;
}

// Options "--threshold N" / "--max N" (those in `allowed`) then one operand.
struct Options {
  uint32_t threshold = kDefaultThreshold;
  uint32_t max = kDefaultMax;
  std::string operand;
};

Options parseOptions(std::span<const std::string> args, bool allowThreshold) {
  Options options;
  bool haveOperand = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "--max" || (allowThreshold && args[i] == "--threshold")) && i + 1 < args.size()) {
      (args[i] == "--max" ? options.max : options.threshold) = parseCount(args[i + 1], args[i].c_str());
      ++i;
    } else if (!haveOperand) {
      options.operand = args[i];
      haveOperand = true;
    } else {
      throw BadInput("unexpected argument \"" + args[i] + "\"");
    }
  }
  if (!haveOperand) throw BadInput("missing operand");
  return options;
}

ORVMutableMessagePtr messageFromJson(const std::string& text) {
  const Json json = Json::parse(text, nullptr, false);
  if (json.is_discarded()) throw BadInput("the argument is not well-formed JSON");
  if (!json.is_object()) throw BadInput("a message is a JSON object");
  for (const auto& [key, value] : json.items()) {
    if (key != "commandId" && key != "command" && key != "content" && key != "compressionEnabled") {
      throw BadInput("unknown message field \"" + key + "\"");
    }
  }
  const auto id = json.find("commandId");
  if (id == json.end() || !id->is_number_integer() || *id < INT32_MIN || *id > INT32_MAX) {
    throw BadInput("\"commandId\" must be a 32-bit integer");
  }
  std::optional<std::string> command;
  if (const auto c = json.find("command"); c != json.end() && !c->is_null()) {
    if (!c->is_string()) throw BadInput("\"command\" must be a string");
    command = c->get<std::string>();
  }
  ORVDataObjectPtr content;
  if (const auto c = json.find("content"); c != json.end() && !c->is_null()) {
    content = objectFromJson(*c);
  }
  auto message = ORVMessage::messageWithCommandId(id->get<int32_t>(), std::move(command),
                                                  std::move(content));
  if (const auto c = json.find("compressionEnabled"); c != json.end()) {
    if (!c->is_boolean()) throw BadInput("\"compressionEnabled\" must be true or false");
    message->setCompressionEnabled(c->get<bool>());
  }
  return message;
}

std::string messageToJson(const ORVMessage& message) {
  return "{\"commandId\":" + std::to_string(message.commandId()) +
         ",\"command\":" + Json(message.command()).dump() +
         ",\"content\":" + toTypedJson(*message.content()) + "}";
}

std::vector<uint8_t> bytesOf(const std::string& hex) {
  std::string error;
  auto bytes = bytesFromHex(hex, error);
  if (!bytes) throw BadInput("bad hex: " + error);
  return std::move(*bytes);
}

// Prints each decoded message as soon as the decoder hands it over, so a
// bad stream still shows everything before the error.
class PrintingDelegate : public ORVIoHandlerDelegate {
 public:
  PrintingDelegate(uint32_t max, std::ostream& out) : max_(max), out_(out) {}
  uint32_t maxMessageSize() const override { return max_; }
  void handleMessage(ORVMessagePtr message) override {
    out_ << messageToJson(*message) << "\n";
    ++count;
  }
  size_t count = 0;

 private:
  uint32_t max_;
  std::ostream& out_;
};

int encode(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  if (args.empty() || (args[0] != "--message" && args[0] != "--frame")) {
    return forwardToValueCodec("encode", args, out, err);
  }
  try {
    const bool frame = args[0] == "--frame";
    const Options options = parseOptions(args.subspan(1), frame);
    if (!frame && (options.max != kDefaultMax || options.threshold != kDefaultThreshold)) {
      throw BadInput("--message takes no options");
    }
    const ORVMutableMessagePtr message = messageFromJson(options.operand);
    if (!frame) {
      out << message->dataArray()->hexDump() << "\n";
      return 0;
    }
    const ORVSnappyCompressor snappy;
    const auto built = ORVFrameWriter::buildFrame(*message, options.threshold, options.max, &snappy);
    if (!built) {
      err << "orv-cli: encode: the message is dropped, no frame is sent\n";
      return 1;
    }
    out << orv_hexString(built->bytes()) << "\n";
    return 0;
  } catch (const std::exception& e) {
    err << "orv-cli: encode: " << e.what() << "\n";
    return 1;
  }
}

int decode(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  if (args.empty() || (args[0] != "--message" && args[0] != "--frames")) {
    return forwardToValueCodec("decode", args, out, err);
  }
  try {
    const bool frames = args[0] == "--frames";
    const Options options = parseOptions(args.subspan(1), false);
    if (!frames && options.max != kDefaultMax) throw BadInput("--message takes no options");
    const std::vector<uint8_t> bytes = bytesOf(options.operand);
    if (!frames) {
      ORVMessagePtr message;
      if (!ORVMessage::parseMessage(message, bytes, 0, static_cast<uint32_t>(bytes.size()))) {
        err << "orv-cli: decode: the bytes do not parse as a message\n";
        return 1;
      }
      out << messageToJson(*message) << "\n";
      return 0;
    }
    auto printer = std::make_shared<PrintingDelegate>(options.max, out);
    ORVIoHandler handler(printer, std::make_shared<ORVSnappyCompressor>());
    if (!handler.dataReceived(bytes)) {
      err << "orv-cli: decode: bad frame stream after " << printer->count << " message(s)\n";
      return 1;
    }
    if (handler.state() != ORVIoStateHeader) {
      err << "orv-cli: decode: the stream ends inside a frame after " << printer->count
          << " message(s)\n";
      return 1;
    }
    return 0;
  } catch (const std::exception& e) {
    err << "orv-cli: decode: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace

std::vector<Subcommand> messageSubcommands() {
  return {
      {"encode", "--message JSON | --frame [--threshold N] [--max N] JSON",
       "prints a message's encoding, or the frame a sender writes for it, as lower-case hex", encode},
      {"decode", "--message HEX | --frames HEX [--max N]",
       "prints a message, or every message of a frame stream one per line, as JSON", decode},
  };
}

}  // namespace orvcli
