// IPopupMenu: item list management.
#include "gfx/IPopupMenu.h"

namespace plug::gfx {

IPopupMenu::Item* IPopupMenu::AddItem(Item* item, int index) {
  if (!item) return nullptr;
  std::unique_ptr<Item> owned(item);
  if (index < 0 || index >= NItems()) {
    mItems.push_back(std::move(owned));
  } else {
    mItems.insert(mItems.begin() + index, std::move(owned));
  }
  return item;
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* text, int index, int flags) {
  return AddItem(new Item(text, flags), index);
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* text, IPopupMenu* submenu, int index,
                                      bool ownsSubmenu) {
  return AddItem(new Item(text, submenu, ownsSubmenu), index);
}

IPopupMenu::Item* IPopupMenu::AddSeparator(int index) {
  return AddItem(new Item("", Item::kSeparator, -1), index);
}

void IPopupMenu::RemoveItem(int index) {
  if (index >= 0 && index < NItems()) mItems.erase(mItems.begin() + index);
}

void IPopupMenu::Clear(bool resetEverything) {
  mItems.clear();
  if (resetEverything) {
    mChosenItemIdx = -1;
    mPrefix = 0;
    mCanMultiCheck = false;
  }
}

IPopupMenu::Item* IPopupMenu::GetItem(int index) const {
  if (index < 0 || index >= NItems()) return nullptr;
  return mItems[static_cast<std::size_t>(index)].get();
}

const char* IPopupMenu::GetItemText(int index) const {
  const Item* item = GetItem(index);
  return item ? item->GetText() : "";
}

void IPopupMenu::CheckItemAlone(int index) {
  for (int i = 0; i < NItems(); ++i) mItems[static_cast<std::size_t>(i)]->SetChecked(i == index);
}

void IPopupMenu::CheckItem(int index, bool checked) {
  if (Item* item = GetItem(index)) item->SetChecked(checked);
}

bool IPopupMenu::IsItemChecked(int index) const {
  const Item* item = GetItem(index);
  return item && item->GetChecked();
}

}  // namespace plug::gfx
