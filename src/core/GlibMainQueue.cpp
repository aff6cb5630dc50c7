// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/GlibMainQueue.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace orvel {
namespace {

gboolean runOnce(gpointer data) {
  (*static_cast<MainQueue::Task*>(data))();
  return G_SOURCE_REMOVE;
}

void deleteTask(gpointer data) {
  delete static_cast<MainQueue::Task*>(data);
}

GSource* attach(GSource* source, MainQueue::Task task) {
  g_source_set_callback(source, runOnce, new MainQueue::Task(std::move(task)), deleteTask);
  g_source_attach(source, g_main_context_default());
  return source;
}

}  // namespace

void GlibMainQueue::post(Task task) {
  GSource* source = attach(g_idle_source_new(), std::move(task));
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_unref(source);
}

TaskHandle GlibMainQueue::postDelayed(double seconds, Task task) {
  double milliseconds = std::isfinite(seconds) ? std::clamp(seconds * 1000.0, 0.0, 4.0e9) : 0.0;
  GSource* source =
      attach(g_timeout_source_new(static_cast<guint>(std::lround(milliseconds))), std::move(task));
  std::shared_ptr<GSource> owned(source, g_source_unref);
  return TaskHandle([owned] { g_source_destroy(owned.get()); });
}

double GlibMainQueue::now() const {
  return static_cast<double>(g_get_monotonic_time()) / 1.0e6;
}

}  // namespace orvel
