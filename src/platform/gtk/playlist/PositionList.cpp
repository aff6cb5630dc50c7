// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/playlist/PositionList.h"

namespace orvel {

Glib::RefPtr<PositionList> PositionList::create() {
  return Glib::make_refptr_for_instance<PositionList>(new PositionList());
}

PositionList::PositionList()
    : Glib::ObjectBase(typeid(PositionList)), Gio::ListModel(), Glib::Object() {}

void PositionList::setCount(guint count) {
  if (count == count_) {
    return;
  }
  const guint before = count_;
  count_ = count;
  if (count < before) {
    items_changed(count, before - count, 0);
  } else {
    items_changed(before, 0, count - before);
  }
}

GType PositionList::get_item_type_vfunc() {
  return G_TYPE_OBJECT;
}

guint PositionList::get_n_items_vfunc() {
  return count_;
}

gpointer PositionList::get_item_vfunc(guint position) {
  // A fresh entry each time: the list asks once for each row it makes.
  return position < count_ ? g_object_new(G_TYPE_OBJECT, nullptr) : nullptr;
}

}  // namespace orvel
