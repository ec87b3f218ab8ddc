// X11TextEntry: editing, input method, painting of the field.
#include "gfx/platform/x11/X11TextEntry.h"

#include <algorithm>
#include <cmath>

#include "gfx/IGfx.h"
#include "gfx/platform/x11/X11PopupWindow.h"

// Xlib defines macros (None, Bool, Status) that would clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace plug::gfx {

namespace {
bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
}  // namespace

X11TextEntry::X11TextEntry(_XDisplay* display, unsigned long editorWindow, IGfxEditorDelegate& dlg,
                           const IText& style, const IRECT& bounds, float scale,
                           const std::string& text)
    : mDisplay(display),
      mStyle(style),
      mBounds(bounds),
      mText(text),
      mCaret(text.size()),
      mAnchor(0) {
  const IRECT local(0.f, 0.f, bounds.W(), bounds.H());
  mWindow = std::make_unique<X11PopupWindow>(
      display, editorWindow, false, dlg, int(bounds.L * scale), int(bounds.T * scale),
      int(bounds.W()), int(bounds.H()), scale, [this, local](IGfx& g) {
        g.FillRect(mStyle.mTextEntryBGColor, local);
        IText t = mStyle;
        t.mFGColor = mStyle.mTextEntryFGColor;
        const IRECT box = local.GetPadded(-2.f);
        const IRECT all = g.MeasureText(t, mText.c_str(), box);
        auto xAt = [&](std::size_t pos) {
          const std::string prefix = mText.substr(0, pos);
          IText near = t;
          near.mAlign = EAlign::Near;
          return all.L + g.MeasureText(near, prefix.c_str(), box).W();
        };
        const float top = all.Degenerate() ? box.MH() - t.mSize * 0.6f : all.T;
        const float bottom = all.Degenerate() ? box.MH() + t.mSize * 0.6f : all.B;
        if (mAnchor != mCaret) {
          const float a = xAt(std::min(mAnchor, mCaret)), b = xAt(std::max(mAnchor, mCaret));
          g.FillRect(IColor(110, 70, 120, 220), IRECT(a, top, b, bottom));
        }
        g.DrawText(t, mText.c_str(), box);
        const float cx = mText.empty() ? box.MW() : xAt(mCaret);
        g.DrawLine(t.mFGColor, cx, top, cx, bottom, nullptr, 1.5f);
      });
  ::Window child = 0;
  XTranslateCoordinates(display, mWindow->Id(), DefaultRootWindow(display), 0, 0, &mRootX, &mRootY,
                        &child);

  // UTF-8 typing through the input method; without one, Latin-1 keys still work.
  mIM = XOpenIM(display, nullptr, nullptr, nullptr);
  if (mIM)
    mIC = XCreateIC(mIM, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                    mWindow->Id(), XNFocusWindow, mWindow->Id(), nullptr);
  if (mIC) XSetICFocus(mIC);
  XGrabKeyboard(display, mWindow->Id(), True, GrabModeAsync, GrabModeAsync, CurrentTime);
  XGrabPointer(display, mWindow->Id(), True, ButtonPressMask | ButtonReleaseMask, GrabModeAsync,
               GrabModeAsync, None, None, CurrentTime);
  XFlush(display);
}

X11TextEntry::~X11TextEntry() {
  XUngrabKeyboard(mDisplay, CurrentTime);
  XUngrabPointer(mDisplay, CurrentTime);
  if (mIC) XDestroyIC(mIC);
  if (mIM) XCloseIM(mIM);
  mWindow.reset();
  XFlush(mDisplay);
}

unsigned long X11TextEntry::Window() const {
  return mWindow->Id();
}

std::size_t X11TextEntry::PrevChar(std::size_t pos) const {
  if (pos == 0) return 0;
  --pos;
  while (pos > 0 && IsContinuation(mText[pos])) --pos;
  return pos;
}

std::size_t X11TextEntry::NextChar(std::size_t pos) const {
  if (pos >= mText.size()) return mText.size();
  ++pos;
  while (pos < mText.size() && IsContinuation(mText[pos])) ++pos;
  return pos;
}

bool X11TextEntry::EraseSelection() {
  if (mAnchor == mCaret) return false;
  const std::size_t a = std::min(mAnchor, mCaret), b = std::max(mAnchor, mCaret);
  mText.erase(a, b - a);
  mCaret = mAnchor = a;
  return true;
}

void X11TextEntry::Insert(const std::string& utf8) {
  EraseSelection();
  mText.insert(mCaret, utf8);
  mCaret += utf8.size();
  mAnchor = mCaret;
}

void X11TextEntry::OnKey(_XEvent& event) {
  char buf[64] = {};
  KeySym keysym = NoSymbol;
  int n = 0;
  if (mIC) {
    Status status = 0;
    n = Xutf8LookupString(mIC, &event.xkey, buf, sizeof(buf) - 1, &keysym, &status);
    if (status == XBufferOverflow) n = 0;
  } else {
    n = XLookupString(&event.xkey, buf, sizeof(buf) - 1, &keysym, nullptr);
    // Latin-1 bytes to UTF-8.
    std::string utf8;
    for (int i = 0; i < n; ++i) {
      const unsigned char c = static_cast<unsigned char>(buf[i]);
      if (c < 0x80) {
        utf8 += char(c);
      } else {
        utf8 += char(0xC0 | (c >> 6));
        utf8 += char(0x80 | (c & 0x3F));
      }
    }
    n = int(std::min(utf8.size(), sizeof(buf) - 1));
    std::copy_n(utf8.data(), n, buf);
  }
  const bool shift = (event.xkey.state & ShiftMask) != 0;
  auto move = [&](std::size_t to) {
    mCaret = to;
    if (!shift) mAnchor = mCaret;
  };
  switch (keysym) {
    case XK_Return:
    case XK_KP_Enter:
      mConfirmed = mDone = true;
      return;
    case XK_Escape:
      mDone = true;
      return;
    case XK_BackSpace:
      if (!EraseSelection() && mCaret > 0) {
        const std::size_t p = PrevChar(mCaret);
        mText.erase(p, mCaret - p);
        mCaret = mAnchor = p;
      }
      break;
    case XK_Delete:
    case XK_KP_Delete:
      if (!EraseSelection() && mCaret < mText.size())
        mText.erase(mCaret, NextChar(mCaret) - mCaret);
      break;
    case XK_Left:
    case XK_KP_Left:
      move(shift || mAnchor == mCaret ? PrevChar(mCaret) : std::min(mAnchor, mCaret));
      break;
    case XK_Right:
    case XK_KP_Right:
      move(shift || mAnchor == mCaret ? NextChar(mCaret) : std::max(mAnchor, mCaret));
      break;
    case XK_Home:
    case XK_KP_Home:
      move(0);
      break;
    case XK_End:
    case XK_KP_End:
      move(mText.size());
      break;
    default:
      if ((event.xkey.state & ControlMask) && (keysym == XK_a || keysym == XK_A)) {
        mAnchor = 0;
        mCaret = mText.size();
      } else if (n > 0 && static_cast<unsigned char>(buf[0]) >= 0x20 && buf[0] != 0x7F) {
        Insert(std::string(buf, std::size_t(n)));
      } else {
        return;
      }
      break;
  }
  Paint();
}

void X11TextEntry::OnPress(int rootX, int rootY) {
  if (rootX < mRootX || rootX >= mRootX + mWindow->PixelWidth() || rootY < mRootY ||
      rootY >= mRootY + mWindow->PixelHeight()) {
    mDone = true;
    return;
  }
  // The caret goes to the character boundary nearest the press.
  IGfx& g = mWindow->Gfx();
  IText t = mStyle;
  const IRECT box = IRECT(0.f, 0.f, mBounds.W(), mBounds.H()).GetPadded(-2.f);
  const IRECT all = g.MeasureText(t, mText.c_str(), box);
  const float x = float(rootX - mRootX) / mWindow->Scale();
  IText near = t;
  near.mAlign = EAlign::Near;
  std::size_t best = 0;
  float bestDist = 1e30f;
  for (std::size_t pos = 0;; pos = NextChar(pos)) {
    const float px = all.L + g.MeasureText(near, mText.substr(0, pos).c_str(), box).W();
    if (std::abs(px - x) < bestDist) {
      bestDist = std::abs(px - x);
      best = pos;
    }
    if (pos >= mText.size()) break;
  }
  mCaret = mAnchor = best;
  Paint();
}

void X11TextEntry::OnExpose() {
  mWindow->Show();
}

void X11TextEntry::Paint() {
  mWindow->Redraw();
}

}  // namespace plug::gfx
