// SPDX-License-Identifier: GPL-3.0-or-later

// A small window that offers one file for dragging, as a file manager does: the end-to-end tests
// drag from it onto the player with synthetic pointer input.
// usage: drag_source FILE

#include <gtkmm.h>

#include <string>

int main(int argc, char** argv) {
  if (argc < 2) {
    return 2;
  }
  const std::string path = argv[1];
  auto application =
      Gtk::Application::create("com.example.OrvelDragSource", Gio::Application::Flags::NON_UNIQUE);
  application->signal_activate().connect([&] {
    auto* window = new Gtk::Window();
    window->set_title("Orvel drag source");
    window->set_default_size(160, 60);
    auto* label = Gtk::make_managed<Gtk::Label>("Drag me");
    auto source = Gtk::DragSource::create();
    source->set_actions(Gdk::DragAction::COPY);
    source->signal_prepare().connect(
        [path](double, double) {
          GFile* file = g_file_new_for_path(path.c_str());
          GdkFileList* files = gdk_file_list_new_from_array(&file, 1);
          GdkContentProvider* provider = gdk_content_provider_new_typed(GDK_TYPE_FILE_LIST, files);
          g_boxed_free(GDK_TYPE_FILE_LIST, files);
          g_object_unref(file);
          return Glib::wrap(provider);
        },
        false);
    label->add_controller(source);
    window->set_child(*label);
    application->add_window(*window);
    window->signal_hide().connect([window] { delete window; });
    window->present();
  });
  return application->run(1, argv);
}
