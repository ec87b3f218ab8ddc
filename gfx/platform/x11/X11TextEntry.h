// X11TextEntry: an edit field of our own over a rectangle of the editor window.
#pragma once

#include <memory>
#include <string>

#include "gfx/IRECT.h"
#include "gfx/IText.h"

struct _XDisplay;
struct _XIM;
struct _XIC;
union _XEvent;

namespace plug::gfx {

class IGfxEditorDelegate;
class X11PopupWindow;

/** Holds the initial text selected; typing (UTF-8 through the input method)
 *  replaces the selection, Backspace and Delete remove, Left/Right/Home/End move
 *  the caret (with Shift they select), Enter confirms, Escape or a press outside
 *  the field cancels. The keyboard and pointer are grabbed while it is open. The
 *  owner reads the outcome once Done(). Threads: main. */
class X11TextEntry {
 public:
  /** bounds in logical pixels of the editor, drawn at its draw scale. */
  X11TextEntry(_XDisplay* display, unsigned long editorWindow, IGfxEditorDelegate& dlg,
               const IText& style, const IRECT& bounds, float scale, const std::string& text);
  ~X11TextEntry();
  X11TextEntry(const X11TextEntry&) = delete;
  X11TextEntry& operator=(const X11TextEntry&) = delete;

  void OnKey(_XEvent& keyPress);
  /** A press at a root position: inside, the caret moves there; outside, the entry is cancelled. */
  void OnPress(int rootX, int rootY);
  void OnExpose();
  unsigned long Window() const;

  bool Done() const { return mDone; }
  bool Confirmed() const { return mConfirmed; }
  const std::string& Text() const { return mText; }

 private:
  void Insert(const std::string& utf8);
  /** Removes the selection; false when there was none. */
  bool EraseSelection();
  std::size_t PrevChar(std::size_t pos) const;
  std::size_t NextChar(std::size_t pos) const;
  void Paint();

  _XDisplay* mDisplay;
  IText mStyle;
  IRECT mBounds;
  std::string mText;
  std::size_t mCaret;   // byte offset, always at a character boundary
  std::size_t mAnchor;  // other end of the selection (== mCaret: none)
  std::unique_ptr<X11PopupWindow> mWindow;
  _XIM* mIM = nullptr;
  _XIC* mIC = nullptr;
  int mRootX = 0, mRootY = 0;
  bool mDone = false;
  bool mConfirmed = false;
};

}  // namespace plug::gfx
