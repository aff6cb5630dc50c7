// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <giomm/listmodel.h>
#include <glibmm/object.h>

namespace orvel {

// A list model whose entries stand for positions 0..count-1 and carry nothing themselves: a list
// view over it shows whatever the owner keeps at each position. Changing the count costs the
// same for 10 entries as for 10,000, and the entries before the change keep their widgets.
// The interface comes first among the bases so that it is part of the type when the object is made.
class PositionList final : public Gio::ListModel, public Glib::Object {
 public:
  static Glib::RefPtr<PositionList> create();

  guint count() const { return count_; }
  // Adds or removes entries at the end.
  void setCount(guint count);

 protected:
  PositionList();

  GType get_item_type_vfunc() override;
  guint get_n_items_vfunc() override;
  gpointer get_item_vfunc(guint position) override;

 private:
  guint count_ = 0;
};

}  // namespace orvel
