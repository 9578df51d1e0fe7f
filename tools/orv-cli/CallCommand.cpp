#include "tools/orv-cli/CallCommand.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>

#include "client/ORVClient.h"
#include "client/ORVMessageHandler.h"
#include "platform/Log.h"
#include "tools/orv-cli/TypedJson.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

namespace orvcli {

namespace {

constexpr const char* kUsage =
    "--server HOST:PORT [--zone kivmar] [--user NAME] [--password PW] [--timeout S] [--events] [--verbose] "
    "COMMAND [CONTENT_JSON]";

struct Options {
  std::string host;
  int32_t port = 0;
  std::string zone = "kivmar";
  std::string user;
  std::string password;
  double timeout = 10;
  bool events = false;
  bool verbose = false;
  std::string command;
  ORVDataObjectPtr content;
};

// Parses the arguments; false after writing the reason to `err`.
bool parseOptions(std::span<const std::string> args, Options& o, std::ostream& err) {
  auto fail = [&](const std::string& why) {
    err << "orv-cli: call: " << why << "\n" << "usage: orv-cli call " << kUsage << "\n";
    return false;
  };
  std::vector<std::string> positional;
  bool haveServer = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    std::string text;
    if (a == "--events") {
      o.events = true;
    } else if (a == "--verbose") {
      o.verbose = true;
    } else if (a == "--server") {
      if (!value(text)) return fail("--server needs HOST:PORT");
      const auto colon = text.rfind(':');
      if (colon == std::string::npos || colon == 0) return fail("--server needs HOST:PORT");
      o.host = text.substr(0, colon);
      if (o.host.size() > 2 && o.host.front() == '[' && o.host.back() == ']') o.host = o.host.substr(1, o.host.size() - 2);
      try {
        size_t used = 0;
        const long port = std::stol(text.substr(colon + 1), &used);
        if (used != text.size() - colon - 1 || port < 1 || port > 65535) return fail("bad port in " + text);
        o.port = static_cast<int32_t>(port);
      } catch (const std::exception&) {
        return fail("bad port in " + text);
      }
      haveServer = true;
    } else if (a == "--zone") {
      if (!value(o.zone) || o.zone.empty()) return fail("--zone needs a name");
    } else if (a == "--user") {
      if (!value(o.user)) return fail("--user needs a name");
    } else if (a == "--password") {
      if (!value(o.password)) return fail("--password needs a value");
    } else if (a == "--timeout") {
      if (!value(text)) return fail("--timeout needs seconds");
      try {
        o.timeout = std::stod(text);
      } catch (const std::exception&) {
        return fail("bad --timeout " + text);
      }
      if (!(o.timeout > 0)) return fail("bad --timeout " + text);
    } else if (a.rfind("--", 0) == 0) {
      return fail("unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (!haveServer) return fail("--server is required");
  if (positional.empty() || positional.size() > 2) return fail("expected COMMAND [CONTENT_JSON]");
  o.command = positional[0];
  if (positional.size() == 2) {
    Json json = Json::parse(positional[1], nullptr, false);
    if (json.is_discarded()) return fail("the content is not well-formed JSON");
    try {
      o.content = objectFromJson(json);
    } catch (const std::exception& e) {
      return fail(std::string("bad content: ") + e.what());
    }
  }
  return true;
}

std::string messageJson(const ORVMessage& m) {
  return "{\"commandId\":" + std::to_string(m.commandId()) + ",\"command\":" + Json(m.command()).dump() +
         ",\"content\":" + toTypedJson(*m.content()) + "}";
}

std::string eventJson(const ORVEvent& e) {
  std::string params;
  for (const auto& [key, value] : e.params()) {
    std::string text;
    if (const auto* b = std::any_cast<bool>(&value)) {
      text = *b ? "true" : "false";
    } else if (const auto* i = std::any_cast<int32_t>(&value)) {
      text = std::to_string(*i);
    } else if (const auto* u = std::any_cast<ORVUserPtr>(&value)) {
      Json user = {{"userId", (*u)->userId()}, {"name", (*u)->name()}};
      text = user.dump();
    } else if (const auto* o = std::any_cast<ORVDataObjectPtr>(&value)) {
      text = toTypedJson(**o);
    } else if (const auto* a = std::any_cast<ORVDataArrayPtr>(&value)) {
      text = toTypedJson(**a);
    } else {
      text = "null";
    }
    params += (params.empty() ? "" : ",") + Json(key).dump() + ":" + text;
  }
  return "{\"event\":" + std::to_string(e.type()) + ",\"params\":{" + params + "}}";
}

// The caller's two streams, written from the library's threads too. Once the
// command has returned, the streams may be gone while late events and log
// lines still arrive: close() makes every later write a no-op.
class Output {
 public:
  Output(std::ostream& out, std::ostream& err) : out_(&out), err_(&err) {}
  void toOut(const std::string& line) { write(out_, line); }
  void toErr(const std::string& line) { write(err_, line); }
  void close() {
    std::lock_guard lock(mutex_);
    out_ = err_ = nullptr;
  }

 private:
  void write(std::ostream* const& stream, const std::string& line) {
    std::lock_guard lock(mutex_);
    if (stream) *stream << line << "\n" << std::flush;
  }
  std::mutex mutex_;
  std::ostream* out_;
  std::ostream* err_;
};

// Everything the library reports, gathered for the main thread.
class Session : public ORVEventHandler, public ORVMessageHandler {
 public:
  Session(std::shared_ptr<Output> output, bool printEvents) : output_(std::move(output)), printEvents_(printEvents) {}

  void handleEvent(const ORVEventPtr& event) override {
    if (printEvents_) output_->toOut(eventJson(*event));
    std::lock_guard lock(mutex_);
    events_.push_back(event);
    changed_.notify_all();
  }
  void handleMessage(const std::shared_ptr<const ORVMessage>& message) override {
    std::lock_guard lock(mutex_);
    if (!answer_) answer_ = message;
    changed_.notify_all();
  }

  // The first event of one of the types, or null at the deadline.
  ORVEventPtr waitEvent(std::initializer_list<int32_t> types, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    ORVEventPtr found;
    changed_.wait_until(lock, deadline, [&] {
      while (!events_.empty()) {
        auto e = events_.front();
        events_.pop_front();
        for (int32_t t : types) {
          if (e->type() == t) {
            found = e;
            return true;
          }
        }
      }
      return false;
    });
    return found;
  }
  std::shared_ptr<const ORVMessage> waitAnswer(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return answer_ != nullptr; });
    return answer_;
  }

 private:
  const std::shared_ptr<Output> output_;
  const bool printEvents_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ORVEventPtr> events_;
  std::shared_ptr<const ORVMessage> answer_;
};

// Keeps the library's log lines: shown with --verbose, and searched for the
// reason of a failure. The sink holds its state by value: a line logged on a
// library thread may reach it after the keeper has put the old sink back.
class LogKeeper {
 public:
  LogKeeper(std::shared_ptr<Output> output, bool verbose) : lines_(std::make_shared<Lines>()) {
    previous_ = orv::setLogSink([lines = lines_, output = std::move(output), verbose](std::string_view op,
                                                                                       std::string_view text) {
      if (verbose) output->toErr(orv::formatLogLine(op, text));
      std::lock_guard lock(lines->mutex);
      lines->texts.emplace_back(text);
    });
  }
  ~LogKeeper() { orv::setLogSink(previous_); }
  // The rest of the last line that starts with `prefix` (or contains it, for
  // the connector's "<name>: IO error: " lines).
  std::optional<std::string> after(std::string_view marker) const {
    std::lock_guard lock(lines_->mutex);
    for (auto it = lines_->texts.rbegin(); it != lines_->texts.rend(); ++it) {
      const auto at = it->find(marker);
      if (at != std::string::npos) return it->substr(at + marker.size());
    }
    return std::nullopt;
  }

 private:
  struct Lines {
    std::mutex mutex;
    std::vector<std::string> texts;
  };
  orv::LogSink previous_;
  std::shared_ptr<Lines> lines_;
};

int call(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  Options o;
  if (!parseOptions(args, o, err)) return 1;
  auto output = std::make_shared<Output>(out, err);
  LogKeeper log(output, o.verbose);
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(o.timeout));
  const std::string server = o.host + ":" + std::to_string(o.port);
  auto fail = [&](const std::string& why) {
    output->toErr("orv-cli: call: " + why);
    return 1;
  };
  auto timedOut = [&](const std::string& what) {
    std::ostringstream seconds;
    seconds << o.timeout;
    return fail("timed out after " + seconds.str() + " s waiting for " + what + " from " + server);
  };

  auto client = ORVClient::client();
  auto session = std::make_shared<Session>(output, o.events);
  // Whichever way the command ends: no more writes to the caller's streams,
  // and the session closed.
  struct Closer {
    std::shared_ptr<Output> output;
    std::shared_ptr<ORVClient> client;
    ~Closer() {
      client->disconnect();
      output->close();
    }
  } closer{output, client};
  for (int32_t type : {0, 1, 2, 3, 5, 6, 7}) client->addEventHandler(session, type);
  client->addMessageHandler(session, o.command);
  // The answer may come under another name of the command's group.
  if (const auto dot = o.command.rfind('.'); dot != std::string::npos && dot > 0) {
    client->addMessageHandler(session, o.command.substr(0, dot));
  }

  const int32_t connectTimeout = std::max(1, static_cast<int32_t>(o.timeout + 0.999));
  client->connect(o.host, o.port, connectTimeout);
  auto connected = session->waitEvent({ORVEventTypeConnection, ORVEventTypeConnectionResume}, deadline);
  if (!connected) return timedOut("the handshake");
  if (const bool* ok = connected->parameter<bool>("success"); ok && !*ok) {
    if (auto refused = log.after("Handshake failure: ")) return fail("handshake refused by " + server + ": " + *refused);
    return fail("cannot connect to " + server + ": " + log.after("IO error: ").value_or("connection failed"));
  }

  client->sendRequest(ORVRequest::loginRequestWithZone(o.zone, o.user, o.password));
  auto login = session->waitEvent({ORVEventTypeLogin, ORVEventTypeLoginError}, deadline);
  if (!login) return timedOut("the login answer");
  if (login->type() == ORVEventTypeLoginError) {
    const int32_t* code = login->parameter<int32_t>("errorCode");
    const ORVDataArrayPtr* params = login->parameter<ORVDataArrayPtr>("errorParams");
    return fail("login to zone \"" + o.zone + "\" refused: code " + std::to_string(code ? *code : 0) +
                ", parameters " + (params && *params ? toTypedJson(**params) : std::string("[]")));
  }

  client->sendRequest(ORVRequest::extensionRequestWithCommand(o.command, o.content));
  auto answer = session->waitAnswer(deadline);
  if (!answer) return timedOut("an answer to \"" + o.command + "\"");
  output->toOut(messageJson(*answer));
  return 0;
}

}  // namespace

std::vector<Subcommand> callSubcommands() {
  return {{"call", kUsage,
           "connect, log in, send one extension request and print its first answer as typed JSON "
           "(--events: every session event too)",
           call}};
}

}  // namespace orvcli
