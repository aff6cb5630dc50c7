// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <webkit/webkit.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/system/GObjectPtr.h"
#include "player/PlayerDialogs.h"
#include "player/WebEngine.h"
#include "player/YouTubeScriptMessageHandler.h"

namespace orvel {

// The player's web view over WebKitGTK. Pages talk to the native side through the two message
// channels; every page event goes to the bridge, which decides what happens.
//
// A local file is played in a fresh web view whose web process may read that one file: the
// sandbox paths of a web process are fixed when it starts, so each file gets its own context.
// The views share the network session and the user content (scripts and channels).
class WebKitWebEngine final : public WebEngine {
 public:
  static constexpr const char* kUserAgent =
      "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
      "Version/17.0 Safari/605.1.15";

  explicit WebKitWebEngine(YouTubeScriptMessageHandler& bridge);
  ~WebKitWebEngine() override;
  WebKitWebEngine(const WebKitWebEngine&) = delete;
  WebKitWebEngine& operator=(const WebKitWebEngine&) = delete;

  // None until something is first loaded.
  GtkWidget* widget() const { return view_ ? GTK_WIDGET(view_.get()) : nullptr; }
  // Told when a new web view replaces the shown one.
  void setViewReplacedHandler(std::function<void(GtkWidget* view)> handler) {
    viewReplaced_ = std::move(handler);
  }
  // Desktop handler for links that leave the player (web and mail links only).
  void setExternalOpener(std::function<void(const std::string& url)> opener) {
    openExternally_ = std::move(opener);
  }
  // Pages' alert and confirm dialogs are shown as the player's own modal alerts.
  void setDialogs(PlayerDialogs* dialogs) { dialogs_ = dialogs; }

  void loadHTML(const std::string& html, const std::optional<std::string>& baseURL) override;
  void loadFile(const std::string& fileURL) override;
  void loadRequest(const std::string& url, double timeoutSeconds) override;
  void evaluate(const std::string& script, Completion completion) override;
  std::optional<std::string> currentURL() const override;
  void savePicture(const std::string& path, std::optional<PictureRegion> region,
                   std::function<void(bool saved)> done) override;
  std::vector<UserScript> userScripts() const override { return scripts_; }
  void setUserScripts(std::vector<UserScript> scripts) override;

 private:
  void ensureView();
  void prepareWebKit();
  void installUserScripts();
  GObjectPtr<WebKitWebView> makeView(WebKitWebContext* context);
  void replaceView(GObjectPtr<WebKitWebView> view);
  void applyDecision(const NavigationDecision& decision);

  static void onScriptMessage(WebKitUserContentManager*, JSCValue* value, gpointer self);
  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                               gpointer self);
  static void onProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self);
  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self);
  static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self);
  static void onDownloadStarted(WebKitNetworkSession*, WebKitDownload* download, gpointer);

  YouTubeScriptMessageHandler& bridge_;
  GObjectPtr<WebKitUserContentManager> content_;
  GObjectPtr<WebKitSettings> settings_;
  GObjectPtr<WebKitWebContext> fileContext_;
  // A local file whose name is not UTF-8 is shown through a link with a plain name, which the web
  // engine can load; the player still knows it by its own address.
  struct FileAlias {
    std::string linkPath;
    std::string linkURL;
    std::string fileURL;
  };
  std::optional<FileAlias> fileAlias_;
  void dropFileAlias();
  GObjectPtr<WebKitWebView> view_;
  std::vector<UserScript> scripts_;
  std::uint64_t navigationCount_ = 0;
  // For the start-up trace: the page spoke for the first time.
  bool pageMessageSeen_ = false;
  std::function<void(GtkWidget*)> viewReplaced_;
  std::function<void(const std::string&)> openExternally_;
  PlayerDialogs* dialogs_ = nullptr;
  // Evaluation answers can arrive after the engine is gone; they check this first.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace orvel
