// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/PlayerView.h"

#include <gdk/gdkkeysyms.h>

#include <algorithm>

#include "core/Translation.h"
#include "media/StreamingProviderRegistry.h"
#include "platform/gtk/PlayerChromeStyle.h"
#include "player/PlayerTransparency.h"

namespace orvel {

namespace {

constexpr int kTopBandHeight = 28;
constexpr int kDragStripStart = 80;

std::optional<std::uint16_t> playbackKeyCode(guint keyval) {
  switch (keyval) {
    case GDK_KEY_space:
      return PlaybackKeys::kSpace;
    case GDK_KEY_Left:
      return PlaybackKeys::kLeftArrow;
    case GDK_KEY_Right:
      return PlaybackKeys::kRightArrow;
    case GDK_KEY_bracketleft:
      return PlaybackKeys::kBracketLeft;
    case GDK_KEY_bracketright:
      return PlaybackKeys::kBracketRight;
    case GDK_KEY_BackSpace:
      return PlaybackKeys::kBackspace;
    case GDK_KEY_Page_Up:
      return PlaybackKeys::kPageUp;
    case GDK_KEY_Page_Down:
      return PlaybackKeys::kPageDown;
    default:
      return std::nullopt;
  }
}

// Text fields and sliders use Space and the arrows themselves.
bool focusTakesKeys(Gtk::Window& window) {
  Gtk::Widget* focus = window.get_focus();
  for (; focus; focus = focus->get_parent()) {
    GtkWidget* widget = focus->gobj();
    if (GTK_IS_EDITABLE(widget) || GTK_IS_TEXT_VIEW(widget) || GTK_IS_RANGE(widget) ||
        GTK_IS_SPIN_BUTTON(widget)) {
      return true;
    }
  }
  return false;
}

DropPayload payloadOf(const Glib::ValueBase& value) {
  DropPayload payload;
  const GValue* raw = value.gobj();
  if (G_VALUE_HOLDS(raw, GDK_TYPE_FILE_LIST)) {
    auto* files = static_cast<GdkFileList*>(g_value_get_boxed(raw));
    GSList* list = files ? gdk_file_list_get_files(files) : nullptr;
    for (GSList* item = list; item; item = item->next) {
      char* uri = g_file_get_uri(G_FILE(item->data));
      if (uri) {
        payload.fileURLs.emplace_back(uri);
        g_free(uri);
      }
    }
    g_slist_free(list);
  } else if (G_VALUE_HOLDS_STRING(raw)) {
    const char* text = g_value_get_string(raw);
    if (text) {
      payload.texts.emplace_back(text);
    }
  }
  return payload;
}

}  // namespace

PlayerView::PlayerView(PlayerSession& session, Inputs inputs)
    : session_(session), inputs_(std::move(inputs)) {
  PlayerChromeStyle::load();
  buildLayers();
  buildBars();
  buildDropPrompt();
  buildDragStrip();
  motion_ = Gtk::EventControllerMotion::create();
  motion_->signal_enter().connect([this](double, double) {
    if (inputs_.onPointerInside) {
      inputs_.onPointerInside(true);
    }
  });
  motion_->signal_leave().connect([this] {
    if (inputs_.onPointerInside) {
      inputs_.onPointerInside(false);
    }
  });
  add_controller(motion_);

  buildDropTarget();
  sessionChanges_ = session_.observeChanges([this] { render(); });
  render();
}

void PlayerView::buildLayers() {
  // Back-most, the black top band: the content covers it, and where the content is see-through
  // it gives the user a strip to grab. The content fills the whole view above it and gives the
  // view its size.
  topBand_.add_css_class("orvel-top-band");
  topBand_.set_size_request(-1, kTopBandHeight);
  topBand_.set_valign(Gtk::Align::START);
  topBand_.set_can_target(false);
  set_child(topBand_);
  add_overlay(content_);
  set_measure_overlay(content_, true);
  content_.set_hexpand(true);
  content_.set_vexpand(true);
  // The content carries its own black, so that it fades with its opacity and, on a composited
  // desktop, what lies below shows through; the corners are rounded only there, where the
  // window can be transparent at all.
  content_.add_css_class("orvel-content");
  add_css_class("orvel-player-view");
  set_overflow(Gtk::Overflow::HIDDEN);
  if (auto display = Gdk::Display::get_default(); display && display->is_composited()) {
    add_css_class("orvel-rounded");
  }

  sizeProbe_.set_can_target(false);
  // Named for assistive technologies as what they show; the probe that only measures is not
  // shown to them at all.
  setAccessibleLabel(*this, _("Orvel player"));
  setAccessibleLabel(content_, _("Video"));
  setHiddenFromAssistiveTechnologies(sizeProbe_, true);
  sizeProbe_.signal_resize().connect([this](int width, int) {
    if (toolbar_) {
      // The bar is inset 8 points on each side.
      toolbar_->setAvailableWidth(width - 16);
    }
  });
  add_overlay(sizeProbe_);
}

void PlayerView::buildBars() {
  // The bars: the title along the top on its gradient, and the toolbar at the foot (added with
  // the toolbar). Each covers only its own strip, so that the page below takes the rest.
  topBar_.add_css_class("orvel-bars");
  topBar_.add_css_class("orvel-top-bar");
  topBar_.set_can_target(false);
  topBar_.set_valign(Gtk::Align::START);
  title_.add_css_class("orvel-title");
  title_.set_ellipsize(Pango::EllipsizeMode::MIDDLE);
  title_.set_single_line_mode(true);
  title_.set_hexpand(true);
  topBar_.append(title_);
  add_overlay(topBar_);

  status_.add_css_class("orvel-status");
  status_.set_halign(Gtk::Align::CENTER);
  status_.set_valign(Gtk::Align::END);
  status_.set_margin_bottom(22);
  status_.set_wrap(true);
  status_.set_max_width_chars(70);
  status_.set_justify(Gtk::Justification::CENTER);
  status_.set_can_target(false);
  add_overlay(status_);
}

void PlayerView::buildDragStrip() {
  // The first points of the top edge are left free, as on a window with its own buttons.
  dragStrip_.set_size_request(-1, kTopBandHeight);
  dragStrip_.set_valign(Gtk::Align::START);
  dragStrip_.set_margin_start(kDragStripStart);
  add_overlay(dragStrip_);
  auto secondary = Gtk::GestureClick::create();
  secondary->set_button(GDK_BUTTON_SECONDARY);
  secondary->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  secondary->signal_pressed().connect([this, gesture = secondary.get()](int, double x, double y) {
    if (stripMenuModel_) {
      // Instead of the window manager's own window menu.
      gesture->set_state(Gtk::EventSequenceState::CLAIMED);
      showStripMenu(x, y);
    }
  });
  dragStrip_.add_controller(secondary);
  stripMenu_.set_parent(dragStrip_);
  stripMenu_.set_has_arrow(false);
}

// Whether the drag over the view holds anything the player plays, or subtitles for it.
bool PlayerView::isDroppable() {
  const GValue* value = gtk_drop_target_get_value(dropTarget_->gobj());
  if (!value) {
    return false;
  }
  Glib::ValueBase copy;
  copy.init(value);
  const DropPayload payload = payloadOf(copy);
  const bool subtitles = droppedSubtitlePath(payload).has_value();
  // The prompt says what the drop will do.
  dropTitle_.set_text(subtitles ? _("Drop to Add Subtitles") : _("Drop Video or URL to Play"));
  dropLine_.set_text(subtitles ? _("SRT · ASS · SSA · WebVTT")
                               : _("YouTube · Disney+ · MP4 · WebM · MKV"));
  return subtitles || droppedURLString(payload, StreamingProviderRegistry::shared());
}

void PlayerView::buildDropTarget() {
  dropTarget_ = Gtk::DropTarget::create(G_TYPE_INVALID, Gdk::DragAction::COPY);
  dropTarget_->set_gtypes({GDK_TYPE_FILE_LIST, G_TYPE_STRING});
  dropTarget_->set_preload(true);
  // Asked before the web view's own drop handling, which would otherwise take files and links
  // and open them as pages.
  dropTarget_->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  dropTarget_->signal_enter().connect(
      [this](double, double) {
        const bool ok = isDroppable();
        inputs_.onTargetedChange(ok);
        return ok ? Gdk::DragAction::COPY : Gdk::DragAction(0);
      },
      false);
  dropTarget_->signal_motion().connect(
      [this](double, double) {
        const bool ok = isDroppable();
        inputs_.onTargetedChange(ok);
        return ok ? Gdk::DragAction::COPY : Gdk::DragAction(0);
      },
      false);
  dropTarget_->signal_leave().connect([this] { inputs_.onTargetedChange(false); });
  dropTarget_->signal_drop().connect(
      [this](const Glib::ValueBase& value, double, double) {
        inputs_.onTargetedChange(false);
        const DropPayload payload = payloadOf(value);
        if (auto subtitles = droppedSubtitlePath(payload)) {
          later_.post([this, path = *subtitles] { inputs_.onSubtitleDrop(path); });
          return true;
        }
        auto text = droppedURLString(payload, StreamingProviderRegistry::shared());
        if (!text) {
          return false;
        }
        // Opened after the drag has finished, never inside it.
        later_.post([this, dropped = *text] { inputs_.onDrop(dropped); });
        return true;
      },
      false);
  add_controller(dropTarget_);
}

void PlayerView::buildDropPrompt() {
  dropPrompt_.set_orientation(Gtk::Orientation::VERTICAL);
  dropPrompt_.add_css_class("orvel-drop-prompt");
  dropPrompt_.set_margin(28);
  dropPrompt_.set_spacing(10);
  dropPrompt_.set_valign(Gtk::Align::FILL);
  dropPrompt_.set_halign(Gtk::Align::FILL);
  dropPrompt_.set_can_target(false);
  auto* inner = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 10);
  inner->set_valign(Gtk::Align::CENTER);
  inner->set_vexpand(true);
  auto* disc = Gtk::make_managed<Gtk::Label>("▶");
  disc->add_css_class("orvel-drop-disc");
  disc->set_halign(Gtk::Align::CENTER);
  dropTitle_.set_text(_("Drop Video or URL to Play"));
  dropTitle_.add_css_class("orvel-drop-title");
  dropLine_.set_text(_("YouTube · Disney+ · MP4 · WebM · MKV"));
  dropLine_.add_css_class("orvel-drop-line");
  inner->append(*disc);
  inner->append(dropTitle_);
  inner->append(dropLine_);
  dropPrompt_.append(*inner);
  dropPrompt_.set_opacity(0);
  setHiddenFromAssistiveTechnologies(dropPrompt_, true);
  add_overlay(dropPrompt_);
}

PlayerView::~PlayerView() {
  stripMenu_.unparent();
  // The window may outlive this view; its key handler must not reach a view that is gone.
  launchFocus_.disconnect();
  if (keyWindow_ && keyController_) {
    keyWindow_->remove_controller(keyController_);
  }
  if (toolbar_ && toolbarFocus_) {
    toolbar_->remove_controller(toolbarFocus_);
  }
}

void PlayerView::setStripMenu(std::function<Glib::RefPtr<Gio::MenuModel>()> menu) {
  stripMenuModel_ = std::move(menu);
}

void PlayerView::showStripMenu(double x, double y) {
  if (!stripMenuModel_) {
    return;
  }
  stripMenu_.set_menu_model(stripMenuModel_());
  stripMenu_.set_pointing_to(Gdk::Rectangle(static_cast<int>(x), static_cast<int>(y), 1, 1));
  stripMenu_.popup();
}

void PlayerView::updateWebView(GtkWidget* webView) {
  if (webView == webView_) {
    return;
  }
  webView_ = webView;
  gtk_widget_set_hexpand(webView, TRUE);
  gtk_widget_set_vexpand(webView, TRUE);
  content_.set_child(*Glib::wrap(webView));
  render();
}

void PlayerView::setNativeVideoView(Gtk::Widget* view) {
  nativeView_ = view;
  if (view) {
    setAccessibleLabel(*view, _("Video"));
    view->set_visible(false);
    content_.add_overlay(*view);
  }
  render();
}

void PlayerView::installKeyHandler(Gtk::Window& window) {
  auto keys = Gtk::EventControllerKey::create();
  keys->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  keys->signal_key_pressed().connect(
      [this, &window](guint keyval, guint, Gdk::ModifierType state) {
        const auto modifiers = Gdk::ModifierType::SHIFT_MASK | Gdk::ModifierType::CONTROL_MASK |
                               Gdk::ModifierType::ALT_MASK | Gdk::ModifierType::SUPER_MASK |
                               Gdk::ModifierType::META_MASK;
        if (moveFocusBetweenContentAndToolbar(window, keyval, state)) {
          return true;
        }
        // GTK reports no repeat flag; a second press before the release is a repeat.
        const bool isRepeat = repeats_.pressed(keyval);
        PlaybackKeys::KeyPress press{
            .keyCode = playbackKeyCode(keyval),
            .isAutoRepeat = isRepeat,
            .hasModifiers = (state & modifiers) != Gdk::ModifierType(0),
            .windowIsActive = window.is_active(),
            .modalShown = inputs_.modalShown && inputs_.modalShown(),
            .focusTakesKeys = focusTakesKeys(window),
        };
        switch (PlaybackKeys::classify(press)) {
          case PlaybackKeys::Verdict::passThrough:
            return false;
          case PlaybackKeys::Verdict::swallow:
            return true;
          case PlaybackKeys::Verdict::handle:
            return inputs_.onPlaybackKey(*press.keyCode);
        }
        return false;
      },
      false);
  keys->signal_key_released().connect(
      [this](guint keyval, guint, Gdk::ModifierType) { repeats_.released(keyval); }, false);
  window.add_controller(keys);
  keyWindow_ = &window;
  keyController_ = keys;
  // A window that shows gives its focus to its first control, the toolbar's mute button, which
  // would keep the bars up over the video. At launch the keyboard belongs to the picture.
  launchFocus_ = window.signal_map().connect([this, &window] {
    launchFocus_.disconnect();
    later_.post([this, &window] { focusPicture(window); });
  });
}

// Tab from the picture enters the toolbar (Shift+Tab at its last control) and shows the bars;
// a website's own page keeps plain Tab for its fields, and Ctrl+Tab or F6 leave it. F6 in the
// toolbar goes back to the picture.
bool PlayerView::moveFocusBetweenContentAndToolbar(Gtk::Window& window, guint keyval,
                                                   Gdk::ModifierType state) {
  const bool isTab = keyval == GDK_KEY_Tab || keyval == GDK_KEY_ISO_Left_Tab;
  if (!toolbar_ || (!isTab && keyval != GDK_KEY_F6)) {
    return false;
  }
  // The keyboard is in use: show where the focus goes.
  window.set_focus_visible(true);
  const bool inToolbar = toolbarHasFocus_;
  if (inToolbar) {
    if (keyval != GDK_KEY_F6) {
      return false;
    }
    focusPicture(window);
    return true;
  }
  const bool control = (state & Gdk::ModifierType::CONTROL_MASK) != Gdk::ModifierType(0);
  const auto& mediaID = session_.currentVideoID();
  const bool pageKeepsTab = isTab && !control && mediaID && mediaID->starts_with("disneyplus:");
  if (pageKeepsTab) {
    return false;
  }
  const bool backward = keyval == GDK_KEY_ISO_Left_Tab ||
                        (state & Gdk::ModifierType::SHIFT_MASK) != Gdk::ModifierType(0);
  return toolbar_->child_focus(backward ? Gtk::DirectionType::TAB_BACKWARD
                                        : Gtk::DirectionType::TAB_FORWARD);
}

// The picture takes the keyboard, or nothing does while there is no picture that can: the window's
// own key handler serves the playback keys either way.
void PlayerView::focusPicture(Gtk::Window& window) {
  Gtk::Widget& content = nativeView_ && nativeView_->get_visible()
                             ? *nativeView_
                             : static_cast<Gtk::Widget&>(content_);
  if (!content.child_focus(Gtk::DirectionType::TAB_FORWARD)) {
    window.unset_focus();
  }
}

void PlayerView::setToolbar(PlayerToolbar& toolbar) {
  toolbar_ = &toolbar;
  toolbar.add_css_class("orvel-bars");
  add_overlay(toolbar);
  // The bars stay up while the keyboard works in the toolbar.
  auto focus = Gtk::EventControllerFocus::create();
  focus->signal_enter().connect([this] {
    toolbarHasFocus_ = true;
    render();
  });
  focus->signal_leave().connect([this] {
    toolbarHasFocus_ = false;
    render();
  });
  toolbar.add_controller(focus);
  toolbarFocus_ = focus;
  toolbar.setAvailableWidth(get_width() - 16);
  render();
}

void PlayerView::render() {
  const std::string& message = session_.statusMessage();
  // The bubble fades out with its last text, and fades in with the new one.
  if (!message.empty()) {
    status_.set_text(message);
  }
  if (message.empty()) {
    status_.add_css_class("orvel-hidden");
  } else {
    status_.remove_css_class("orvel-hidden");
  }

  // In hover mode the bars are never drawn: the window is there to be looked and clicked through,
  // and its top strip is reached by its place alone.
  const bool hoverMode = inputs_.isHoverMode && inputs_.isHoverMode();
  const bool visible =
      !hoverMode && (PlayerTransparency::barsVisible(inputs_.isHovering && inputs_.isHovering(),
                                                     session_.isScrubbing(), session_.playerState(),
                                                     session_.currentVideoID()) ||
                     (toolbar_ && (toolbar_->hasOpenPopover() || toolbarHasFocus_)));
  for (Gtk::Widget* bar :
       {static_cast<Gtk::Widget*>(&topBar_), static_cast<Gtk::Widget*>(toolbar_)}) {
    if (!bar) {
      continue;
    }
    if (visible) {
      bar->remove_css_class("orvel-hidden");
    } else {
      bar->add_css_class("orvel-hidden");
    }
  }
  if (toolbar_) {
    toolbar_->set_can_target(visible);
    // Hidden for good in hover mode, the toolbar takes no keyboard focus either.
    toolbar_->set_can_focus(!hoverMode);
    // The status bubble rises above the toolbar while it shows, so neither hides the other.
    status_.set_margin_bottom(visible ? std::max(toolbar_->get_height(), 0) + 28 : 22);
  }
  const std::string& title = session_.currentVideoTitle();
  if (title_.get_text().raw() != title) {
    title_.set_text(title);
    title_.set_tooltip_text(title);
  }
  // A hidden toolbar is brought up to date when it shows again; while a video plays with the
  // pointer away, its four reports a second cost no drawing.
  if (toolbar_ && visible) {
    updateToolbar();
  }
  dropPrompt_.set_opacity(session_.isDropTargeted() ? 1.0 : 0.0);
  setHiddenFromAssistiveTechnologies(dropPrompt_, !session_.isDropTargeted());
  // The web view hides while the native video is shown above it, and while nothing plays (its
  // page draws nothing then), so that the web engine idles with a hidden page.
  const bool native = nativeView_ && session_.isNativeMediaActive();
  if (nativeView_) {
    nativeView_->set_visible(native);
  }
  if (webView_) {
    gtk_widget_set_visible(webView_, !native && session_.currentVideoID().has_value());
  }
}

void PlayerView::updateToolbar() {
  // YouTube's own player does not zoom; every other video does.
  const auto& mediaID = session_.currentVideoID();
  const bool hasZoom = mediaID && mediaID->find(':') != std::string::npos &&
                       !mediaID->starts_with("youtube-playlist:");
  toolbar_->update(PlayerToolbar::State{
      .isPlaying = session_.playerState() == 1,
      .currentTime = session_.playerCurrentTime(),
      .duration = session_.playerDuration(),
      .volume = session_.playerVolume() / 100,
      .isAlwaysOnTop = inputs_.isAlwaysOnTop && inputs_.isAlwaysOnTop(),
      .videoZoom = hasZoom ? std::optional(session_.videoZoom()) : std::nullopt,
      .hasPrevious = session_.playQueue().hasPrevious(),
      .hasNext = session_.playQueue().hasNext(),
      .canDeleteFile = session_.fileDeletion().currentFileURL().has_value(),
      .canSaveFrame = session_.frameSource() != FrameSaving::Source::none,
      .speed = session_.playbackRate(),
      .chapters = session_.chapters(),
      .audioTracks = session_.mediaTracks().audio(),
      .subtitleTracks = session_.mediaTracks().subtitles(),
  });
}

}  // namespace orvel
