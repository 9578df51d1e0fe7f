#include "tools/orv-cli/CodecCommands.h"

#include <ostream>

#include "tools/orv-cli/HexInput.h"
#include "tools/orv-cli/TypedJson.h"
#include "wire/ORVCodedInputStream.h"

namespace orvcli {

namespace {

enum class Kind { Array, Object };

// "--array X" or "--object X"; false with a message on anything else.
bool parseKindArgument(std::span<const std::string> args, std::string_view command, Kind& kind,
                       std::string& text, std::ostream& err) {
  if (args.size() == 2 && (args[0] == "--array" || args[0] == "--object")) {
    kind = args[0] == "--array" ? Kind::Array : Kind::Object;
    text = args[1];
    return true;
  }
  err << "orv-cli: usage: orv-cli " << command << " --array " << (command == "encode" ? "JSON" : "HEX")
      << " | --object " << (command == "encode" ? "JSON" : "HEX") << "\n";
  return false;
}

int encode(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  Kind kind;
  std::string text;
  if (!parseKindArgument(args, "encode", kind, text, err)) return 1;
  Json json = Json::parse(text, nullptr, false);
  if (json.is_discarded()) {
    err << "orv-cli: encode: the argument is not well-formed JSON\n";
    return 1;
  }
  try {
    if (kind == Kind::Array) {
      out << arrayFromJson(json)->hexDump() << "\n";
    } else {
      out << objectFromJson(json)->hexDump() << "\n";
    }
  } catch (const std::exception& e) {
    err << "orv-cli: encode: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

int decode(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  Kind kind;
  std::string text;
  if (!parseKindArgument(args, "decode", kind, text, err)) return 1;
  std::string hexError;
  auto bytes = bytesFromHex(text, hexError);
  if (!bytes) {
    err << "orv-cli: decode: bad hex: " << hexError << "\n";
    return 1;
  }
  // The limit makes the count of bytes left after the value readable.
  ORVCodedInputStream input(*bytes);
  input.pushLimit(static_cast<int32_t>(bytes->size()));
  std::string json;
  bool ok;
  if (kind == Kind::Array) {
    ORVDataArrayPtr array;
    ok = ORVDataArray::parseDataArray(array, input);
    if (ok) json = toTypedJson(*array);
  } else {
    ORVDataObjectPtr object;
    ok = ORVDataObject::parseDataObject(object, input);
    if (ok) json = toTypedJson(*object);
  }
  if (!ok) {
    err << "orv-cli: decode: the bytes do not parse as a data " << (kind == Kind::Array ? "array" : "object")
        << "\n";
    return 1;
  }
  out << json << "\n";
  if (int32_t left = input.bytesUntilLimit(); left > 0) {
    err << "orv-cli: decode: note: " << left << " byte(s) after the value were not read\n";
  }
  return 0;
}

}  // namespace

std::vector<Subcommand> codecSubcommands() {
  return {
      {"encode", "--array JSON | --object JSON", "prints the encoding of a typed JSON value as lower-case hex", encode},
      {"decode", "--array HEX | --object HEX", "prints the value encoded by the hex bytes as typed JSON", decode},
  };
}

}  // namespace orvcli
