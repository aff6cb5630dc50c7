// SPDX-License-Identifier: GPL-3.0-or-later

// Loads resources/player.html into a real WebKitGTK web view with the embed API stand-in injected,
// walks a scenario of page calls and expected "playerBridge" messages, and exits 0 when every step
// held. Every message is printed to stdout as one JSON line, so a failing run shows what the page
// actually said.
//
// Usage: page_harness --page FILE --standin FILE --media DIR --scenario FILE
//
// The scenario has one step a line ('#' starts a comment):
//   config JSON            the stand-in's window.__standin (see youtube-standin.js), set before
//                          the page loads; only at the top
//   run JS                 evaluate JS in the page; a JavaScript exception fails the run
//   wait PATTERN           wait (up to 20 s) for a message matching PATTERN after the last matched
//   absent SECONDS PATTERN no message after the last matched matches PATTERN for SECONDS
//   count N PATTERN        exactly N of all messages so far match PATTERN
//   reload                 load the page again and wait until it has finished loading
// PATTERN is a JSON object; each of its fields must be in the message: a plain value equal, an
// array any of its values, an object {"min": a, "max": b} a number in that range.
//
// The media of DIR are served as orvel-test://media/NAME by this process, so the sandboxed web
// process never needs access to DIR.

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <libsoup/soup.h>
#include <webkit/webkit.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using nlohmann::json;

constexpr const char* kBaseURI = "https://orvel-player.invalid/";
constexpr const char* kMediaScheme = "orvel-test";
constexpr guint kWaitSeconds = 60;
constexpr guint kWholeRunSeconds = 300;

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GBytesUnref {
  void operator()(GBytes* bytes) const { g_bytes_unref(bytes); }
};
using BytesPtr = std::unique_ptr<GBytes, GBytesUnref>;

struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GFree {
  void operator()(gpointer data) const { g_free(data); }
};
using CharsPtr = std::unique_ptr<char, GFree>;

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool matches(const json& message, const json& pattern) {
  if (!message.is_object()) {
    return false;
  }
  for (const auto& [key, expected] : pattern.items()) {
    auto found = message.find(key);
    if (found == message.end()) {
      return false;
    }
    const json& actual = *found;
    if (expected.is_object()) {
      if (!actual.is_number()) {
        return false;
      }
      const double value = actual.get<double>();
      if (expected.contains("min") && value < expected["min"].get<double>()) {
        return false;
      }
      if (expected.contains("max") && value > expected["max"].get<double>()) {
        return false;
      }
    } else if (expected.is_array()) {
      bool any = false;
      for (const auto& option : expected) {
        any = any || matches(json{{key, actual}}, json{{key, option}});
      }
      if (!any) {
        return false;
      }
    } else if (expected.is_number()) {
      if (!actual.is_number() || actual.get<double>() != expected.get<double>()) {
        return false;
      }
    } else if (actual != expected) {
      return false;
    }
  }
  return true;
}

struct Step {
  enum class Kind { Run, Wait, Absent, Count, Reload };
  Kind kind = Kind::Run;
  int line = 0;
  std::string script;
  json pattern;
  double seconds = 0;
  size_t count = 0;
};

struct Scenario {
  json config = json::object();
  std::vector<Step> steps;
};

std::optional<Scenario> parseScenario(const std::string& text) {
  Scenario scenario;
  std::vector<Step>& steps = scenario.steps;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') {
      continue;
    }
    std::istringstream words(line.substr(first));
    std::string verb;
    words >> verb;
    std::string rest;
    std::getline(words, rest);
    Step step;
    step.line = number;
    try {
      if (verb == "config") {
        if (!steps.empty()) {
          std::cerr << "scenario line " << number << ": config must come before the steps\n";
          return std::nullopt;
        }
        json config = json::parse(rest);
        if (!config.is_object()) {
          std::cerr << "scenario line " << number << ": config must be a JSON object\n";
          return std::nullopt;
        }
        scenario.config.update(config);
        continue;
      }
      if (verb == "run") {
        step.kind = Step::Kind::Run;
        step.script = rest;
      } else if (verb == "wait") {
        step.kind = Step::Kind::Wait;
        step.pattern = json::parse(rest);
      } else if (verb == "absent" || verb == "count") {
        std::istringstream parts(rest);
        double value = 0;
        parts >> value;
        std::string pattern;
        std::getline(parts, pattern);
        step.kind = verb == "absent" ? Step::Kind::Absent : Step::Kind::Count;
        step.seconds = value;
        step.count = static_cast<size_t>(value);
        step.pattern = json::parse(pattern);
      } else if (verb == "reload") {
        step.kind = Step::Kind::Reload;
      } else {
        std::cerr << "scenario line " << number << ": unknown step \"" << verb << "\"\n";
        return std::nullopt;
      }
    } catch (const json::exception& error) {
      std::cerr << "scenario line " << number << ": " << error.what() << '\n';
      return std::nullopt;
    }
    if ((step.kind == Step::Kind::Wait || step.kind == Step::Kind::Absent ||
         step.kind == Step::Kind::Count) &&
        !step.pattern.is_object()) {
      std::cerr << "scenario line " << number << ": the pattern must be a JSON object\n";
      return std::nullopt;
    }
    steps.push_back(std::move(step));
  }
  return scenario;
}

// Serves the files of one folder as orvel-test://media/NAME. The stand-in fetches them and plays
// the bytes from a blob: WebKit's media player opens only the network, file and blob schemes, and
// an https page may not read file:// at all.
class MediaServer {
 public:
  explicit MediaServer(std::string folder) : folder_(std::move(folder)) {}

  static void handle(WebKitURISchemeRequest* request, gpointer self) {
    static_cast<MediaServer*>(self)->serve(request);
  }

 private:
  void serve(WebKitURISchemeRequest* request) {
    const std::string path = webkit_uri_scheme_request_get_path(request);
    const std::string name = path.empty() ? path : path.substr(1);
    std::optional<std::string> contents;
    if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != "..") {
      contents = readFile(folder_ + "/" + name);
    }
    if (!contents) {
      ErrorPtr error(
          g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "no such media: %s", path.c_str()));
      webkit_uri_scheme_request_finish_error(request, error.get());
      return;
    }
    const auto length = static_cast<gint64>(contents->size());
    BytesPtr bytes(g_bytes_new(contents->data(), contents->size()));
    GObjectPtr<GInputStream> stream(g_memory_input_stream_new_from_bytes(bytes.get()));
    GObjectPtr<WebKitURISchemeResponse> response(
        webkit_uri_scheme_response_new(stream.get(), length));
    const bool mp4 = name.size() > 4 && name.compare(name.size() - 4, 4, ".mp4") == 0;
    // The headers replace what set_content_type would say, so the type goes in here.
    SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    soup_message_headers_set_content_type(headers, mp4 ? "video/mp4" : "video/webm", nullptr);
    soup_message_headers_set_content_length(headers, length);
    // The page's origin is https://orvel-player.invalid, so its fetch is cross-origin.
    soup_message_headers_append(headers, "Access-Control-Allow-Origin", "*");
    webkit_uri_scheme_response_set_http_headers(response.get(), headers);
    webkit_uri_scheme_response_set_status(response.get(), 200, nullptr);
    webkit_uri_scheme_request_finish_with_response(request, response.get());
  }

  std::string folder_;
};

class Harness {
 public:
  Harness(std::string page, std::vector<Step> steps)
      : page_(std::move(page)), steps_(std::move(steps)) {}

  int run(const std::string& standin, const std::string& config, const std::string& mediaFolder) {
    server_ = std::make_unique<MediaServer>(mediaFolder);
    context_.reset(webkit_web_context_new());
    webkit_web_context_register_uri_scheme(context_.get(), kMediaScheme, &MediaServer::handle,
                                           server_.get(), nullptr);
    // The page is an https document; a fetch from a scheme not known as secure would be blocked
    // as mixed content.
    WebKitSecurityManager* security = webkit_web_context_get_security_manager(context_.get());
    webkit_security_manager_register_uri_scheme_as_secure(security, kMediaScheme);

    content_.reset(webkit_user_content_manager_new());
    addScript("window.__standin = " + config + ";");
    addScript(standin);
    g_signal_connect(content_.get(), "script-message-received::playerBridge",
                     G_CALLBACK(&Harness::onMessage), this);
    webkit_user_content_manager_register_script_message_handler(content_.get(), "playerBridge",
                                                                nullptr);

    // Nothing may come from the network: the stand-in is the only YouTube here, also on a machine
    // that could reach the real one. Every http(s) request goes to a proxy that refuses it, and
    // the session keeps no cache or cookies on disk.
    GObjectPtr<WebKitNetworkSession> session(webkit_network_session_new_ephemeral());
    WebKitNetworkProxySettings* proxy =
        webkit_network_proxy_settings_new("http://127.0.0.1:9", nullptr);
    webkit_network_session_set_proxy_settings(session.get(), WEBKIT_NETWORK_PROXY_MODE_CUSTOM,
                                              proxy);
    webkit_network_proxy_settings_free(proxy);

    // As the player does: media start without a user gesture.
    GObjectPtr<WebKitWebsitePolicies> policies(
        webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, nullptr));
    // A floating reference, sunk by the window below.
    view_ = WEBKIT_WEB_VIEW(g_object_new(
        WEBKIT_TYPE_WEB_VIEW, "web-context", context_.get(), "user-content-manager", content_.get(),
        "network-session", session.get(), "website-policies", policies.get(), nullptr));
    WebKitSettings* settings = webkit_web_view_get_settings(view_);
    webkit_settings_set_enable_write_console_messages_to_stdout(settings, TRUE);
    webkit_settings_set_media_playback_requires_user_gesture(settings, FALSE);
    g_signal_connect(view_, "load-changed", G_CALLBACK(&Harness::onLoadChanged), this);
    g_signal_connect(view_, "load-failed", G_CALLBACK(&Harness::onLoadFailed), this);
    g_signal_connect(view_, "web-process-terminated", G_CALLBACK(&Harness::onTerminated), this);

    window_ = GTK_WINDOW(gtk_window_new());
    gtk_window_set_default_size(window_, 640, 480);
    gtk_window_set_child(window_, GTK_WIDGET(view_));
    gtk_window_present(window_);

    loop_ = g_main_loop_new(nullptr, FALSE);
    wholeRunTimer_ = g_timeout_add_seconds(kWholeRunSeconds, &Harness::onWholeRunTimeout, this);
    load();
    g_main_loop_run(loop_);
    g_main_loop_unref(loop_);
    if (wholeRunTimer_) {
      g_source_remove(wholeRunTimer_);
    }
    clearStepTimer();
    gtk_window_destroy(window_);
    return exitCode_;
  }

 private:
  void addScript(const std::string& source) {
    WebKitUserScript* script =
        webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(content_.get(), script);
    webkit_user_script_unref(script);
  }

  void load() {
    loading_ = true;
    webkit_web_view_load_html(view_, page_.c_str(), kBaseURI);
  }

  void finish(int code, const std::string& why) {
    if (finished_) {
      return;
    }
    finished_ = true;
    exitCode_ = code;
    if (code == 0) {
      std::cerr << "page_harness: every step held\n";
    } else {
      const int line = current_ < steps_.size() ? steps_[current_].line : 0;
      std::cerr << "page_harness: FAILED";
      if (line > 0) {
        std::cerr << " at scenario line " << line;
      }
      std::cerr << ": " << why << '\n';
    }
    g_main_loop_quit(loop_);
  }

  void clearStepTimer() {
    if (stepTimer_) {
      g_source_remove(stepTimer_);
      stepTimer_ = 0;
    }
  }

  void startStepTimer(double seconds) {
    clearStepTimer();
    stepTimer_ = g_timeout_add(static_cast<guint>(seconds * 1000), &Harness::onStepTimeout, this);
  }

  std::optional<size_t> findAfterCursor(const json& pattern) const {
    for (size_t i = cursor_; i < messages_.size(); ++i) {
      if (matches(messages_[i], pattern)) {
        return i;
      }
    }
    return std::nullopt;
  }

  void nextStep() {
    clearStepTimer();
    ++current_;
    advance();
  }

  // Runs steps until one has to wait for the page.
  void advance() {
    while (!finished_) {
      if (current_ >= steps_.size()) {
        finish(0, "");
        return;
      }
      Step& step = steps_[current_];
      switch (step.kind) {
        case Step::Kind::Run:
          std::cerr << "page_harness: run " << step.script << '\n';
          webkit_web_view_evaluate_javascript(view_, step.script.c_str(), -1, nullptr, nullptr,
                                              nullptr, &Harness::onEvaluated, this);
          return;
        case Step::Kind::Wait:
          if (auto found = findAfterCursor(step.pattern)) {
            cursor_ = *found + 1;
            ++current_;
            continue;
          }
          startStepTimer(kWaitSeconds);
          return;
        case Step::Kind::Absent:
          if (findAfterCursor(step.pattern)) {
            finish(1, "a message matched " + step.pattern.dump() + " that must not arrive");
            return;
          }
          startStepTimer(step.seconds);
          return;
        case Step::Kind::Count: {
          size_t count = 0;
          for (const auto& message : messages_) {
            count += matches(message, step.pattern) ? 1 : 0;
          }
          if (count != step.count) {
            finish(1, std::to_string(count) + " messages matched " + step.pattern.dump() +
                          ", expected " + std::to_string(step.count));
            return;
          }
          ++current_;
          continue;
        }
        case Step::Kind::Reload:
          load();
          return;
      }
    }
  }

  void received(json message) {
    std::cout << message.dump() << std::endl;
    messages_.push_back(std::move(message));
    if (finished_ || started_ == false || current_ >= steps_.size()) {
      return;
    }
    const Step& step = steps_[current_];
    if (step.kind == Step::Kind::Wait && stepTimer_ && matches(messages_.back(), step.pattern)) {
      cursor_ = messages_.size();
      nextStep();
    } else if (step.kind == Step::Kind::Absent && stepTimer_ &&
               matches(messages_.back(), step.pattern)) {
      finish(1, "a message matched " + step.pattern.dump() + " that must not arrive");
    }
  }

  static void onMessage(WebKitUserContentManager*, JSCValue* value, gpointer self) {
    CharsPtr text(jsc_value_to_json(value, 0));
    json message = text ? json::parse(text.get(), nullptr, false) : json();
    if (message.is_discarded()) {
      message = json{{"unparsed", text ? text.get() : ""}};
    }
    static_cast<Harness*>(self)->received(std::move(message));
  }

  static void onEvaluated(GObject* view, GAsyncResult* result, gpointer data) {
    auto* self = static_cast<Harness*>(data);
    GError* raw = nullptr;
    GObjectPtr<JSCValue> value(
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &raw));
    ErrorPtr error(raw);
    if (error) {
      self->finish(1, std::string("the page script failed: ") + error->message);
      return;
    }
    if (value && !jsc_value_is_undefined(value.get())) {
      CharsPtr text(jsc_value_to_json(value.get(), 0));
      std::cerr << "page_harness: = " << (text ? text.get() : "(no JSON form)") << '\n';
    }
    self->nextStep();
  }

  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<Harness*>(data);
    if (event != WEBKIT_LOAD_FINISHED || !self->loading_) {
      return;
    }
    self->loading_ = false;
    if (!self->started_) {
      self->started_ = true;
      self->advance();
    } else {
      self->nextStep();
    }
  }

  static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, char* uri, GError* error,
                               gpointer data) {
    static_cast<Harness*>(data)->finish(
        1, std::string("loading ") + (uri ? uri : "the page") + " failed: " + error->message);
    return FALSE;
  }

  static void onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer data) {
    static_cast<Harness*>(data)->finish(1, "the web process ended");
  }

  static gboolean onStepTimeout(gpointer data) {
    auto* self = static_cast<Harness*>(data);
    self->stepTimer_ = 0;
    const Step& step = self->steps_[self->current_];
    if (step.kind == Step::Kind::Absent) {
      self->nextStep();
    } else {
      self->finish(1, "no message matched " + step.pattern.dump() + " within " +
                          std::to_string(kWaitSeconds) + " s");
    }
    return G_SOURCE_REMOVE;
  }

  static gboolean onWholeRunTimeout(gpointer data) {
    auto* self = static_cast<Harness*>(data);
    self->wholeRunTimer_ = 0;
    self->finish(1, "the scenario did not end within " + std::to_string(kWholeRunSeconds) + " s");
    return G_SOURCE_REMOVE;
  }

  std::string page_;
  std::vector<Step> steps_;
  std::unique_ptr<MediaServer> server_;
  GObjectPtr<WebKitWebContext> context_;
  GObjectPtr<WebKitUserContentManager> content_;
  WebKitWebView* view_ = nullptr;  // owned by window_
  GtkWindow* window_ = nullptr;
  GMainLoop* loop_ = nullptr;
  guint stepTimer_ = 0;
  guint wholeRunTimer_ = 0;
  std::vector<json> messages_;
  size_t cursor_ = 0;
  size_t current_ = 0;
  bool loading_ = false;
  bool started_ = false;
  bool finished_ = false;
  int exitCode_ = 1;
};

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> options;
  for (int i = 1; i + 1 < argc; i += 2) {
    options[argv[i]] = argv[i + 1];
  }
  for (const char* required : {"--page", "--standin", "--media", "--scenario"}) {
    if (!options.count(required)) {
      std::cerr << "usage: page_harness --page FILE --standin FILE --media DIR --scenario FILE\n";
      return 2;
    }
  }
  auto page = readFile(options["--page"]);
  auto standin = readFile(options["--standin"]);
  auto scenario = readFile(options["--scenario"]);
  if (!page || !standin || !scenario) {
    std::cerr << "page_harness: cannot read the page, the stand-in or the scenario\n";
    return 2;
  }
  auto parsed = parseScenario(*scenario);
  if (!parsed) {
    return 2;
  }
  gtk_init();
  Harness harness(std::move(*page), std::move(parsed->steps));
  // Dumped from parsed JSON, so what is injected is a JSON literal and nothing else.
  return harness.run(*standin, parsed->config.dump(), options["--media"]);
}
