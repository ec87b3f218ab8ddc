// IPluginLV2UI: opening the editor in the host's window, gestures to ports, idle, resize.
#include "plug/lv2/IPluginLV2UI.h"

#include <CoreFoundation/CFRunLoop.h>

#include <cstdint>
#include <cstring>

#include "gfx/IGfx.h"
#include "lv2/instance-access/instance-access.h"
#include "plug/au/IPluginAU.h"
#include "plug/lv2/IPluginLV2.h"

namespace plug {
namespace {

const void* FindFeature(const LV2_Feature* const* features, const char* uri) {
  if (features == nullptr) return nullptr;
  for (const LV2_Feature* const* f = features; *f != nullptr; ++f) {
    if ((*f)->URI != nullptr && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
  }
  return nullptr;
}

IPluginLV2UI* Self(LV2UI_Handle handle) {
  return static_cast<IPluginLV2UI*>(handle);
}

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char*, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
  return IPluginLV2UI::Create(write, controller, features, widget).release();
}

void Cleanup(LV2UI_Handle handle) {
  delete Self(handle);
}

// Host changes reach the editor through the plug-in's own queue; the echoes are not needed.
void PortEvent(LV2UI_Handle, uint32_t, uint32_t, uint32_t, const void*) {}

int Idle(LV2UI_Handle handle) {
  return Self(handle)->Idle();
}

const void* ExtensionData(const char* uri) {
  static const LV2UI_Idle_Interface kIdle{Idle};
  if (uri != nullptr && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdle;
  return nullptr;
}

}  // namespace

LV2UI_Descriptor IPluginLV2UI::MakeDescriptor(const char* uri) {
  return LV2UI_Descriptor{uri, Instantiate, Cleanup, PortEvent, ExtensionData};
}

std::unique_ptr<IPluginLV2UI> IPluginLV2UI::Create(LV2UI_Write_Function write,
                                                   LV2UI_Controller controller,
                                                   const LV2_Feature* const* features,
                                                   LV2UI_Widget* widget) {
  auto* instance =
      static_cast<IPluginLV2*>(const_cast<void*>(FindFeature(features, LV2_INSTANCE_ACCESS_URI)));
  void* parent = const_cast<void*>(FindFeature(features, LV2_UI__parent));
  if (instance == nullptr || parent == nullptr || write == nullptr || widget == nullptr) {
    return nullptr;
  }
  IPluginAU& plug = instance->Plug();
  if (!plug.HasUI() || plug.GetUI() != nullptr) return nullptr;  // one editor per instance

  std::unique_ptr<IPluginLV2UI> self(new IPluginLV2UI(*instance, write, controller));
  self->mResize = static_cast<const LV2UI_Resize*>(FindFeature(features, LV2_UI__resize));
  self->mTouch = static_cast<const LV2UI_Touch*>(FindFeature(features, LV2_UI__touch));

  // The editor's gestures, heard as the plug-in's parameter events.
  if (AUEventListenerCreate(&OnEvent, self.get(), CFRunLoopGetMain(), kCFRunLoopDefaultMode, 0.0f,
                            0.0f, &self->mListener) != noErr) {
    return nullptr;
  }
  for (const AudioUnitEventType type :
       {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
        kAudioUnitEvent_EndParameterChangeGesture}) {
    AudioUnitEvent event{};
    event.mEventType = type;
    event.mArgument.mParameter.mAudioUnit = plug.GetComponentInstance();
    event.mArgument.mParameter.mParameterID = kAUParameterListener_AnyParameter;
    event.mArgument.mParameter.mScope = kAudioUnitScope_Global;
    event.mArgument.mParameter.mElement = 0;
    AUEventListenerAddEventType(self->mListener, nullptr, &event);
  }

  // The idle tick starts before the editor exists, so the editor starts from current values.
  instance->ClaimIdle();
  void* window = plug.OpenWindow(parent);
  if (window == nullptr || plug.GetUI() == nullptr) return nullptr;  // the destructor undoes it
  self->mWidth = plug.GetUI()->WindowWidth();
  self->mHeight = plug.GetUI()->WindowHeight();
  if (self->mResize != nullptr) {
    self->mResize->ui_resize(self->mResize->handle, self->mWidth, self->mHeight);
  }
  *widget = window;
  return self;
}

IPluginLV2UI::IPluginLV2UI(IPluginLV2& instance, LV2UI_Write_Function write,
                           LV2UI_Controller controller)
    : mInstance(instance), mWrite(write), mController(controller) {}

IPluginLV2UI::~IPluginLV2UI() {
  if (mListener != nullptr) AUListenerDispose(mListener);
  mInstance.Plug().CloseWindow();
  mInstance.ReleaseIdle();
  mInstance.NoteStateChanges();  // a change in the editor's last moments is not lost
}

int IPluginLV2UI::Idle() {
  CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, false);
  const gfx::IGfx* ui = mInstance.Plug().GetUI();
  if (ui == nullptr) return 1;  // the editor closed itself (its window was destroyed)
  mInstance.NoteStateChanges();
  if (ui->WindowWidth() != mWidth || ui->WindowHeight() != mHeight) {
    mWidth = ui->WindowWidth();
    mHeight = ui->WindowHeight();
    if (mResize != nullptr) mResize->ui_resize(mResize->handle, mWidth, mHeight);
  }
  return 0;
}

void IPluginLV2UI::OnEvent(void* userData, void*, const AudioUnitEvent* event, UInt64,
                           AudioUnitParameterValue) {
  auto* self = static_cast<IPluginLV2UI*>(userData);
  const auto idx = static_cast<int>(event->mArgument.mParameter.mParameterID);
  const IParam* param = self->mInstance.Plug().GetParam(idx);
  if (param == nullptr) return;
  const auto port = static_cast<uint32_t>(idx);
  switch (event->mEventType) {
    case kAudioUnitEvent_BeginParameterChangeGesture:
      if (self->mTouch != nullptr) self->mTouch->touch(self->mTouch->handle, port, true);
      break;
    case kAudioUnitEvent_ParameterValueChange: {
      const auto value = static_cast<float>(param->Value());
      self->mWrite(self->mController, port, sizeof value, 0, &value);
      break;
    }
    case kAudioUnitEvent_EndParameterChangeGesture:
      if (self->mTouch != nullptr) self->mTouch->touch(self->mTouch->handle, port, false);
      break;
    default:
      break;
  }
}

}  // namespace plug
