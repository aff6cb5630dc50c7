// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/PlaylistPanel.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glibmm/extraclassinit.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "chrome/PlayerSymbols.h"
#include "core/Log.h"
#include "platform/gtk/WidgetHelpers.h"
#include "platform/system/DesktopLaunch.h"
#include "playlist/PlaylistLibrary.h"

namespace orvel {
namespace {

using Row = PlaylistView::Row;
using Ids = PlaylistView::Ids;

std::string iconName(std::string_view symbol) {
  return std::string(PlayerSymbols::iconName(symbol));
}

void makeIconButton(Gtk::Button& button, std::string_view symbol, const std::string& label,
                    const std::string& help) {
  button.set_icon_name(iconName(symbol));
  button.set_has_frame(false);
  describe(button, label, help);
}

void setText(Gtk::Label& label, const std::string& text) {
  if (label.get_text().raw() != text) {
    label.set_text(text);
  }
}

// Opens the folder holding the file when no file manager answers the request to show it.
void openContainingFolder(const Url& file) {
  const std::string folder = std::filesystem::path(file.path()).parent_path();
  if (auto url = Url::fileURL(folder)) {
    openWithDesktop(url->absoluteString());
  }
}

// Asks the desktop's file manager to show the file selected in its folder.
void showInFiles(const Url& file) {
  Gio::DBus::Connection::get(
      Gio::DBus::BusType::SESSION, [file](Glib::RefPtr<Gio::AsyncResult>& result) {
        Glib::RefPtr<Gio::DBus::Connection> bus;
        try {
          bus = Gio::DBus::Connection::get_finish(result);
        } catch (const Glib::Error&) {
          openContainingFolder(file);
          return;
        }
        const std::vector<Glib::ustring> uris{file.absoluteString()};
        auto parameters = Glib::VariantContainerBase::create_tuple(
            {Glib::Variant<std::vector<Glib::ustring>>::create(uris),
             Glib::Variant<Glib::ustring>::create("")});
        bus->call(
            "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1", "ShowItems",
            parameters,
            [bus, file](Glib::RefPtr<Gio::AsyncResult>& reply) {
              try {
                bus->call_finish(reply);
              } catch (const Glib::Error& error) {
                logLine("Playlist", "No file manager shows files (" + std::string(error.what()) +
                                        "); opening the folder instead");
                openContainingFolder(file);
              }
            },
            "org.freedesktop.FileManager1", 5000);
      });
}

// The rows being dragged travel as the position of the row the drag began on.
Glib::RefPtr<Gdk::ContentProvider> rowContent(std::size_t position) {
  Glib::Value<Glib::ustring> value;
  value.init(value.value_type());
  value.set(std::to_string(position));
  return Gdk::ContentProvider::create(value);
}

// Runs the work on a thread of its own, then what it returns on the main loop.
void runOffMainLoop(std::function<std::function<void()>()> work) {
  std::thread([work = std::move(work)] {
    auto* done = new std::function<void()>(work());
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer turn) -> gboolean {
          (*static_cast<std::function<void()>*>(turn))();
          return G_SOURCE_REMOVE;
        },
        done, [](gpointer turn) { delete static_cast<std::function<void()>*>(turn); });
  }).detach();
}

// Makes the artwork a picture to assistive technologies, as an image widget is.
class PictureRole : public Glib::ExtraClassInit {
 protected:
  PictureRole()
      : Glib::ExtraClassInit([](void* type, void*) {
          gtk_widget_class_set_accessible_role(GTK_WIDGET_CLASS(type), GTK_ACCESSIBLE_ROLE_IMG);
        }) {}
};

// The artwork of a content row in one widget: the thumbnail, cut to the frame as a cover is, or
// else the item's symbol, and over either the marker in the lower corner, both symbols in the
// widget's colour. A row is made each time one scrolls into a list that grew, so it holds as few
// widgets as it can.
class RowArtwork : public PictureRole, public Gtk::Widget {
 public:
  RowArtwork() : Glib::ObjectBase("OrvelRowArtwork") {
    add_css_class("orvel-playlist-artwork");
    set_overflow(Gtk::Overflow::HIDDEN);
  }

  // The picture wins over the symbol; an empty marker draws none.
  void show(PlaylistMetadata::Image image, const std::string& symbol, const std::string& marker) {
    image_ = std::move(image);
    if (!image_) {
      symbol_.lookUp(*this, symbol);
    }
    marker_.lookUp(*this, marker);
    queue_draw();
  }

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override {
    return Gtk::SizeRequestMode::CONSTANT_SIZE;
  }
  void measure_vfunc(Gtk::Orientation orientation, int, int& minimum, int& natural,
                     int& minimumBaseline, int& naturalBaseline) const override {
    minimum = natural = orientation == Gtk::Orientation::HORIZONTAL ? kWidth : kHeight;
    minimumBaseline = naturalBaseline = -1;
  }
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override {
    const int width = get_width();
    const int height = get_height();
    // Moved to a screen of another scale, the symbols are looked up again at the new one.
    symbol_.followScale(*this);
    marker_.followScale(*this);
    GdkRGBA color;
    gtk_style_context_get_color(gtk_widget_get_style_context(gobj()), &color);
    if (image_) {
      drawImage(snapshot, width, height);
    } else {
      symbol_.draw(snapshot, (width - kSymbolSize) / 2.0f, (height - kSymbolSize) / 2.0f, color);
    }
    // The marker stands out from any picture by its shadow; it sits in the lower corner on the
    // side the text ends.
    const GskShadow shadow{{0, 0, 0, 0.9f}, 0, 1, 2};
    const bool rightToLeft = get_direction() == Gtk::TextDirection::RTL;
    gtk_snapshot_push_shadow(snapshot->gobj(), &shadow, 1);
    marker_.draw(
        snapshot,
        static_cast<float>(rightToLeft ? kMarkerMargin : width - kMarkerSize - kMarkerMargin),
        static_cast<float>(height - kMarkerSize - kMarkerMargin), color);
    gtk_snapshot_pop(snapshot->gobj());
  }

 private:
  static constexpr int kWidth = 64;
  static constexpr int kHeight = 36;
  static constexpr int kSymbolSize = 20;
  static constexpr int kMarkerSize = 14;
  static constexpr int kMarkerMargin = 2;

  // A symbolic icon of the theme, looked up again only when its name or the scale changes.
  struct Symbol {
    explicit Symbol(int pixels) : size(pixels) {}

    int size;
    int scale = 0;
    std::string name;
    Glib::RefPtr<Gtk::IconPaintable> icon;

    void lookUp(Gtk::Widget& widget, const std::string& wanted) {
      if (wanted != name || widget.get_scale_factor() != scale) {
        name = wanted;
        load(widget);
      }
    }
    void followScale(Gtk::Widget& widget) {
      if (widget.get_scale_factor() != scale) {
        load(widget);
      }
    }
    void load(Gtk::Widget& widget) {
      scale = widget.get_scale_factor();
      icon = name.empty() ? nullptr
                          : Gtk::IconTheme::get_for_display(widget.get_display())
                                ->lookup_icon(name, size, scale, widget.get_direction());
    }
    void draw(const Glib::RefPtr<Gtk::Snapshot>& snapshot, float x, float y,
              const GdkRGBA& color) const {
      if (!icon) {
        return;
      }
      const graphene_point_t origin = GRAPHENE_POINT_INIT(x, y);
      gtk_snapshot_save(snapshot->gobj());
      gtk_snapshot_translate(snapshot->gobj(), &origin);
      gtk_symbolic_paintable_snapshot_symbolic(GTK_SYMBOLIC_PAINTABLE(icon->gobj()),
                                               snapshot->gobj(), size, size, &color, 1);
      gtk_snapshot_restore(snapshot->gobj());
    }
  };

  void drawImage(const Glib::RefPtr<Gtk::Snapshot>& snapshot, int width, int height) {
    auto* pixbuf = static_cast<GdkPixbuf*>(const_cast<void*>(image_.get()));
    const double imageWidth = gdk_pixbuf_get_width(pixbuf);
    const double imageHeight = gdk_pixbuf_get_height(pixbuf);
    if (imageWidth <= 0 || imageHeight <= 0 || width <= 0 || height <= 0) {
      return;
    }
    const auto cairo = snapshot->append_cairo(Gdk::Rectangle(0, 0, width, height));
    const double scale = std::max(width / imageWidth, height / imageHeight);
    cairo->translate((width - imageWidth * scale) / 2, (height - imageHeight * scale) / 2);
    cairo->scale(scale, scale);
    gdk_cairo_set_source_pixbuf(cairo->cobj(), pixbuf, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cairo->cobj()), CAIRO_FILTER_GOOD);
    cairo->paint();
  }

  // Keeps the picture drawn alive while the metadata may replace it.
  PlaylistMetadata::Image image_;
  Symbol symbol_{kSymbolSize};
  Symbol marker_{kMarkerSize};
};

}  // namespace

// One row of the content list; recycled for whatever row scrolls into view.
class PlaylistPanel::ContentRow : public Gtk::Box {
 public:
  explicit ContentRow(PlaylistPanel& panel)
      : Gtk::Box(Gtk::Orientation::HORIZONTAL, 10), panel_(panel) {
    add_css_class("orvel-playlist-row");
    check_.set_valign(Gtk::Align::CENTER);
    check_.signal_toggled().connect([this] {
      if (!binding_ && position_) {
        if (check_.get_active()) {
          panel_.selection_->select_item(static_cast<guint>(*position_), false);
        } else {
          panel_.selection_->unselect_item(static_cast<guint>(*position_));
        }
      }
    });
    append(check_);

    artwork_.set_valign(Gtk::Align::CENTER);
    append(artwork_);

    text_.set_hexpand(true);
    text_.set_valign(Gtk::Align::CENTER);
    title_.set_xalign(0);
    title_.set_ellipsize(Pango::EllipsizeMode::END);
    title_.add_css_class("orvel-playlist-title");
    subtitle_.set_xalign(0);
    subtitle_.set_ellipsize(Pango::EllipsizeMode::END);
    subtitle_.add_css_class("orvel-playlist-subtitle");
    text_.append(title_);
    text_.append(subtitle_);
    append(text_);

    // Plain buttons opening the panel's one menu, shown while the pointer or the focus is on the
    // row or the row is selected. The stylesheet draws their symbols, so each is one widget.
    moveButton_.set_has_frame(false);
    moveButton_.add_css_class("orvel-row-move");
    moveButton_.signal_clicked().connect([this] {
      if (id_) {
        panel_.showMenu(moveButton_, panel_.moveMenuModel(*id_));
      }
    });
    moreButton_.set_has_frame(false);
    moreButton_.add_css_class("orvel-row-more");
    moreButton_.signal_clicked().connect([this] {
      if (id_) {
        const Ids target{*id_};
        panel_.showMenu(moreButton_, panel_.menuModel(panel_.model_->contextMenu(target), target));
      }
    });
    for (Gtk::Button* button : {&moveButton_, &moreButton_}) {
      gtk_accessible_update_property(GTK_ACCESSIBLE(button->gobj()),
                                     GTK_ACCESSIBLE_PROPERTY_HAS_POPUP, TRUE, -1);
      button->add_css_class("orvel-row-action");
      button->set_valign(Gtk::Align::CENTER);
      append(*button);
    }

    auto click = Gtk::GestureClick::create();
    click->set_button(GDK_BUTTON_SECONDARY);
    click->signal_pressed().connect([this](int, double x, double y) {
      if (position_) {
        panel_.showContextMenu(*this, x, y, panel_.contextTargets(*position_));
      }
    });
    add_controller(click);

    auto drag = Gtk::DragSource::create();
    drag->set_actions(Gdk::DragAction::MOVE);
    drag->signal_prepare().connect(
        [this](double, double) -> Glib::RefPtr<Gdk::ContentProvider> {
          if (!position_ || !panel_.model_->canReorder()) {
            return {};
          }
          return rowContent(*position_);
        },
        false);
    add_controller(drag);
    auto drop =
        Gtk::DropTarget::create(Glib::Value<Glib::ustring>::value_type(), Gdk::DragAction::MOVE);
    drop->signal_drop().connect(
        [this](const Glib::ValueBase& value, double, double y) {
          if (!position_ || value.gobj()->g_type != G_TYPE_STRING) {
            return false;
          }
          Glib::Value<Glib::ustring> dragged;
          dragged.init(value.gobj());
          std::size_t from = 0;
          try {
            from = std::stoul(dragged.get().raw());
          } catch (const std::exception&) {
            return false;
          }
          // The lower half of a row drops after it.
          const bool after = y > get_height() / 2.0;
          panel_.dropRows(from, *position_ + (after ? 1 : 0));
          return true;
        },
        false);
    add_controller(drop);
  }

  void bind(const Row& row, std::size_t position) {
    binding_ = true;
    position_ = position;
    id_ = row.node.id;
    url_ = row.node.url.value_or("");
    const PlaylistView& model = *panel_.model_;
    const PlaylistNode& node = row.node;
    const std::string title = model.displayTitle(node);
    setText(title_, title);
    // The list's own holder of the row is what screen readers land on: it carries the title.
    if (Gtk::Widget* holder = get_parent()) {
      setAccessibleLabel(*holder, title);
    }
    setText(subtitle_, model.subtitle(row));
    subtitle_.set_visible(!subtitle_.get_text().empty());

    if (!url_.empty() && !panel_.inputs_.metadata.wasRequested(url_)) {
      panel_.inputs_.metadata.load(url_);
    }
    const PlaylistMetadata::Info* info =
        url_.empty() ? nullptr : panel_.inputs_.metadata.info(url_);
    const bool current = model.currentItemID() == node.id;
    artwork_.show(info ? info->thumbnail : nullptr,
                  iconName(PlaylistView::artworkSymbol(node, StreamingProviderRegistry::shared())),
                  current           ? iconName("speaker.wave.2.fill")
                  : node.isFolder() ? std::string()
                                    : iconName("play.fill"));
    describeRow(artwork_, current ? "Playing" : "", current ? "Playing" : "");
    setClass(*this, "orvel-playlist-current", current);

    // The progress bar, the resume line and the missing-file line are made the first time this
    // row shows an item that has them.
    const auto progress = model.progress(node);
    if (progress || progress_) {
      progressBar().set_visible(progress.has_value());
      progress_->set_fraction(progress.value_or(0));
    }
    const auto resume = model.resumeLabel(row);
    if (resume || resume_) {
      resumeLine().set_visible(resume.has_value());
      if (resume) {
        setText(*resumeLabel_, *resume);
      }
    }
    const bool missing = model.isFileMissing(node);
    if (missing || missing_) {
      missingLine().set_visible(missing);
    }

    const bool selected = panel_.selection_->is_selected(static_cast<guint>(position));
    check_.set_active(selected);
    updateCheckDescription(title, selected);
    describeRow(moveButton_, "Move " + title + " to a folder", "Move " + title + " to a folder");
    describeRow(moreButton_, "More actions for " + title, "More actions for " + title);
    binding_ = false;
  }

  void updateSelected() {
    if (!position_) {
      return;
    }
    binding_ = true;
    const bool selected = panel_.selection_->is_selected(static_cast<guint>(*position_));
    check_.set_active(selected);
    updateCheckDescription(title_.get_text(), selected);
    binding_ = false;
  }

  void unbind() {
    position_.reset();
    id_.reset();
  }
  const std::optional<Uuid>& id() const { return id_; }
  const std::string& url() const { return url_; }
  std::optional<std::size_t> position() const { return position_; }

 private:
  Gtk::ProgressBar& progressBar() {
    if (!progress_) {
      progress_ = Gtk::make_managed<Gtk::ProgressBar>();
      progress_->add_css_class("orvel-playlist-progress");
      setAccessibleLabel(*progress_, "Watched");
      text_.insert_child_after(*progress_, subtitle_);
    }
    return *progress_;
  }

  Gtk::Box& resumeLine() {
    if (!resume_) {
      resume_ = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
      resumeLabel_ = Gtk::make_managed<Gtk::Label>();
      resumeLabel_->add_css_class("orvel-playlist-resume");
      resume_->append(*resumeLabel_);
      auto* button = Gtk::make_managed<Gtk::Button>("Resume");
      button->add_css_class("orvel-playlist-resume-button");
      describeRow(*button, "Resume", "Continue from where playback stopped");
      button->signal_clicked().connect([this] {
        if (id_) {
          panel_.model_->play(*id_);
        }
      });
      resume_->append(*button);
      if (progress_) {
        text_.insert_child_after(*resume_, *progress_);
      } else {
        text_.insert_child_after(*resume_, subtitle_);
      }
    }
    return *resume_;
  }

  Gtk::Label& missingLine() {
    if (!missing_) {
      missing_ = Gtk::make_managed<Gtk::Label>("File not found");
      missing_->set_xalign(0);
      missing_->add_css_class("orvel-playlist-missing");
      describeRow(*missing_, "File not found", "File not found. Its drive may be disconnected.");
      text_.append(*missing_);
    }
    return *missing_;
  }

  void updateCheckDescription(const std::string& title, bool selected) {
    describeRow(check_, "Select " + title, "Select " + title);
    gtk_accessible_update_property(GTK_ACCESSIBLE(check_.gobj()),
                                   GTK_ACCESSIBLE_PROPERTY_VALUE_TEXT,
                                   selected ? "Selected" : "Not selected", -1);
  }

  PlaylistPanel& panel_;
  bool binding_ = false;
  std::optional<std::size_t> position_;
  std::optional<Uuid> id_;
  std::string url_;
  Gtk::CheckButton check_;
  RowArtwork artwork_;
  Gtk::Box text_{Gtk::Orientation::VERTICAL, 2};
  Gtk::Label title_;
  Gtk::Label subtitle_;
  Gtk::ProgressBar* progress_ = nullptr;
  Gtk::Box* resume_ = nullptr;
  Gtk::Label* resumeLabel_ = nullptr;
  Gtk::Label* missing_ = nullptr;
  Gtk::Button moveButton_;
  Gtk::Button moreButton_;
};

// One entry of the sidebar: "All Videos" or a folder of the tree.
class PlaylistPanel::SidebarRow : public Gtk::Box {
 public:
  explicit SidebarRow(PlaylistPanel& panel)
      : Gtk::Box(Gtk::Orientation::HORIZONTAL, 6), panel_(panel) {
    add_css_class("orvel-sidebar-row");
    disclosure_.set_has_frame(false);
    disclosure_.add_css_class("orvel-disclosure");
    disclosure_.signal_clicked().connect([this] {
      if (id_) {
        panel_.model_->toggleExpanded(*id_);
      }
    });
    append(disclosure_);
    append(icon_);
    title_.set_xalign(0);
    title_.set_hexpand(true);
    title_.set_ellipsize(Pango::EllipsizeMode::END);
    append(title_);
    playing_.set_from_icon_name(iconName("speaker.wave.2.fill"));
    playing_.add_css_class("orvel-accent");
    describeRow(playing_, "Playing", "Playing");
    append(playing_);
    resume_.set_from_icon_name(iconName("bookmark.fill"));
    describeRow(resume_, "Has resume point", "Remembers where playback stopped");
    append(resume_);
    count_.add_css_class("orvel-sidebar-count");
    append(count_);

    auto click = Gtk::GestureClick::create();
    click->set_button(GDK_BUTTON_SECONDARY);
    click->signal_pressed().connect([this](int, double x, double y) {
      if (id_) {
        panel_.showContextMenu(*this, x, y, Ids{*id_});
      }
    });
    add_controller(click);
  }

  void bind(const SidebarEntry& entry) {
    id_ = entry.id;
    set_margin_start(entry.depth * 14);
    disclosure_.set_icon_name(iconName(entry.isExpanded ? "disclosure.open" : "chevron.right"));
    disclosure_.set_opacity(entry.hasSubfolders ? 1 : 0);
    disclosure_.set_sensitive(entry.hasSubfolders);
    describeRow(disclosure_, (entry.isExpanded ? "Collapse " : "Expand ") + entry.title,
                (entry.isExpanded ? "Collapse " : "Expand ") + entry.title);
    icon_.set_from_icon_name(iconName(!entry.id          ? "list.bullet"
                                      : entry.isExpanded ? "folder.fill"
                                                         : "folder"));
    setText(title_, entry.title);
    if (Gtk::Widget* holder = get_parent()) {
      setAccessibleLabel(*holder, entry.title);
    }
    setText(count_, std::to_string(entry.count));
    playing_.set_visible(entry.isPlaying);
    resume_.set_visible(entry.hasResume);
  }

 private:
  PlaylistPanel& panel_;
  std::optional<Uuid> id_;
  Gtk::Button disclosure_;
  Gtk::Image icon_;
  Gtk::Label title_;
  Gtk::Image playing_;
  Gtk::Image resume_;
  Gtk::Label count_;
};

PlaylistPanel::PlaylistPanel(Inputs inputs) : inputs_(std::move(inputs)) {
  PlaylistView::Inputs viewInputs = inputs_.view;
  // Every edit the model makes goes through here: the rows are redrawn after it.
  viewInputs.setLibrary = [this, set = inputs_.view.setLibrary](PlaylistView::Nodes library) {
    rowsStale_ = true;
    set(std::move(library));
  };
  model_ = std::make_unique<PlaylistView>(
      std::move(viewInputs),
      PlaylistView::Dependencies{
          .defaults = inputs_.defaults,
          .registry = StreamingProviderRegistry::shared(),
          .metadata = &inputs_.metadata,
          .trash = PlaylistTrash::moveToTrash,
          .fileExists = {},
          .copyToClipboard =
              [this](const std::string& text) { window_.get_clipboard()->set_text(text); },
          .showInFiles = &showInFiles,
      });

  window_.set_title("Playlist");
  window_.set_transient_for(inputs_.parent);
  window_.set_destroy_with_parent(true);
  window_.set_default_size(1040, 640);
  window_.set_size_request(720, 440);
  window_.add_css_class("orvel-playlist");
  window_.signal_close_request().connect(
      [this] {
        if (inputs_.onDone) {
          inputs_.onDone();
        }
        return true;
      },
      false);

  buildActions();
  auto* root = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 0);
  buildHeader(*root);
  auto* body = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 0);
  body->set_vexpand(true);
  buildSidebar(*body);
  buildContent(*body);
  root->append(*body);
  buildAddBar(*root);
  buildFooter(*root);
  window_.set_child(*root);

  auto keys = Gtk::EventControllerKey::create();
  keys->signal_key_pressed().connect(
      [this](guint key, guint, Gdk::ModifierType) {
        if (key == GDK_KEY_Escape) {
          if (!model_->query().empty() || !search_.get_text().empty()) {
            search_.set_text("");
            model_->setQuery("");
          } else if (inputs_.onDone) {
            inputs_.onDone();
          }
          return true;
        }
        return false;
      },
      false);
  window_.add_controller(keys);

  modelChanges_ = model_->observeChanges([this] { refresh(); });
  metadataChanges_ =
      inputs_.metadata.observeChanges([this](const std::string& url) { metadataChanged(url); });
  model_->appear();
}

PlaylistPanel::~PlaylistPanel() {
  if (importing_) {
    importing_->cancelled = true;
  }
  importProgressTimer_.disconnect();
  modelChanges_.cancel();
  metadataChanges_.cancel();
  // Before the tree it hangs from comes down.
  if (contextMenu_.get_parent()) {
    contextMenu_.unparent();
  }
  // The rows unbind while the window's tree comes down: that needs the panel still whole.
  summaryUpdate_.disconnect();
  window_.unset_child();
  boundRows_.clear();
  if (chooser_) {
    chooser_->hide();
  }
}

void PlaylistPanel::present() {
  window_.present();
  std::string shown = "Playlist shown at " + model_->folderTitle(model_->folderID());
  if (const auto current = model_->currentItemID()) {
    if (const PlaylistNode* item = PlaylistTree::find(model_->library(), *current)) {
      shown += ", playing " + model_->displayTitle(*item);
    }
  }
  logLine("Player", shown);
  if (list_) {
    list_->grab_focus();
  }
}

void PlaylistPanel::libraryChanged() {
  rowsStale_ = true;
  model_->libraryChanged();
}

// MARK: - Building

void PlaylistPanel::buildActions() {
  actions_ = Gio::SimpleActionGroup::create();
  actions_->add_action_with_parameter(
      "menu", Glib::VariantType("i"), [this](const Glib::VariantBase& parameter) {
        const int index = Glib::VariantBase::cast_dynamic<Glib::Variant<int>>(parameter).get();
        if (index >= 0 && static_cast<std::size_t>(index) < menuEntries_.size()) {
          // The entry and its targets are copied: performing it may build the next menu.
          const PlaylistView::MenuEntry entry = menuEntries_[static_cast<std::size_t>(index)];
          const Ids targets = menuTargets_;
          model_->perform(entry, targets);
        }
      });
  actions_->add_action("shuffle-all", [this] { model_->shuffleAll(); });
  shuffleRemainingAction_ =
      actions_->add_action("shuffle-remaining", [this] { model_->shuffleRemaining(); });
  actions_->add_action("import", [this] { chooseImport(); });
  exportAction_ = actions_->add_action("export", [this] { chooseExport(); });
  window_.insert_action_group("panel", actions_);
}

void PlaylistPanel::buildHeader(Gtk::Box& root) {
  auto* header = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 12);
  header->add_css_class("orvel-playlist-header");
  auto* title = Gtk::make_managed<Gtk::Label>("Playlist");
  title->add_css_class("orvel-playlist-heading");
  header->append(*title);
  summary_.add_css_class("orvel-playlist-summary");
  summary_.set_xalign(0);
  summary_.set_hexpand(true);
  summary_.set_ellipsize(Pango::EllipsizeMode::END);
  header->append(summary_);
  root.append(*header);
}

void PlaylistPanel::buildSidebar(Gtk::Box& body) {
  sidebarStore_ = Gtk::StringList::create({});
  sidebarSelection_ = Gtk::SingleSelection::create(sidebarStore_);
  sidebarSelection_->set_autoselect(false);
  sidebarSelection_->set_can_unselect(true);
  auto factory = Gtk::SignalListItemFactory::create();
  factory->signal_setup().connect([this](const Glib::RefPtr<Gtk::ListItem>& item) {
    item->set_child(*Gtk::make_managed<SidebarRow>(*this));
  });
  factory->signal_bind().connect([this](const Glib::RefPtr<Gtk::ListItem>& item) {
    const std::size_t position = item->get_position();
    if (position < sidebar_.size()) {
      static_cast<SidebarRow*>(item->get_child())->bind(sidebar_[position]);
    }
  });
  sidebarList_ = Gtk::make_managed<Gtk::ListView>(sidebarSelection_, factory);
  sidebarList_->add_css_class("orvel-sidebar");
  sidebarList_->add_css_class("navigation-sidebar");
  setAccessibleLabel(*sidebarList_, "Folders");
  sidebarSelection_->signal_selection_changed().connect([this](guint, guint) {
    if (syncingSidebar_) {
      return;
    }
    const guint position = sidebarSelection_->get_selected();
    if (position < sidebar_.size()) {
      model_->openFolder(sidebar_[position].id);
    }
  });
  sidebarList_->signal_activate().connect([this](guint position) {
    if (position < sidebar_.size()) {
      model_->playSidebarScope(sidebar_[position].id);
    }
  });
  auto* scroller = Gtk::make_managed<Gtk::ScrolledWindow>();
  scroller->set_child(*sidebarList_);
  scroller->set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
  scroller->set_size_request(240, -1);
  scroller->add_css_class("orvel-sidebar-scroller");
  body.append(*scroller);
}

void PlaylistPanel::buildContent(Gtk::Box& body) {
  auto* content = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 0);
  content->set_hexpand(true);

  auto* bar = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  bar->add_css_class("orvel-detail-header");
  crumbs_.set_hexpand(true);
  crumbs_.add_css_class("orvel-crumbs");
  bar->append(crumbs_);
  playFromBeginning_.set_label("Play from the beginning");
  playFromBeginning_.set_has_frame(false);
  playFromBeginning_.signal_clicked().connect([this] { model_->playScopeFromBeginning(); });
  bar->append(playFromBeginning_);
  auto* searchBox = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 0);
  searchBox->add_css_class("linked");
  search_.set_icon_from_icon_name("system-search-symbolic", Gtk::Entry::IconPosition::PRIMARY);
  search_.set_size_request(220, -1);
  setAccessibleLabel(search_, "Search this folder");
  // Text replaced at once (a paste over a selection, an undo) changes twice, emptied and then
  // filled: the rows follow the text once, before the next frame is drawn.
  search_.signal_changed().connect([this] {
    if (searchQueued_) {
      return;
    }
    searchQueued_ = true;
    later_.post(
        [this] {
          searchQueued_ = false;
          if (search_.get_text().raw() != model_->query()) {
            model_->setQuery(search_.get_text());
          }
        },
        Glib::PRIORITY_HIGH_IDLE);
  });
  searchBox->append(search_);
  makeIconButton(clearSearch_, "xmark.circle.fill", "Clear search", "Clear search");
  clearSearch_.signal_clicked().connect([this] {
    search_.set_text("");
    model_->setQuery("");
    search_.grab_focus();
  });
  searchBox->append(clearSearch_);
  bar->append(*searchBox);
  content->append(*bar);

  positions_ = PositionList::create();
  selection_ = Gtk::MultiSelection::create(positions_);
  auto factory = Gtk::SignalListItemFactory::create();
  factory->signal_setup().connect([this](const Glib::RefPtr<Gtk::ListItem>& item) {
    item->set_child(*Gtk::make_managed<ContentRow>(*this));
  });
  factory->signal_bind().connect([this](const Glib::RefPtr<Gtk::ListItem>& item) {
    auto* row = static_cast<ContentRow*>(item->get_child());
    const std::size_t position = item->get_position();
    if (position < rows_.size()) {
      row->bind(rows_[position], position);
      boundRows_.insert(row);
    }
  });
  factory->signal_unbind().connect([this](const Glib::RefPtr<Gtk::ListItem>& item) {
    auto* row = static_cast<ContentRow*>(item->get_child());
    row->unbind();
    boundRows_.erase(row);
  });
  // A grid of one column: it keeps row widgets for about 30 rows around the view, where a list
  // view keeps 200, so a search that changes the row count makes and drops few of them.
  list_ = Gtk::make_managed<Gtk::GridView>(selection_, factory);
  list_->set_min_columns(1);
  list_->set_max_columns(1);
  list_->add_css_class("orvel-playlist-list");
  setAccessibleLabel(*list_, "Videos");
  list_->signal_activate().connect([this](guint position) {
    // The primary action goes to the first selected row, else the one activated.
    const Ids& selected = model_->selection();
    for (const Row& row : rows_) {
      if (selected.contains(row.node.id)) {
        model_->activate(row.node.id);
        return;
      }
    }
    if (position < rows_.size()) {
      model_->activate(rows_[position].node.id);
    }
  });
  selection_->signal_selection_changed().connect([this](guint, guint) { selectionChanged(); });
  auto keys = Gtk::EventControllerKey::create();
  keys->signal_key_pressed().connect(
      [this](guint key, guint, Gdk::ModifierType state) {
        if (key == GDK_KEY_Delete || key == GDK_KEY_KP_Delete || key == GDK_KEY_BackSpace) {
          model_->remove(model_->selection());
          return true;
        }
        // The context menu of the selection, at its first row.
        const bool shifted =
            (state & Gdk::ModifierType::SHIFT_MASK) == Gdk::ModifierType::SHIFT_MASK;
        if (key == GDK_KEY_Menu || (key == GDK_KEY_F10 && shifted)) {
          for (ContentRow* row : boundRows_) {
            if (row->position() && selection_->is_selected(static_cast<guint>(*row->position()))) {
              showContextMenu(*row, row->get_width() / 2.0, row->get_height() / 2.0,
                              model_->selection());
              return true;
            }
          }
        }
        return false;
      },
      false);
  list_->add_controller(keys);

  auto* scroller = Gtk::make_managed<Gtk::ScrolledWindow>();
  scroller->set_child(*list_);
  scroller->set_vexpand(true);
  scroller->set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
  contentStack_.add(*scroller, "list");
  auto* empty = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 8);
  empty->set_valign(Gtk::Align::CENTER);
  empty->add_css_class("orvel-empty-state");
  emptyTitle_.add_css_class("orvel-empty-title");
  emptyMessage_.add_css_class("orvel-empty-message");
  emptyMessage_.set_justify(Gtk::Justification::CENTER);
  empty->append(emptyTitle_);
  empty->append(emptyMessage_);
  contentStack_.add(*empty, "empty");
  contentStack_.set_vexpand(true);
  content->append(contentStack_);
  body.append(*content);
}

void PlaylistPanel::buildAddBar(Gtk::Box& root) {
  auto* bar = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 6);
  bar->add_css_class("orvel-add-bar");
  urlField_.set_hexpand(true);
  urlField_.set_placeholder_text("Paste a YouTube, playlist, MP4, WebM or MKV URL");
  setAccessibleLabel(urlField_, "Video or playlist URL");
  auto submit = [this] {
    model_->setNewURL(urlField_.get_text());
    model_->addURL();
    if (urlField_.get_text().raw() != model_->newURL()) {
      urlField_.set_text(model_->newURL());
    }
  };
  urlField_.signal_activate().connect(submit);
  bar->append(urlField_);
  addURL_.set_label("Add URL");
  describe(addURL_, "Add URL", "Add the link to the playlist");
  addURL_.signal_clicked().connect(submit);
  bar->append(addURL_);
  addFiles_.set_label("Add Files");
  describe(addFiles_, "Add Files", "Add files or folders…");
  addFiles_.signal_clicked().connect([this] { chooseFiles(false); });
  bar->append(addFiles_);
  addFolder_.set_label("Add Folder");
  describe(addFolder_, "Add Folder", "Add a folder as a playlist folder…");
  addFolder_.signal_clicked().connect([this] { chooseFiles(true); });
  bar->append(addFolder_);
  adding_.set_visible(false);
  adding_.set_tooltip_text("Adding files…");
  setAccessibleLabel(adding_, "Adding files…");
  bar->append(adding_);
  addingText_.set_visible(false);
  bar->append(addingText_);
  stopAdding_.set_label("Stop");
  describe(stopAdding_, "Stop", "Stop the import");
  stopAdding_.set_visible(false);
  stopAdding_.signal_clicked().connect([this] { stopImport(); });
  bar->append(stopAdding_);
  newFolder_.set_label("New Folder");
  describe(newFolder_, "New Folder", "New Folder");
  newFolder_.signal_clicked().connect([this] { model_->newFolder(); });
  bar->append(newFolder_);
  importExport_.set_icon_name(iconName("square.and.arrow.up.on.square"));
  describe(importExport_, "Import or export", "Import or export M3U playlists");
  bar->append(importExport_);
  root.append(*bar);

  errorRow_.add_css_class("orvel-playlist-error");
  auto* icon = Gtk::make_managed<Gtk::Image>();
  icon->set_from_icon_name(iconName("exclamationmark.triangle.fill"));
  errorRow_.append(*icon);
  errorText_.set_xalign(0);
  errorText_.set_wrap(true);
  errorText_.set_hexpand(true);
  errorText_.set_selectable(true);
  errorRow_.append(errorText_);
  errorRow_.set_visible(false);
  root.append(errorRow_);
}

void PlaylistPanel::buildFooter(Gtk::Box& root) {
  auto* footer = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 4);
  footer->add_css_class("orvel-playlist-footer");
  makeIconButton(remove_, "minus", "Remove from Playlist",
                 "Remove selection from playlist (Delete)");
  remove_.signal_clicked().connect([this] { model_->remove(model_->selection()); });
  makeIconButton(moveUp_, "chevron.up", "Move selection up", "Move selection up");
  moveUp_.signal_clicked().connect([this] { model_->move(-1); });
  makeIconButton(moveDown_, "chevron.down", "Move selection down", "Move selection down");
  moveDown_.signal_clicked().connect([this] { model_->move(1); });
  for (Gtk::Button* button : {&remove_, &moveUp_, &moveDown_}) {
    footer->append(*button);
  }
  auto* gap = Gtk::make_managed<Gtk::Separator>(Gtk::Orientation::VERTICAL);
  gap->set_margin_start(6);
  gap->set_margin_end(6);
  footer->append(*gap);
  play_.set_label("Play");
  play_.add_css_class("suggested-action");
  play_.signal_clicked().connect([this] { model_->playScope(); });
  footer->append(play_);
  repeat_.set_has_frame(false);
  repeat_.signal_clicked().connect([this] { model_->cycleRepeat(); });
  footer->append(repeat_);
  auto shuffleMenu = Gio::Menu::create();
  shuffleMenu->append("Shuffle all videos", "panel.shuffle-all");
  shuffleMenu->append("Shuffle remaining videos", "panel.shuffle-remaining");
  shuffle_.set_menu_model(shuffleMenu);
  shuffle_.set_label("Shuffle");
  shuffle_.set_icon_name(iconName("shuffle"));
  shuffle_.set_has_frame(false);
  shuffle_.set_direction(Gtk::ArrowType::UP);
  describe(shuffle_, "Shuffle", "Randomize the playlist order");
  footer->append(shuffle_);
  clear_.set_label("Clear…");
  clear_.set_has_frame(false);
  describe(clear_, "Clear…", "Remove every video and folder from the playlist");
  clear_.signal_clicked().connect([this] { model_->requestClear(); });
  footer->append(clear_);
  selectedCount_.set_hexpand(true);
  selectedCount_.set_xalign(1);
  selectedCount_.add_css_class("orvel-playlist-summary");
  footer->append(selectedCount_);
  done_.set_label("Done");
  done_.signal_clicked().connect([this] {
    if (inputs_.onDone) {
      inputs_.onDone();
    }
  });
  footer->append(done_);
  root.append(*footer);
}

// MARK: - Redrawing

void PlaylistPanel::refresh() {
  const auto folder = model_->folderID();
  if (rowsStale_ || folder != shownFolder_ || model_->query() != shownQuery_) {
    // The first rows shown count as a new folder, All Videos (no folder) too.
    const bool folderChanged = !shownOnce_ || folder != shownFolder_;
    shownOnce_ = true;
    // A keystroke in the search field changes the rows alone.
    const bool onlySearch = !rowsStale_ && !folderChanged;
    const bool contentChanged = rowsStale_;
    rowsStale_ = false;
    shownFolder_ = folder;
    shownQuery_ = model_->query();
    refreshRows(contentChanged);
    if (!onlySearch) {
      refreshSidebar();
      refreshBreadcrumb();
      refreshScope();
    }
    if (folderChanged) {
      scrollToResumeRow();
    }
  }
  applySelection();
  refreshControls();
  syncDialogs();
}

// The row to resume from comes into view once the list has its new rows and a size: a list not
// yet shown loses the scroll.
void PlaylistPanel::scrollToResumeRow() {
  list_->add_tick_callback([this](const Glib::RefPtr<Gdk::FrameClock>&) {
    if (!list_->get_mapped() || list_->get_height() <= 0) {
      return true;
    }
    for (std::size_t position = 0; position < rows_.size(); ++position) {
      if (rows_[position].isResume) {
        list_->activate_action("list.scroll-to-item",
                               Glib::Variant<guint32>::create(static_cast<guint32>(position)));
        break;
      }
    }
    return false;
  });
}

void PlaylistPanel::refreshRows(bool contentChanged) {
  // The rows shown until now are let go on a later, idle turn, after the frame that is due:
  // freeing ten thousand of them would delay it.
  std::vector<Row> visible = model_->visibleRows();
  if (!rows_.empty()) {
    if (retiredRows_.empty()) {
      later_.post([this] { retiredRows_.clear(); });
    }
    retiredRows_.push_back(std::move(rows_));
  }
  rows_ = std::move(visible);
  // The list's entries stand for positions, so only the count changes: a search or an edit
  // rebinds the rows on screen instead of making new ones.
  syncingSelection_ = true;
  positions_->setCount(static_cast<guint>(rows_.size()));
  syncingSelection_ = false;
  for (ContentRow* row : boundRows_) {
    const auto position = row->position();
    if (position && *position < rows_.size() &&
        (contentChanged || row->id() != rows_[*position].node.id)) {
      row->bind(rows_[*position], *position);
    }
  }
  const auto empty = model_->emptyState(!rows_.empty());
  if (empty) {
    setText(emptyTitle_, empty->title);
    setText(emptyMessage_, empty->message);
  }
  showStackPage(contentStack_, empty ? "empty" : "list");
  // An empty list takes no keyboard focus: it would keep it, and Tab would lead nowhere.
  list_->set_can_focus(!rows_.empty());
  // Only rows on screen stay selected: the footer's actions never reach a row out of sight.
  Ids shown;
  for (const Row& row : rows_) {
    if (model_->selection().contains(row.node.id)) {
      shown.insert(row.node.id);
    }
  }
  if (shown.size() != model_->selection().size()) {
    model_->setSelection(std::move(shown));
  }
}

void PlaylistPanel::refreshSidebar() {
  const auto folders = model_->sidebarRows();
  std::vector<SidebarEntry> entries;
  entries.push_back({.id = std::nullopt,
                     .title = "All Videos",
                     .depth = 0,
                     .hasSubfolders = false,
                     .isExpanded = true,
                     .count = model_->itemCount(std::nullopt),
                     .isPlaying = model_->isPlaying(std::nullopt),
                     .hasResume = model_->resumeID(std::nullopt).has_value()});
  for (const Row& row : folders) {
    const PlaylistNode& folder = row.node;
    entries.push_back({.id = folder.id,
                       .title = folder.title(),
                       .depth = row.depth + 1,
                       .hasSubfolders = !folder.subfolders().empty(),
                       .isExpanded = folder.isExpanded,
                       .count = PlaylistTree::items(folder).size(),
                       .isPlaying = model_->isPlaying(folder.id),
                       .hasResume = model_->resumeID(folder.id).has_value()});
  }
  syncingSidebar_ = true;
  // Rebuilt only when it changed, so that a click that opens a folder can become a double click.
  if (entries != sidebar_) {
    sidebar_ = std::move(entries);
    std::vector<Glib::ustring> keys;
    for (std::size_t position = 0; position < sidebar_.size(); ++position) {
      keys.push_back(std::to_string(position));
    }
    sidebarStore_->splice(0, sidebarStore_->get_n_items(), keys);
  }
  guint selected = 0;
  for (std::size_t position = 0; position < sidebar_.size(); ++position) {
    if (sidebar_[position].id == shownFolder_) {
      selected = static_cast<guint>(position);
      break;
    }
  }
  sidebarSelection_->set_selected(selected);
  syncingSidebar_ = false;
}

void PlaylistPanel::refreshBreadcrumb() {
  while (Gtk::Widget* child = crumbs_.get_first_child()) {
    crumbs_.remove(*child);
  }
  const auto crumbs = model_->breadcrumb();
  for (std::size_t index = 0; index < crumbs.size(); ++index) {
    if (index > 0) {
      auto* chevron = Gtk::make_managed<Gtk::Image>();
      chevron->set_from_icon_name(iconName("chevron.right"));
      chevron->add_css_class("orvel-crumb-chevron");
      crumbs_.append(*chevron);
    }
    if (index + 1 == crumbs.size()) {
      auto* label = Gtk::make_managed<Gtk::Label>(crumbs[index].title);
      label->add_css_class("orvel-crumb-current");
      label->set_ellipsize(Pango::EllipsizeMode::END);
      crumbs_.append(*label);
    } else {
      auto* button = Gtk::make_managed<Gtk::Button>(crumbs[index].title);
      button->set_has_frame(false);
      button->add_css_class("orvel-crumb");
      button->signal_clicked().connect(
          [this, folder = crumbs[index].folder] { model_->openFolder(folder); });
      crumbs_.append(*button);
    }
  }
}

// What depends on the library and the open folder, and not on the search or the selection.
void PlaylistPanel::refreshScope() {
  setText(summary_, model_->headerSummary());
  const std::string playLabel = "Play " + model_->folderTitle(model_->folderID());
  describe(play_, playLabel, playLabel);
  play_.set_sensitive(model_->canPlayScope());
  playFromBeginning_.set_visible(model_->folderID().has_value());
  playFromBeginning_.set_sensitive(model_->canPlayScope());
  shuffleRemainingAction_->set_enabled(model_->canShuffleRemaining());
  clear_.set_sensitive(model_->canClear());
  const std::string exportTitle = model_->exportMenuTitle();
  if (exportTitle != shownExportTitle_) {
    shownExportTitle_ = exportTitle;
    auto importMenu = Gio::Menu::create();
    importMenu->append(std::string(PlaylistLibrary::kImportMenuTitle), "panel.import");
    importMenu->append(exportTitle, "panel.export");
    importExport_.set_menu_model(importMenu);
  }
  exportAction_->set_enabled(model_->itemCount(model_->folderID()) > 0);
}

void PlaylistPanel::refreshControls() {
  const bool hasSelection = !model_->selection().empty();
  remove_.set_sensitive(hasSelection);
  moveUp_.set_sensitive(model_->canMove(-1));
  moveDown_.set_sensitive(model_->canMove(1));
  if (const std::string symbol = iconName(model_->repeatSymbol());
      repeat_.get_icon_name().raw() != symbol) {
    repeat_.set_icon_name(symbol);
  }
  describe(repeat_, model_->repeatHelp(), model_->repeatHelp());
  setClass(repeat_, "orvel-accent", model_->repeatMode() != PlaylistRepeat::off);
  setText(selectedCount_, model_->selectionSummary());
  search_.set_placeholder_text(model_->searchPlaceholder());
  if (!searchQueued_ && search_.get_text().raw() != model_->query()) {
    search_.set_text(model_->query());
  }
  clearSearch_.set_visible(!model_->query().empty());

  const auto& error = model_->errorMessage();
  errorRow_.set_visible(error.has_value());
  if (error) {
    setText(errorText_, *error);
  }
}

void PlaylistPanel::applySelection() {
  const Ids& wanted = model_->selection();
  auto selected = Gtk::Bitset::create();
  for (std::size_t position = 0; position < rows_.size(); ++position) {
    if (wanted.contains(rows_[position].node.id)) {
      selected->add(static_cast<guint>(position));
    }
  }
  const auto current = selection_->get_selection();
  if (current->equals(selected)) {
    return;
  }
  auto everything = Gtk::Bitset::create();
  everything->add_range(0, static_cast<guint>(rows_.size()));
  syncingSelection_ = true;
  selection_->set_selection(selected, everything);
  syncingSelection_ = false;
  for (ContentRow* row : boundRows_) {
    row->updateSelected();
  }
}

void PlaylistPanel::selectionChanged() {
  for (ContentRow* row : boundRows_) {
    row->updateSelected();
  }
  if (syncingSelection_) {
    return;
  }
  Ids ids;
  const auto selected = selection_->get_selection();
  const guint64 count = selected->get_size();
  for (guint64 index = 0; index < count; ++index) {
    const guint position = selected->get_nth(static_cast<guint>(index));
    if (position < rows_.size()) {
      ids.insert(rows_[position].node.id);
    }
  }
  model_->setSelection(std::move(ids));
}

void PlaylistPanel::syncDialogs() {
  if (model_->renamingID() && !renameShown_) {
    renameShown_ = true;
    const bool folder = model_->renamingFolder();
    Alert alert{.style = Alert::Style::informational,
                .title = folder ? "Rename Folder" : "Rename Video",
                .message = folder ? "" : "Leave empty to use the video’s own title.",
                .buttons = {"Rename", "Cancel"},
                .destructiveButton = {}};
    dialogs_.promptForText(alert, "Name", model_->renameText(),
                           [this](std::optional<std::string> text) {
                             renameShown_ = false;
                             if (text) {
                               model_->setRenameText(*text);
                               model_->commitRename();
                             } else {
                               model_->cancelRename();
                             }
                           });
  }
  if (model_->showsTrashConfirmation()) {
    confirm(
        trashShown_,
        {.style = Alert::Style::warning,
         .title = "Move original file to Trash?",
         .message = model_->trashConfirmationMessage(),
         .buttons = {"Move Original File to Trash", "Cancel"},
         .destructiveButton = 0},
        [this] { model_->trashSelectedFile(); }, [this] { model_->cancelTrash(); });
  }
  if (model_->showsClearConfirmation()) {
    confirm(
        clearShown_,
        {.style = Alert::Style::warning,
         .title = "Clear the entire playlist?",
         .message = "All videos and folders are removed from the playlist. Original "
                    "files are not affected.",
         .buttons = {"Clear Playlist", "Cancel"},
         .destructiveButton = 0},
        [this] { model_->confirmClear(); }, [this] { model_->cancelClear(); });
  }
}

// A confirmation whose first button does the destructive thing; `shown` keeps it from being
// asked twice while it is up.
void PlaylistPanel::confirm(bool& shown, const Alert& alert, std::function<void()> confirmed,
                            std::function<void()> cancelled) {
  if (shown) {
    return;
  }
  shown = true;
  dialogs_.showAlert(alert, [&shown, confirmed = std::move(confirmed),
                             cancelled = std::move(cancelled)](std::size_t button) {
    shown = false;
    if (button == 0) {
      confirmed();
    } else {
      cancelled();
    }
  });
}

// MARK: - Menus

Ids PlaylistPanel::contextTargets(std::size_t position) const {
  if (position >= rows_.size()) {
    return {};
  }
  const Uuid& id = rows_[position].node.id;
  // A right click on a selected row acts on the selection, elsewhere on that row alone.
  if (model_->selection().contains(id)) {
    return model_->selection();
  }
  return {id};
}

Glib::RefPtr<Gio::Menu> PlaylistPanel::menuModel(
    const std::vector<PlaylistView::MenuEntry>& entries, const Ids& ids) {
  menuEntries_.clear();
  menuTargets_ = ids;
  std::function<Glib::RefPtr<Gio::Menu>(const std::vector<PlaylistView::MenuEntry>&)> build =
      [&](const std::vector<PlaylistView::MenuEntry>& list) {
        auto menu = Gio::Menu::create();
        auto section = Gio::Menu::create();
        for (const PlaylistView::MenuEntry& entry : list) {
          if (!entry.submenu.empty()) {
            section->append_submenu(entry.label, build(entry.submenu));
            continue;
          }
          // The destructive entries stand apart at the end.
          if (entry.destructive) {
            menu->append_section(section);
            section = Gio::Menu::create();
          }
          auto item = Gio::MenuItem::create(entry.label, "");
          item->set_action_and_target(
              "panel.menu", Glib::Variant<int>::create(static_cast<int>(menuEntries_.size())));
          menuEntries_.push_back(entry);
          section->append_item(item);
        }
        menu->append_section(section);
        return menu;
      };
  return build(entries);
}

Glib::RefPtr<Gio::Menu> PlaylistPanel::moveMenuModel(const Uuid& id) {
  const Ids target{id};
  for (const PlaylistView::MenuEntry& entry : model_->contextMenu(target)) {
    if (entry.label == "Move To") {
      return menuModel(entry.submenu, target);
    }
  }
  return Gio::Menu::create();
}

void PlaylistPanel::showContextMenu(Gtk::Widget& anchor, double x, double y, const Ids& ids) {
  const auto entries = model_->contextMenu(ids);
  if (!entries.empty()) {
    showMenu(anchor, menuModel(entries, ids),
             Gdk::Rectangle(static_cast<int>(x), static_cast<int>(y), 1, 1));
  }
}

void PlaylistPanel::showMenu(Gtk::Widget& anchor, const Glib::RefPtr<Gio::MenuModel>& model,
                             std::optional<Gdk::Rectangle> at) {
  // The menu hangs from the window's content, which lives as long as the panel, and points at
  // the row or button it is for: rows are made and dropped as the list changes and scrolls, and
  // a menu left hanging from a dropped row would outlive it.
  Gtk::Widget* holder = window_.get_child();
  graphene_rect_t bounds;
  if (!holder || !gtk_widget_compute_bounds(anchor.gobj(), holder->gobj(), &bounds)) {
    return;
  }
  contextMenu_.set_menu_model(model);
  if (contextMenu_.get_parent() != holder) {
    if (contextMenu_.get_parent()) {
      contextMenu_.unparent();
    }
    contextMenu_.set_parent(*holder);
  }
  contextMenu_.set_has_arrow(!at);
  const int x = static_cast<int>(bounds.origin.x);
  const int y = static_cast<int>(bounds.origin.y);
  contextMenu_.set_pointing_to(at ? Gdk::Rectangle(x + at->get_x(), y + at->get_y(), 1, 1)
                                  : Gdk::Rectangle(x, y, static_cast<int>(bounds.size.width),
                                                   static_cast<int>(bounds.size.height)));
  contextMenu_.popup();
}

void PlaylistPanel::dropRows(std::size_t from, std::size_t destination) {
  if (from >= rows_.size()) {
    return;
  }
  std::vector<std::size_t> offsets;
  if (selection_->is_selected(static_cast<guint>(from))) {
    for (std::size_t position = 0; position < rows_.size(); ++position) {
      if (model_->selection().contains(rows_[position].node.id)) {
        offsets.push_back(position);
      }
    }
  } else {
    offsets.push_back(from);
  }
  model_->moveRows(offsets, destination);
}

// MARK: - Open and save panels

void PlaylistPanel::runChooser(
    const Glib::RefPtr<Gtk::FileChooserNative>& chooser,
    std::function<void(const Glib::RefPtr<Gtk::FileChooserNative>&)> accepted) {
  chooser_ = chooser;
  chooser->set_modal(true);
  chooser->signal_response().connect([this, chooser, accepted](int response) {
    if (response == Gtk::ResponseType::ACCEPT) {
      accepted(chooser);
    }
    chooser->hide();
    if (chooser_ == chooser) {
      // Released on a later turn: the response handler is still running on it.
      later_.post([this, chooser] {
        if (chooser_ == chooser) {
          chooser_.reset();
        }
      });
    }
  });
  window_.present();
  chooser->show();
}

void PlaylistPanel::chooseFiles(bool folders) {
  auto chooser = Gtk::FileChooserNative::create(
      folders ? "Choose folders to add as playlist folders."
              : "Choose videos, or folders to add as playlist folders.",
      window_, folders ? Gtk::FileChooser::Action::SELECT_FOLDER : Gtk::FileChooser::Action::OPEN,
      "Add to Playlist", "Cancel");
  chooser->set_select_multiple(true);
  if (!folders) {
    auto videos = Gtk::FileFilter::create();
    videos->set_name("MP4, WebM and MKV videos");
    for (std::string_view extension : PlaylistLibrary::mediaExtensions) {
      videos->add_suffix(std::string(extension));
    }
    chooser->add_filter(videos);
  }
  runChooser(chooser, [this](const Glib::RefPtr<Gtk::FileChooserNative>& done) {
    std::vector<Url> chosen;
    auto files = done->get_files();
    for (guint index = 0; index < files->get_n_items(); ++index) {
      auto file = std::dynamic_pointer_cast<Gio::File>(files->get_object(index));
      if (!file) {
        continue;
      }
      if (auto url = Url::parse(file->get_uri()); url && url->isFileURL()) {
        chosen.push_back(*url);
      }
    }
    addChosenFiles(std::move(chosen));
  });
}

// A folder of thousands of files takes a while to read: it is read on a thread of its own while
// the add bar says so, and what it found joins the playlist on the main loop, unless the panel
// has gone by then.
void PlaylistPanel::addChosenFiles(std::vector<Url> chosen) {
  setAdding(true);
  std::weak_ptr<bool> alive = alive_;
  PlaylistPanel* panel = this;
  runOffMainLoop([alive, panel, chosen = std::move(chosen)] {
    return std::function<void()>(
        [alive, panel, found = PlaylistView::nodesForFiles(chosen)]() mutable {
          if (alive.lock()) {
            panel->setAdding(false);
            panel->model_->addFiles(std::move(found));
          }
        });
  });
}

void PlaylistPanel::setAdding(bool adding, const std::string& what) {
  addFiles_.set_sensitive(!adding);
  addFolder_.set_sensitive(!adding);
  importExport_.set_sensitive(!adding);
  adding_.set_visible(adding);
  adding_.set_spinning(adding);
  adding_.set_tooltip_text(what);
  setAccessibleLabel(adding_, what);
}

// A playlist file of a hundred thousand entries takes seconds to read: it is read on a thread of
// its own while the add bar shows how far it got and offers to stop, and the folder it makes
// joins the playlist on the main loop, unless the import was stopped or the panel has gone.
void PlaylistPanel::startImport(const std::string& path) {
  auto progress = std::make_shared<PlaylistLibrary::ImportProgress>();
  importing_ = progress;
  setAdding(true, "Importing " + Glib::filename_display_basename(path) + "…");
  addingText_.set_text("Importing…");
  addingText_.set_visible(true);
  stopAdding_.set_visible(true);
  importProgressTimer_ = Glib::signal_timeout().connect(
      [this, progress] {
        addingText_.set_text("Importing… " + std::to_string(progress->percent.load()) + " %");
        return true;
      },
      250);
  std::weak_ptr<bool> alive = alive_;
  PlaylistPanel* panel = this;
  runOffMainLoop([alive, panel, progress, path] {
    return std::function<void()>(
        [alive, panel, progress,
         imported = PlaylistLibrary::importM3U(path, StreamingProviderRegistry::shared(),
                                               progress.get())]() mutable {
          if (alive.lock() && panel->importing_ == progress) {
            panel->stopImport();
            panel->model_->addImported(std::move(imported));
          }
        });
  });
}

void PlaylistPanel::stopImport() {
  if (importing_) {
    importing_->cancelled = true;
    importing_.reset();
  }
  importProgressTimer_.disconnect();
  addingText_.set_visible(false);
  stopAdding_.set_visible(false);
  setAdding(false);
}

void PlaylistPanel::chooseImport() {
  auto chooser = Gtk::FileChooserNative::create("Import M3U Playlist", window_,
                                                Gtk::FileChooser::Action::OPEN, "Import", "Cancel");
  auto playlists = Gtk::FileFilter::create();
  playlists->set_name("M3U playlists");
  playlists->add_suffix("m3u");
  playlists->add_suffix("m3u8");
  chooser->add_filter(playlists);
  runChooser(chooser, [this](const Glib::RefPtr<Gtk::FileChooserNative>& done) {
    if (auto file = done->get_file()) {
      startImport(file->get_path());
    }
  });
}

void PlaylistPanel::chooseExport() {
  auto chooser = Gtk::FileChooserNative::create(model_->exportMenuTitle(), window_,
                                                Gtk::FileChooser::Action::SAVE, "Export", "Cancel");
  chooser->set_current_name(model_->exportFileName());
  auto playlists = Gtk::FileFilter::create();
  playlists->set_name("M3U playlists");
  playlists->add_suffix("m3u");
  chooser->add_filter(playlists);
  runChooser(chooser, [this](const Glib::RefPtr<Gtk::FileChooserNative>& done) {
    if (auto file = done->get_file()) {
      model_->exportM3U(file->get_path());
    }
  });
}

// MARK: - Artwork

void PlaylistPanel::metadataChanged(const std::string& url) {
  model_->metadataChanged(url);
  for (ContentRow* row : boundRows_) {
    if (row->url() == url && row->position() && *row->position() < rows_.size()) {
      row->bind(rows_[*row->position()], *row->position());
    }
  }
  // Durations come in one by one; the total is summed again once they pause.
  if (!summaryUpdate_.connected()) {
    summaryUpdate_ = Glib::signal_timeout().connect(
        [this] {
          setText(summary_, model_->headerSummary());
          return false;
        },
        250);
  }
}

}  // namespace orvel
