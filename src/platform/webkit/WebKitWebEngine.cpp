// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/webkit/WebKitWebEngine.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <thread>
#include <utility>
#include <vector>

#include "core/Log.h"
#include "core/StartupTrace.h"
#include "core/Text.h"
#include "core/Translation.h"
#include "player/PlayerPageScripts.h"

namespace orvel {

namespace {

constexpr const char* kChannels[] = {"videoProgress", "playerBridge"};

WebKitUserScript* makeScript(const UserScript& script) {
  return webkit_user_script_new(
      script.source.c_str(),
      script.frames == UserScript::Frames::allFrames ? WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES
                                                     : WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
      script.time == UserScript::Time::documentStart ? WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START
                                                     : WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END,
      nullptr, nullptr);
}

NavigationError::Kind errorKind(const GError* error) {
  if (error->domain == WEBKIT_NETWORK_ERROR && error->code == WEBKIT_NETWORK_ERROR_CANCELLED) {
    return NavigationError::Kind::cancelled;
  }
  if (error->domain == WEBKIT_POLICY_ERROR &&
      error->code == WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) {
    return NavigationError::Kind::frameLoadInterrupted;
  }
  // A media file opened directly first "fails" this way, then loads as a media document.
  if (error->domain == WEBKIT_MEDIA_ERROR && error->code == WEBKIT_MEDIA_ERROR_WILL_HANDLE_LOAD) {
    return NavigationError::Kind::pluginWillHandleLoad;
  }
  return NavigationError::Kind::other;
}

// In test builds only, scripts named in $ORVEL_EXTRA_PAGE_SCRIPTS (files, separated by colons)
// run at the start of every page before its own scripts. The end-to-end tests use this to stand in
// for YouTube's embed API, as the test machines have no internet. A player that users run never
// takes scripts from its environment.
std::vector<UserScript> extraPageScripts() {
  std::vector<UserScript> scripts;
#ifdef ORVEL_TEST_HOOKS
  const char* list = g_getenv("ORVEL_EXTRA_PAGE_SCRIPTS");
  if (!list || !*list) {
    return scripts;
  }
  gchar** paths = g_strsplit(list, ":", -1);
  for (gchar** path = paths; *path; ++path) {
    gchar* contents = nullptr;
    if (**path && g_file_get_contents(*path, &contents, nullptr, nullptr)) {
      scripts.push_back({contents, UserScript::Time::documentStart, UserScript::Frames::mainFrame});
      g_free(contents);
    } else if (**path) {
      logLine("Player", std::string("Cannot read the page script ") + *path);
    }
  }
  g_strfreev(paths);
#endif
  return scripts;
}

// In test builds only, $ORVEL_TEST_HTTP_PROXY (an http:// address) answers every web request, so
// that the end-to-end tests can serve a page under a site's own name with no network. A player
// that users run never takes a proxy from its environment.
void useTestProxy() {
#ifdef ORVEL_TEST_HOOKS
  const char* proxy = g_getenv("ORVEL_TEST_HTTP_PROXY");
  if (!proxy || !*proxy) {
    return;
  }
  WebKitNetworkProxySettings* settings = webkit_network_proxy_settings_new(proxy, nullptr);
  webkit_network_session_set_proxy_settings(webkit_network_session_get_default(),
                                            WEBKIT_NETWORK_PROXY_MODE_CUSTOM, settings);
  webkit_network_proxy_settings_free(settings);
#endif
}

// A video player has no reason to save what a page hands it, and a download would write into,
// or over, the user's files without asking.
void logRefusedDownload(const char* uri) {
  logLine("Player", std::string("Refused a download started by a page: ") +
                        (uri && *uri ? uri : "(no address)"));
}

bool isAttachment(WebKitURIResponse* response) {
  SoupMessageHeaders* headers = response ? webkit_uri_response_get_http_headers(response) : nullptr;
  const char* disposition =
      headers ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
  return disposition && asciiLowercased(trimmedWhitespace(disposition)).starts_with("attachment");
}

struct Evaluation {
  std::weak_ptr<int> alive;
  WebEngine::Completion completion;
};

// A picture of the view on its way to a file.
struct PictureSaving {
  std::weak_ptr<int> alive;
  std::string path;
  std::optional<PictureRegion> region;
  std::function<void(bool)> done;
  bool saved = false;
};

// Tells the saver on the main loop, unless the engine is gone.
void answerLater(std::unique_ptr<PictureSaving> saving) {
  g_idle_add_once(
      [](gpointer data) {
        std::unique_ptr<PictureSaving> owned(static_cast<PictureSaving*>(data));
        if (!owned->alive.expired() && owned->done) {
          owned->done(owned->saved);
        }
      },
      saving.release());
}

// Writes the view's pixels (Cairo's premultiplied ARGB, as GDK downloads a texture) as a PNG:
// the region scaled to its output size, or all of it. A region that leaves the view is cut to
// it. The file appears whole or not at all.
bool writePicture(const std::string& path, std::vector<unsigned char>& pixels, int width,
                  int height, std::optional<PictureRegion> region) {
  using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
  Surface view(cairo_image_surface_create_for_data(pixels.data(), CAIRO_FORMAT_ARGB32, width,
                                                   height, width * 4),
               &cairo_surface_destroy);
  Surface picture(nullptr, &cairo_surface_destroy);
  if (region) {
    const double left = std::clamp(region->x, 0.0, static_cast<double>(width));
    const double top = std::clamp(region->y, 0.0, static_cast<double>(height));
    const double right = std::clamp(region->x + region->width, left, static_cast<double>(width));
    const double bottom = std::clamp(region->y + region->height, top, static_cast<double>(height));
    if (right - left >= 1 && bottom - top >= 1) {
      picture.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, region->outputWidth,
                                               region->outputHeight));
      std::unique_ptr<cairo_t, decltype(&cairo_destroy)> draw(cairo_create(picture.get()),
                                                              &cairo_destroy);
      cairo_scale(draw.get(), region->outputWidth / (right - left),
                  region->outputHeight / (bottom - top));
      cairo_set_source_surface(draw.get(), view.get(), -left, -top);
      cairo_pattern_set_filter(cairo_get_source(draw.get()), CAIRO_FILTER_GOOD);
      cairo_paint(draw.get());
    }
  }
  const std::string partial = path + ".part";
  const bool written = cairo_surface_write_to_png(picture ? picture.get() : view.get(),
                                                  partial.c_str()) == CAIRO_STATUS_SUCCESS;
  if (!written || std::rename(partial.c_str(), path.c_str()) != 0) {
    std::remove(partial.c_str());
    return false;
  }
  return true;
}

}  // namespace

WebKitWebEngine::WebKitWebEngine(YouTubeScriptMessageHandler& bridge) : bridge_(bridge) {
  scripts_ = extraPageScripts();
  scripts_.push_back({PlayerPageScripts::keySystemScript(), UserScript::Time::documentStart,
                      UserScript::Frames::mainFrame});
  scripts_.push_back({PlayerPageScripts::styleScript(), UserScript::Time::documentEnd,
                      UserScript::Frames::allFrames});
  scripts_.push_back({PlayerPageScripts::progressScript(), UserScript::Time::documentEnd,
                      UserScript::Frames::mainFrame});
}

WebKitWebEngine::~WebKitWebEngine() {
  dropFileAlias();
  if (content_) {
    g_signal_handlers_disconnect_by_data(webkit_network_session_get_default(), this);
    g_signal_handlers_disconnect_by_data(content_.get(), this);
  }
  if (view_) {
    g_signal_handlers_disconnect_by_data(view_.get(), this);
  }
}

// The web engine's processes (network, web content) start with the first view that loads
// something; a player that only ever shows native media never starts them.
void WebKitWebEngine::ensureView() {
  if (!view_) {
    replaceView(makeView(nullptr));
  }
}

// Made with the first view: WebKit's settings set up its graphics (an EGL display, Mesa's shader
// compiler where there is no GPU), which costs start-up time and memory that native playback never
// needs.
void WebKitWebEngine::prepareWebKit() {
  if (content_) {
    return;
  }
  settings_ = adoptGObject(webkit_settings_new());
  webkit_settings_set_enable_javascript(settings_.get(), TRUE);
  webkit_settings_set_javascript_can_open_windows_automatically(settings_.get(), TRUE);
  webkit_settings_set_media_playback_requires_user_gesture(settings_.get(), FALSE);
  webkit_settings_set_user_agent(settings_.get(), kUserAgent);
  // Where the toolkit has no GL (no GPU: see the start-up), web pages are drawn without it as
  // well, rather than by Mesa's software GL in the web process, which only adds start-up time.
  if (GdkDisplay* display = gdk_display_get_default()) {
    GError* error = nullptr;
    if (!gdk_display_prepare_gl(display, &error)) {
      webkit_settings_set_hardware_acceleration_policy(settings_.get(),
                                                       WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
      g_clear_error(&error);
    }
  }
  content_ = adoptGObject(webkit_user_content_manager_new());
  for (const char* channel : kChannels) {
    webkit_user_content_manager_register_script_message_handler(content_.get(), channel, nullptr);
    std::string signal = std::string("script-message-received::") + channel;
    g_signal_connect(content_.get(), signal.c_str(), G_CALLBACK(onScriptMessage), this);
  }
  installUserScripts();
  // Every view, whatever its web context, shares this one network session.
  g_signal_connect(webkit_network_session_get_default(), "download-started",
                   G_CALLBACK(onDownloadStarted), this);
  useTestProxy();
}

GObjectPtr<WebKitWebView> WebKitWebEngine::makeView(WebKitWebContext* context) {
  prepareWebKit();
  GtkWidget* widget = GTK_WIDGET(g_object_new(
      WEBKIT_TYPE_WEB_VIEW, "web-context", context ? context : webkit_web_context_get_default(),
      "network-session", webkit_network_session_get_default(), "user-content-manager",
      content_.get(), "settings", settings_.get(), nullptr));
  auto view = adoptGObject(WEBKIT_WEB_VIEW(g_object_ref_sink(widget)));
  // Nothing drawn where the page draws nothing, so the window shows through.
  GdkRGBA clear{0, 0, 0, 0};
  webkit_web_view_set_background_color(view.get(), &clear);
  g_signal_connect(view.get(), "load-changed", G_CALLBACK(onLoadChanged), this);
  g_signal_connect(view.get(), "load-failed", G_CALLBACK(onLoadFailed), this);
  g_signal_connect(view.get(), "web-process-terminated", G_CALLBACK(onProcessTerminated), this);
  g_signal_connect(view.get(), "decide-policy", G_CALLBACK(onDecidePolicy), this);
  g_signal_connect(view.get(), "create", G_CALLBACK(onCreate), this);
  g_signal_connect(view.get(), "script-dialog", G_CALLBACK(onScriptDialog), this);
  return view;
}

void WebKitWebEngine::replaceView(GObjectPtr<WebKitWebView> view) {
  if (view_) {
    g_signal_handlers_disconnect_by_data(view_.get(), this);
    webkit_web_view_try_close(view_.get());
  }
  view_ = std::move(view);
  if (viewReplaced_) {
    viewReplaced_(widget());
  }
}

void WebKitWebEngine::loadHTML(const std::string& html, const std::optional<std::string>& baseURL) {
  dropFileAlias();
  // Clearing a view that was never made leaves nothing to clear.
  if (!view_ && html.empty()) {
    return;
  }
  ensureView();
  webkit_web_view_load_html(view_.get(), html.c_str(), baseURL ? baseURL->c_str() : nullptr);
}

void WebKitWebEngine::loadFile(const std::string& fileURL) {
  GCharPtr path(g_filename_from_uri(fileURL.c_str(), nullptr, nullptr));
  if (!path) {
    logLine("Player", "Not a local file: " + fileURL);
    return;
  }
  dropFileAlias();
  std::string loadedPath = path.get();
  std::string loadedURL = fileURL;
  if (!g_utf8_validate(path.get(), -1, nullptr)) {
    // The web engine cannot open a file whose name is not UTF-8; a private link can.
    const std::string folder = std::string(g_get_user_runtime_dir()) + "/orvel-player";
    g_mkdir_with_parents(folder.c_str(), 0700);
    const char* dot = std::strrchr(path.get(), '.');
    GCharPtr extension(g_utf8_make_valid(dot ? dot : "", -1));
    const std::string link = folder + "/file-" + std::to_string(getpid()) + extension.get();
    ::unlink(link.c_str());
    GCharPtr linkURL(g_filename_to_uri(link.c_str(), nullptr, nullptr));
    if (::symlink(path.get(), link.c_str()) == 0 && linkURL) {
      fileAlias_ = FileAlias{link, linkURL.get(), fileURL};
      loadedPath = link;
      loadedURL = linkURL.get();
    } else {
      logLine("Player", "Cannot link " + fileURL + " under a UTF-8 name");
    }
  }
  startupMark("making the web view for a file");
  fileContext_ = adoptGObject(webkit_web_context_new());
  webkit_web_context_add_path_to_sandbox(fileContext_.get(), loadedPath.c_str(), TRUE);
  replaceView(makeView(fileContext_.get()));
  webkit_web_view_load_uri(view_.get(), loadedURL.c_str());
  startupMark("file load asked");
}

void WebKitWebEngine::dropFileAlias() {
  if (fileAlias_) {
    ::unlink(fileAlias_->linkPath.c_str());
    fileAlias_.reset();
  }
}

void WebKitWebEngine::loadRequest(const std::string& url, double) {
  // WebKitGTK has no per-request timeout; the network session's own limits apply.
  auto request = adoptGObject(webkit_uri_request_new(url.c_str()));
  ensureView();
  webkit_web_view_load_request(view_.get(), request.get());
}

void WebKitWebEngine::evaluate(const std::string& script, Completion completion) {
  if (!view_) {
    // No page, so nothing to run the script in; the answer still comes on a later turn.
    if (completion) {
      auto* evaluation = new Evaluation{alive_, std::move(completion)};
      g_idle_add_once(
          [](gpointer data) {
            std::unique_ptr<Evaluation> owned(static_cast<Evaluation*>(data));
            if (!owned->alive.expired()) {
              ScriptResult result;
              result.error = "No page is loaded";
              owned->completion(result);
            }
          },
          evaluation);
    }
    return;
  }
  auto* evaluation = new Evaluation{alive_, std::move(completion)};
  webkit_web_view_evaluate_javascript(
      view_.get(), script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* asyncResult, gpointer data) {
        std::unique_ptr<Evaluation> owned(static_cast<Evaluation*>(data));
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source),
                                                                     asyncResult, &error);
        ScriptResult result;
        if (error) {
          result.error = error->message ? error->message : "Script error";
          g_error_free(error);
        } else if (value && jsc_value_is_string(value)) {
          GCharPtr text(jsc_value_to_string(value));
          result.stringValue = text ? text.get() : "";
        }
        if (value) {
          g_object_unref(value);
        }
        if (!owned->alive.expired() && owned->completion) {
          owned->completion(result);
        }
      },
      evaluation);
}

void WebKitWebEngine::savePicture(const std::string& path, std::optional<PictureRegion> region,
                                  std::function<void(bool saved)> done) {
  auto saving =
      std::make_unique<PictureSaving>(PictureSaving{alive_, path, region, std::move(done), false});
  if (!view_) {
    answerLater(std::move(saving));
    return;
  }
  webkit_web_view_get_snapshot(
      view_.get(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<PictureSaving> owned(static_cast<PictureSaving*>(data));
        GError* error = nullptr;
        GObjectPtr<GdkTexture> texture(
            webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), result, &error));
        if (!texture) {
          logLine("WebView", std::string("No picture of the page: ") +
                                 (error && error->message ? error->message : "unknown error"));
          g_clear_error(&error);
          answerLater(std::move(owned));
          return;
        }
        // The pixels are copied here; cutting, scaling and writing the file are left to a worker,
        // so that a large picture never holds the window up.
        const int width = gdk_texture_get_width(texture.get());
        const int height = gdk_texture_get_height(texture.get());
        std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
        gdk_texture_download(texture.get(), pixels.data(), static_cast<gsize>(width) * 4);
        std::thread([owned = std::move(owned), pixels = std::move(pixels), width,
                     height]() mutable {
          owned->saved = writePicture(owned->path, pixels, width, height, owned->region);
          answerLater(std::move(owned));
        }).detach();
      },
      saving.release());
}

std::optional<std::string> WebKitWebEngine::currentURL() const {
  const char* uri = view_ ? webkit_web_view_get_uri(view_.get()) : nullptr;
  if (!uri || !*uri) {
    return std::nullopt;
  }
  if (fileAlias_ && fileAlias_->linkURL == uri) {
    return fileAlias_->fileURL;
  }
  return std::string(uri);
}

void WebKitWebEngine::setUserScripts(std::vector<UserScript> scripts) {
  scripts_ = std::move(scripts);
  if (content_) {
    installUserScripts();
  }
}

void WebKitWebEngine::installUserScripts() {
  webkit_user_content_manager_remove_all_scripts(content_.get());
  for (const UserScript& script : scripts_) {
    WebKitUserScript* made = makeScript(script);
    webkit_user_content_manager_add_script(content_.get(), made);
    webkit_user_script_unref(made);
  }
}

void WebKitWebEngine::applyDecision(const NavigationDecision& decision) {
  if (decision.openExternally && openExternally_) {
    openExternally_(*decision.openExternally);
  }
  if (decision.loadInPlace) {
    loadRequest(*decision.loadInPlace, YouTubeScriptMessageHandler::kInPlaceLoadTimeout);
  }
}

void WebKitWebEngine::onScriptMessage(WebKitUserContentManager*, JSCValue* value, gpointer self) {
  auto* engine = static_cast<WebKitWebEngine*>(self);
  // The channel is the signal's detail; read it back from the emission.
  GSignalInvocationHint* hint = g_signal_get_invocation_hint(engine->content_.get());
  const char* channel = hint && hint->detail ? g_quark_to_string(hint->detail) : "";
  GCharPtr json(jsc_value_to_json(value, 0));
  if (!engine->pageMessageSeen_) {
    engine->pageMessageSeen_ = true;
    startupMark("first page message");
  }
  if (json) {
    engine->bridge_.didReceiveScriptMessage(channel, json.get());
  }
}

void WebKitWebEngine::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
  auto* engine = static_cast<WebKitWebEngine*>(self);
  static constexpr const char* kEvents[] = {"page load started", "page load redirected",
                                            "page load committed", "page load finished"};
  if (static_cast<std::size_t>(event) < std::size(kEvents)) {
    startupMark(kEvents[event]);
  }
  if (event == WEBKIT_LOAD_STARTED) {
    engine->bridge_.didStartProvisionalNavigation(++engine->navigationCount_);
  } else if (event == WEBKIT_LOAD_FINISHED) {
    engine->bridge_.didFinishNavigation();
  }
}

gboolean WebKitWebEngine::onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                                       gpointer self) {
  auto* engine = static_cast<WebKitWebEngine*>(self);
  engine->bridge_.didFailNavigation(engine->navigationCount_,
                                    {errorKind(error), error->message ? error->message : ""});
  // The player shows its own alert instead of WebKit's error page.
  return TRUE;
}

void WebKitWebEngine::onProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason,
                                          gpointer self) {
  static_cast<WebKitWebEngine*>(self)->bridge_.webContentProcessDidTerminate();
}

gboolean WebKitWebEngine::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                         WebKitPolicyDecisionType type, gpointer self) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
    // A response the engine cannot show would become a download.
    auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
    if (webkit_response_policy_decision_is_mime_type_supported(response) &&
        !isAttachment(webkit_response_policy_decision_get_response(response))) {
      return FALSE;
    }
    WebKitURIRequest* request = webkit_response_policy_decision_get_request(response);
    logRefusedDownload(request ? webkit_uri_request_get_uri(request) : nullptr);
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
      type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    return FALSE;
  }
  auto* engine = static_cast<WebKitWebEngine*>(self);
  WebKitNavigationAction* navigation = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  NavigationAction action;
  action.isLinkActivation = webkit_navigation_action_get_navigation_type(navigation) ==
                            WEBKIT_NAVIGATION_TYPE_LINK_CLICKED;
  // WebKitGTK does not say which frame a navigation targets; new windows have none, and every
  // other navigation is taken as the main frame's.
  action.targetFrame = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION
                           ? NavigationAction::TargetFrame::none
                           : NavigationAction::TargetFrame::main;
  WebKitURIRequest* request = webkit_navigation_action_get_request(navigation);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (uri && *uri) {
    action.url = uri;
  }
  NavigationDecision verdict = engine->bridge_.decidePolicy(action);
  if (verdict.allow) {
    return FALSE;
  }
  webkit_policy_decision_ignore(decision);
  engine->applyDecision(verdict);
  return TRUE;
}

gboolean WebKitWebEngine::onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog,
                                         gpointer self) {
  auto* engine = static_cast<WebKitWebEngine*>(self);
  const WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
  if (!engine->dialogs_ ||
      (type != WEBKIT_SCRIPT_DIALOG_ALERT && type != WEBKIT_SCRIPT_DIALOG_CONFIRM)) {
    return FALSE;
  }
  const bool confirm = type == WEBKIT_SCRIPT_DIALOG_CONFIRM;
  Alert alert{.style = Alert::Style::informational,
              .title = webkit_script_dialog_get_message(dialog),
              .message = "",
              .buttons = confirm ? std::vector<std::string>{_("OK"), _("Cancel")}
                                 : std::vector<std::string>{_("OK")},
              .destructiveButton = {}};
  // The page waits until the dialog is closed; the reference keeps it alive until then.
  webkit_script_dialog_ref(dialog);
  engine->dialogs_->showAlert(alert, [dialog, confirm](std::size_t button) {
    if (confirm) {
      webkit_script_dialog_confirm_set_confirmed(dialog, button == 0);
    }
    webkit_script_dialog_close(dialog);
    webkit_script_dialog_unref(dialog);
  });
  return TRUE;
}

GtkWidget* WebKitWebEngine::onCreate(WebKitWebView*, WebKitNavigationAction* action,
                                     gpointer self) {
  auto* engine = static_cast<WebKitWebEngine*>(self);
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  std::optional<std::string> url;
  if (uri && *uri) {
    url = uri;
  }
  engine->applyDecision(engine->bridge_.createWebView(url));
  return nullptr;
}

void WebKitWebEngine::onDownloadStarted(WebKitNetworkSession*, WebKitDownload* download, gpointer) {
  WebKitURIRequest* request = webkit_download_get_request(download);
  logRefusedDownload(request ? webkit_uri_request_get_uri(request) : nullptr);
  // Cancelled before a destination is chosen, so no file is made, replaced or removed.
  g_signal_connect(download, "decide-destination",
                   G_CALLBACK(+[](WebKitDownload* refused, gchar*, gpointer) -> gboolean {
                     webkit_download_cancel(refused);
                     return TRUE;
                   }),
                   nullptr);
  webkit_download_cancel(download);
}

}  // namespace orvel
