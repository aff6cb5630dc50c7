// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>
#include <gtkmm.h>
#include <gtkmm/init.h>

#include <tuple>
#include <vector>

#include "platform/gtk/playlist/PositionList.h"

namespace orvel {
namespace {

// The content list follows a search by changing only the count: the entries before the change,
// and the selection among them, stay as they were.
TEST(PositionList, ACountChangeReportsOnlyTheEndAndKeepsTheSelectionBeforeIt) {
  Gtk::init_gtkmm_internals();
  auto positions = PositionList::create();
  std::vector<std::tuple<guint, guint, guint>> changes;
  positions->signal_items_changed().connect(
      [&](guint at, guint removed, guint added) { changes.emplace_back(at, removed, added); });
  auto selection = Gtk::MultiSelection::create(positions);

  positions->setCount(9800);
  positions->setCount(9800);
  selection->select_item(3, false);
  selection->select_item(500, false);
  positions->setCount(11);
  positions->setCount(111);
  EXPECT_EQ(changes, (std::vector<std::tuple<guint, guint, guint>>{
                         {0, 0, 9800}, {11, 9789, 0}, {11, 0, 100}}));
  EXPECT_EQ(selection->get_n_items(), 111u);
  EXPECT_TRUE(selection->is_selected(3));
  EXPECT_FALSE(selection->is_selected(100));

  // An entry stands for its position and nothing else; past the end there is none.
  GListModel* model = G_LIST_MODEL(positions->gobj());
  gpointer entry = g_list_model_get_item(model, 110);
  EXPECT_TRUE(G_IS_OBJECT(entry));
  g_clear_object(&entry);
  EXPECT_EQ(g_list_model_get_item(model, 111), nullptr);
}

}  // namespace
}  // namespace orvel
