// MacView: the NSView subclass behind the editor on macOS. AppKit only: what the events mean is
// decided in MacInput, MacMenuModel and MacViewGeometry.
#import <AppKit/AppKit.h>

#include "gfx/platform/mac/MacView.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "gfx/IGfxEditorDelegate.h"
#include "gfx/platform/mac/IGfxCoreGraphics.h"
#include "gfx/platform/mac/MacInput.h"
#include "gfx/platform/mac/MacMenuModel.h"
#include "gfx/platform/mac/MacViewGeometry.h"

using plug::gfx::EAlign;
using plug::gfx::EMacButton;
using plug::gfx::IColor;
using plug::gfx::IGfxCoreGraphics;
using plug::gfx::IPopupMenu;
using plug::gfx::IRECT;
using plug::gfx::MacInput;
using plug::gfx::MacMenuModel;
using plug::gfx::MacModifierFlags;
using plug::gfx::MacViewGeometry;

// MacInput mirrors these so that it is tested without AppKit.
static_assert(MacModifierFlags::kShift == NSEventModifierFlagShift);
static_assert(MacModifierFlags::kControl == NSEventModifierFlagControl);
static_assert(MacModifierFlags::kOption == NSEventModifierFlagOption);
static_assert(MacModifierFlags::kCommand == NSEventModifierFlagCommand);

namespace {

NSString* ToNSString(const char* utf8) {
  NSString* s = utf8 ? [NSString stringWithUTF8String:utf8] : nil;
  return s ? s : @"";  // malformed UTF-8 gives nil, which AppKit would not take
}

NSRect ToNSRect(const IRECT& r) {
  return NSMakeRect(r.L, r.T, r.W(), r.H());
}

NSColor* ToNSColor(const IColor& c) {
  return [NSColor colorWithSRGBRed:std::clamp(c.R, 0, 255) / 255.0
                             green:std::clamp(c.G, 0, 255) / 255.0
                              blue:std::clamp(c.B, 0, 255) / 255.0
                             alpha:std::clamp(c.A, 0, 255) / 255.0];
}

}  // namespace

@interface PLUG_GFX_VIEW_CLASS : NSView <NSTextFieldDelegate, NSViewToolTipOwner>
- (instancetype)initWithGraphics:(IGfxCoreGraphics*)graphics;
- (void)detach;
@end

@implementation PLUG_GFX_VIEW_CLASS {
  IGfxCoreGraphics* mGraphics;  // null once cut loose
  std::unique_ptr<MacInput> mInput;
  NSTimer* mTimer;
  NSTrackingArea* mTracking;
  NSTextField* mTextField;
  NSInteger mChosen;     // the choice number of the menu item picked, -1 for none
  BOOL mMenuOpen;        // the frame timer runs during the menu's own event loop
  BOOL mHadSuperview;    // the host placed the view; taking it out closes the editor
  int mTooltipControls;  // what the tooltip rectangles were made for
  float mTooltipScale;
}

- (instancetype)initWithGraphics:(IGfxCoreGraphics*)graphics {
  self = [super initWithFrame:NSMakeRect(0, 0, graphics->WindowWidth(), graphics->WindowHeight())];
  if (self) {
    mGraphics = graphics;
    mInput = std::make_unique<MacInput>(*graphics);
    mChosen = -1;
    mTooltipControls = -1;
    __weak PLUG_GFX_VIEW_CLASS* weakSelf = self;
    mTimer = [NSTimer timerWithTimeInterval:1.0 / std::max(1, graphics->FPS())
                                    repeats:YES
                                      block:^(NSTimer*) {
                                        [weakSelf onFrame];
                                      }];
    // Common modes: the editor keeps drawing while the host tracks a menu or a slider.
    [[NSRunLoop mainRunLoop] addTimer:mTimer forMode:NSRunLoopCommonModes];
  }
  return self;
}

- (void)dealloc {
  [mTimer invalidate];
  [[NSNotificationCenter defaultCenter] removeObserver:self];
}

- (void)detach {
  [[NSNotificationCenter defaultCenter] removeObserver:self];
  [mTimer invalidate];
  mTimer = nil;
  [self endTextEntry:NO];
  [self removeAllToolTips];
  mInput.reset();
  mGraphics = nullptr;
}

- (BOOL)isFlipped {
  return YES;
}

- (BOOL)acceptsFirstResponder {
  return YES;
}

// A click on a plug-in window that is not in front acts at once.
- (BOOL)acceptsFirstMouse:(NSEvent*)event {
  (void)event;
  return YES;
}

// ---------------------------------------------------------------- frames

- (void)onFrame {
  if (!mGraphics || mMenuOpen) return;
  [self showPending];
  if (!mGraphics) return;
  mGraphics->OnGUIIdle();
  std::vector<IRECT> rects;
  if (mGraphics->IsDirty(rects)) {
    mGraphics->Draw(rects);
    const IRECT area =
        MacViewGeometry::InvalidArea(rects, mGraphics->GetDrawScale(), mGraphics->GetScreenScale());
    [self setNeedsDisplayInRect:ToNSRect(area)];
  }
  if (mTooltipControls != mGraphics->NControls() || mTooltipScale != mGraphics->GetDrawScale())
    [self updateTooltips];
}

- (void)drawRect:(NSRect)dirtyRect {
  if (!mGraphics) return;
  CGImageRef image = mGraphics->CopyBackingImage();
  if (!image) return;
  CGContextRef cg = [[NSGraphicsContext currentContext] CGContext];
  const NSRect bounds = self.bounds;
  CGContextSaveGState(cg);
  CGContextClipToRect(cg, NSRectToCGRect(dirtyRect));
  // The bitmap's first row is the editor's top; this view is flipped, so it goes in upright.
  CGContextTranslateCTM(cg, 0, bounds.size.height);
  CGContextScaleCTM(cg, 1, -1);
  CGContextDrawImage(cg, CGRectMake(0, 0, bounds.size.width, bounds.size.height), image);
  CGContextRestoreGState(cg);
  CGImageRelease(image);
}

- (void)viewWillMoveToWindow:(NSWindow*)window {
  [super viewWillMoveToWindow:window];
  NSNotificationCenter* center = [NSNotificationCenter defaultCenter];
  if (self.window)
    [center removeObserver:self name:NSWindowWillCloseNotification object:self.window];
  if (window) {
    [center addObserver:self
               selector:@selector(windowWillClose:)
                   name:NSWindowWillCloseNotification
                 object:window];
  }
}

- (void)viewDidMoveToWindow {
  [super viewDidMoveToWindow];
  [self followBackingScale];
}

// Some hosts close the editor's window without taking the view out of it first.
- (void)windowWillClose:(NSNotification*)notification {
  (void)notification;
  [self closeEditor];
}

- (void)viewDidChangeBackingProperties {
  [super viewDidChangeBackingProperties];
  [self followBackingScale];
}

- (void)followBackingScale {
  if (!mGraphics || !self.window) return;
  mGraphics->ScreenScaleChanged(static_cast<float>(self.window.backingScaleFactor));
  [self setNeedsDisplay:YES];
}

- (void)viewDidMoveToSuperview {
  [super viewDidMoveToSuperview];
  if (self.superview) {
    mHadSuperview = YES;
    return;
  }
  if (mHadSuperview) [self closeEditor];
}

- (void)closeEditor {
  if (!mGraphics) return;
  mHadSuperview = NO;
  [[NSNotificationCenter defaultCenter] removeObserver:self];
  // Closing destroys the context and cuts this view loose; the strong reference keeps the view
  // alive until the caller returns.
  PLUG_GFX_VIEW_CLASS* keep = self;
  mGraphics->GetDelegate().CloseWindow();
  (void)keep;
}

// ---------------------------------------------------------------- mouse

- (NSPoint)pointOf:(NSEvent*)event {
  return [self convertPoint:event.locationInWindow fromView:nil];
}

- (void)press:(NSEvent*)event button:(EMacButton)button {
  if (!mInput) return;
  [self endTextEntry:YES];  // a click elsewhere confirms what was typed
  if (!mInput) return;
  const NSPoint p = [self pointOf:event];
  mInput->MouseDown(float(p.x), float(p.y), button, event.clickCount, event.modifierFlags);
  [self showPending];
}

- (void)drag:(NSEvent*)event button:(EMacButton)button {
  if (!mInput) return;
  const NSPoint p = [self pointOf:event];
  mInput->MouseDragged(float(p.x), float(p.y), float(event.deltaX), float(event.deltaY), button,
                       event.modifierFlags);
}

- (void)release:(NSEvent*)event button:(EMacButton)button {
  if (!mInput) return;
  const NSPoint p = [self pointOf:event];
  mInput->MouseUp(float(p.x), float(p.y), button, event.modifierFlags);
  [self showPending];
}

- (void)mouseDown:(NSEvent*)event {
  [self press:event button:EMacButton::Left];
}
- (void)rightMouseDown:(NSEvent*)event {
  [self press:event button:EMacButton::Right];
}
- (void)mouseDragged:(NSEvent*)event {
  [self drag:event button:EMacButton::Left];
}
- (void)rightMouseDragged:(NSEvent*)event {
  [self drag:event button:EMacButton::Right];
}
- (void)mouseUp:(NSEvent*)event {
  [self release:event button:EMacButton::Left];
}
- (void)rightMouseUp:(NSEvent*)event {
  [self release:event button:EMacButton::Right];
}

- (void)mouseMoved:(NSEvent*)event {
  if (!mInput) return;
  const NSPoint p = [self pointOf:event];
  mInput->MouseMoved(float(p.x), float(p.y), event.modifierFlags);
}

- (void)mouseExited:(NSEvent*)event {
  (void)event;
  if (mInput) mInput->MouseExited();
}

- (void)scrollWheel:(NSEvent*)event {
  if (!mInput) return;
  const NSPoint p = [self pointOf:event];
  mInput->ScrollWheel(float(p.x), float(p.y), event.scrollingDeltaY,
                      event.hasPreciseScrollingDeltas, event.isDirectionInvertedFromDevice,
                      event.modifierFlags);
}

- (void)updateTrackingAreas {
  [super updateTrackingAreas];
  if (mTracking) [self removeTrackingArea:mTracking];
  mTracking =
      [[NSTrackingArea alloc] initWithRect:NSZeroRect
                                   options:NSTrackingMouseMoved | NSTrackingMouseEnteredAndExited |
                                           NSTrackingActiveAlways | NSTrackingInVisibleRect
                                     owner:self
                                  userInfo:nil];
  [self addTrackingArea:mTracking];
}

// ---------------------------------------------------------------- tooltips

- (void)updateTooltips {
  [self removeAllToolTips];
  if (!mGraphics) return;
  mTooltipControls = mGraphics->NControls();
  mTooltipScale = mGraphics->GetDrawScale();
  for (const MacViewGeometry::TooltipRect& t : MacViewGeometry::TooltipRects(*mGraphics)) {
    [self addToolTipRect:ToNSRect(t.points)
                   owner:self
                userData:reinterpret_cast<void*>(static_cast<intptr_t>(t.controlIndex))];
  }
}

// The mouse-over control's tooltip: where controls overlap, the one that takes the mouse.
- (NSString*)view:(NSView*)view
    stringForToolTip:(NSToolTipTag)tag
               point:(NSPoint)point
            userData:(void*)data {
  (void)view;
  (void)tag;
  (void)point;
  (void)data;
  return mGraphics ? ToNSString(mGraphics->GetTooltipForCurrentMouseOver()) : @"";
}

// ---------------------------------------------------------------- menus and text entry

- (void)showPending {
  if (!mGraphics || mMenuOpen) return;
  if (IPopupMenu* menu = mGraphics->GetPendingMenu()) [self showMenu:*menu];
  if (mGraphics && mGraphics->IsTextEntryPending() && !mTextField) [self showTextEntry];
}

- (void)showMenu:(IPopupMenu&)root {
  const MacMenuModel model(root);
  std::vector<NSMenu*> menus;
  for (std::size_t i = 0; i < model.Levels().size(); ++i) {
    NSMenu* menu = [[NSMenu alloc] initWithTitle:@""];
    menu.autoenablesItems = NO;
    menus.push_back(menu);
  }
  for (std::size_t i = 0; i < model.Levels().size(); ++i) {
    for (const MacMenuModel::Entry& e : model.Levels()[i].entries) {
      if (e.separator) {
        [menus[i] addItem:[NSMenuItem separatorItem]];
        continue;
      }
      NSMenuItem* item =
          [[NSMenuItem alloc] initWithTitle:ToNSString(e.title.c_str())
                                     action:e.choice >= 0 ? @selector(menuItemChosen:) : nil
                              keyEquivalent:@""];
      item.target = self;
      item.tag = e.choice;
      item.enabled = e.enabled;
      item.state = e.checked ? NSControlStateValueOn : NSControlStateValueOff;
      if (e.submenuLevel >= 0) item.submenu = menus[static_cast<std::size_t>(e.submenuLevel)];
      [menus[i] addItem:item];
    }
  }
  const IRECT anchor =
      MacViewGeometry::ToPoints(mGraphics->GetPendingMenuAnchor(), mGraphics->GetDrawScale());
  mChosen = -1;
  mMenuOpen = YES;
  // Returns when the user has chosen or dismissed the menu.
  [menus[0] popUpMenuPositioningItem:nil atLocation:NSMakePoint(anchor.L, anchor.B) inView:self];
  mMenuOpen = NO;
  if (!mGraphics) return;
  const MacMenuModel::Choice choice = model.GetChoice(static_cast<int>(mChosen));
  mGraphics->CompletePopupMenu(choice.menu, choice.index);
}

- (void)menuItemChosen:(NSMenuItem*)item {
  mChosen = item.tag;
}

- (void)showTextEntry {
  const plug::gfx::IText& text = mGraphics->GetTextEntryText();
  const float scale = mGraphics->GetDrawScale();
  const IRECT r = MacViewGeometry::ToPoints(mGraphics->GetTextEntryBounds(), scale);
  NSTextField* field = [[NSTextField alloc] initWithFrame:ToNSRect(r)];
  field.stringValue = ToNSString(mGraphics->GetTextEntryString().c_str());
  field.font = [NSFont systemFontOfSize:text.mSize * scale];
  field.alignment = text.mAlign == EAlign::Near     ? NSTextAlignmentLeft
                    : text.mAlign == EAlign::Center ? NSTextAlignmentCenter
                                                    : NSTextAlignmentRight;
  field.textColor = ToNSColor(text.mTextEntryFGColor);
  field.backgroundColor = ToNSColor(text.mTextEntryBGColor);
  field.drawsBackground = YES;
  field.bezeled = NO;
  field.bordered = NO;
  field.focusRingType = NSFocusRingTypeNone;
  field.delegate = self;
  mTextField = field;
  [self addSubview:field];
  [self.window makeFirstResponder:field];
  [field selectText:nil];
}

- (BOOL)control:(NSControl*)control
               textView:(NSTextView*)textView
    doCommandBySelector:(SEL)selector {
  (void)control;
  (void)textView;
  if (selector == @selector(cancelOperation:)) {  // Escape
    [self endTextEntry:NO];
    return YES;
  }
  if (selector == @selector(insertNewline:)) {  // Return
    [self endTextEntry:YES];
    return YES;
  }
  return NO;
}

// The field lost the keyboard (Tab, a click elsewhere): what was typed stands.
- (void)controlTextDidEndEditing:(NSNotification*)notification {
  (void)notification;
  [self endTextEntry:YES];
}

- (void)endTextEntry:(BOOL)confirm {
  if (!mTextField) return;
  // Cleared first: taking the field away ends its editing, which calls back here.
  NSTextField* field = mTextField;
  mTextField = nil;
  const char* typed = field.stringValue.UTF8String;
  const std::string str = typed ? typed : "";
  field.delegate = nil;
  [field removeFromSuperview];
  if (self.window) [self.window makeFirstResponder:self];
  if (!mGraphics) return;
  if (confirm) {
    mGraphics->CompleteTextEntry(str.c_str());
  } else {
    mGraphics->CancelTextEntry();
  }
}

@end

namespace plug::gfx {

std::unique_ptr<MacView> MacView::Open(IGfxCoreGraphics& graphics, void* parent) {
  PLUG_GFX_VIEW_CLASS* view = [[PLUG_GFX_VIEW_CLASS alloc] initWithGraphics:&graphics];
  if (!view) return nullptr;
  std::unique_ptr<MacView> result(new MacView());
  result->mView = (__bridge_retained void*)view;
  if (parent) [(__bridge NSView*)parent addSubview:view];
  return result;
}

float MacView::MainScreenScale() {
  NSScreen* screen = [NSScreen mainScreen];
  return screen ? static_cast<float>(screen.backingScaleFactor) : 1.f;
}

MacView::~MacView() {
  HideCursor(false);
  PLUG_GFX_VIEW_CLASS* view = (__bridge_transfer PLUG_GFX_VIEW_CLASS*)mView;
  mView = nullptr;
  [view detach];
  [view removeFromSuperview];
}

void MacView::Resize(int w, int h) {
  // Hosts watch the view's frame and resize their window to it.
  [(__bridge NSView*)mView setFrameSize:NSMakeSize(w, h)];
}

void MacView::HideCursor(bool hide) {
  if (hide == mCursorHidden) return;
  mCursorHidden = hide;
  if (hide) {
    [NSCursor hide];
    CGAssociateMouseAndMouseCursorPosition(false);
  } else {
    CGAssociateMouseAndMouseCursorPosition(true);
    [NSCursor unhide];
  }
}

}  // namespace plug::gfx
