// IPopupMenu: a menu of items (text, flags, tag, optional submenu) with a chosen index.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plug::gfx {

class IPopupMenu {
 public:
  /** One entry. A submenu given with ownership is deleted with the item; a
   *  borrowed one (a menu that another object keeps and rebuilds) is not. */
  class Item {
   public:
    enum Flags {
      kNoFlags = 0,
      kDisabled = 1 << 0,
      kTitle = 1 << 1,
      kChecked = 1 << 2,
      kSeparator = 1 << 3
    };

    Item(const char* text, int flags = kNoFlags, int tag = -1)
        : mText(text ? text : ""), mFlags(flags), mTag(tag) {}
    Item(const char* text, IPopupMenu* submenu, bool ownsSubmenu = true, int tag = -1)
        : mText(text ? text : ""), mTag(tag), mSubmenu(submenu), mOwnsSubmenu(ownsSubmenu) {}
    ~Item() {
      if (mOwnsSubmenu) delete mSubmenu;
    }
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    const char* GetText() const { return mText.c_str(); }
    void SetText(const char* text) { mText = text ? text : ""; }
    int GetFlags() const { return mFlags; }
    int GetTag() const { return mTag; }
    void SetTag(int tag) { mTag = tag; }
    IPopupMenu* GetSubmenu() const { return mSubmenu; }
    bool GetChecked() const { return (mFlags & kChecked) != 0; }
    bool GetEnabled() const { return (mFlags & kDisabled) == 0; }
    bool GetIsSeparator() const { return (mFlags & kSeparator) != 0; }
    bool GetIsTitle() const { return (mFlags & kTitle) != 0; }
    void SetChecked(bool on) { mFlags = on ? (mFlags | kChecked) : (mFlags & ~kChecked); }
    void SetEnabled(bool on) { mFlags = on ? (mFlags & ~kDisabled) : (mFlags | kDisabled); }

   private:
    std::string mText;
    int mFlags = kNoFlags;
    int mTag = -1;
    IPopupMenu* mSubmenu = nullptr;
    bool mOwnsSubmenu = false;
  };

  using CompletionFn = std::function<void(IPopupMenu*)>;

  explicit IPopupMenu(const char* rootTitle = "", int prefix = 0, bool multicheck = false)
      : mPrefix(prefix), mCanMultiCheck(multicheck), mRootTitle(rootTitle ? rootTitle : "") {}

  /** Appends (index -1 or past the end) or inserts at index; takes the item. */
  Item* AddItem(Item* item, int index = -1);
  Item* AddItem(const char* text, int index = -1, int flags = Item::kNoFlags);
  Item* AddItem(const char* text, IPopupMenu* submenu, int index = -1, bool ownsSubmenu = true);
  Item* AddSeparator(int index = -1);
  void RemoveItem(int index);
  /** Removes every item; with resetEverything also the chosen index, prefix and multi-check. */
  void Clear(bool resetEverything = true);

  int NItems() const { return static_cast<int>(mItems.size()); }
  /** Null for an index out of range. */
  Item* GetItem(int index) const;
  const char* GetItemText(int index) const;

  int GetChosenItemIdx() const { return mChosenItemIdx; }
  void SetChosenItemIdx(int index) { mChosenItemIdx = index; }
  Item* GetChosenItem() const { return GetItem(mChosenItemIdx); }

  /** Checks the item at index and unchecks all the others. */
  void CheckItemAlone(int index);
  void CheckItem(int index, bool checked);
  bool IsItemChecked(int index) const;

  int GetPrefix() const { return mPrefix; }
  void SetPrefix(int prefix) { mPrefix = prefix; }
  bool GetCanMultiCheck() const { return mCanMultiCheck; }
  void SetMultiCheck(bool on) { mCanMultiCheck = on; }
  const char* GetRootTitle() const { return mRootTitle.c_str(); }
  void SetRootTitle(const char* title) { mRootTitle = title ? title : ""; }

  void SetFunction(CompletionFn fn) { mFunction = std::move(fn); }
  const CompletionFn& GetFunction() const { return mFunction; }
  /** Runs the completion function, if any, with this menu. */
  void ExecFunction() {
    if (mFunction) mFunction(this);
  }

 private:
  int mPrefix = 0;
  int mChosenItemIdx = -1;
  bool mCanMultiCheck = false;
  std::vector<std::unique_ptr<Item>> mItems;
  CompletionFn mFunction;
  std::string mRootTitle;
};

}  // namespace plug::gfx
