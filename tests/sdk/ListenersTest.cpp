// ListenersTest.cpp: AU event and parameter listeners receive what is notified, and only that.
#include "tests/sdk/FakeUnit.h"

#include <AudioToolbox/AudioUnitUtilities.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using sdktest::FakeUnit;

struct Received {
  void* object;
  AudioUnitEventType type;
  AudioUnitParameterID id;
  AudioUnitPropertyID property;
  AudioUnitParameterValue value;
};

struct Inbox {
  std::vector<Received> events;
  AUEventListenerRef disposeOnDelivery = nullptr;
};

void OnEvent(void* userData, void* object, const AudioUnitEvent* e, UInt64,
             AudioUnitParameterValue value) {
  auto* inbox = static_cast<Inbox*>(userData);
  const bool property = e->mEventType == kAudioUnitEvent_PropertyChange;
  inbox->events.push_back({object, e->mEventType,
                           property ? 0 : e->mArgument.mParameter.mParameterID,
                           property ? e->mArgument.mProperty.mPropertyID : 0, value});
  if (inbox->disposeOnDelivery != nullptr) {
    AUListenerDispose(inbox->disposeOnDelivery);
    inbox->disposeOnDelivery = nullptr;
  }
}

AudioUnitEvent ParamEvent(AudioUnit unit, AudioUnitEventType type, AudioUnitParameterID id) {
  AudioUnitEvent e{};
  e.mEventType = type;
  e.mArgument.mParameter = {unit, id, kAudioUnitScope_Global, 0};
  return e;
}

AudioUnitEvent PropertyEvent(AudioUnit unit, AudioUnitPropertyID id) {
  AudioUnitEvent e{};
  e.mEventType = kAudioUnitEvent_PropertyChange;
  e.mArgument.mProperty = {unit, id, kAudioUnitScope_Global, 0};
  return e;
}

class Listeners : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(AUEventListenerCreate(OnEvent, &inbox, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode,
                                    0.005f, 0.005f, &listener),
              noErr);
  }
  void TearDown() override {
    if (listener != nullptr) AUListenerDispose(listener);
  }
  FakeUnit fake;
  FakeUnit other;
  Inbox inbox;
  AUEventListenerRef listener = nullptr;
  int object = 0;
};

TEST_F(Listeners, MatchingEventsAreDeliveredWithTheCurrentValue) {
  AudioUnit unit = fake.Unit();
  const AudioUnitEvent value2 = ParamEvent(unit, kAudioUnitEvent_ParameterValueChange, 2);
  const AudioUnitEvent begin2 = ParamEvent(unit, kAudioUnitEvent_BeginParameterChangeGesture, 2);
  const AudioUnitEvent latency = PropertyEvent(unit, kAudioUnitProperty_Latency);
  ASSERT_EQ(AUEventListenerAddEventType(listener, &object, &value2), noErr);
  ASSERT_EQ(AUEventListenerAddEventType(listener, &object, &begin2), noErr);
  ASSERT_EQ(AUEventListenerAddEventType(listener, &object, &latency), noErr);

  EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, &value2), noErr);
  EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, &begin2), noErr);
  EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, &latency), noErr);
  // Not registered: another parameter, another event type, another unit, another property.
  const AudioUnitEvent misses[] = {
      ParamEvent(unit, kAudioUnitEvent_ParameterValueChange, 1),
      ParamEvent(unit, kAudioUnitEvent_EndParameterChangeGesture, 2),
      ParamEvent(other.Unit(), kAudioUnitEvent_ParameterValueChange, 2),
      PropertyEvent(unit, kAudioUnitProperty_PresentPreset)};
  for (const AudioUnitEvent& e : misses)
    EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, &e), noErr);

  ASSERT_EQ(inbox.events.size(), 3u);
  EXPECT_EQ(inbox.events[0].object, &object);
  EXPECT_EQ(inbox.events[0].type, kAudioUnitEvent_ParameterValueChange);
  EXPECT_EQ(inbox.events[0].id, 2u);
  EXPECT_EQ(inbox.events[0].value, 0.75f);  // read from the unit at delivery
  EXPECT_EQ(inbox.events[1].type, kAudioUnitEvent_BeginParameterChangeGesture);
  EXPECT_EQ(inbox.events[1].value, 0.0f);
  EXPECT_EQ(inbox.events[2].type, kAudioUnitEvent_PropertyChange);
  EXPECT_EQ(inbox.events[2].property, kAudioUnitProperty_Latency);
}

TEST_F(Listeners, AnyParameterMatchesEveryIdAndRemovalStopsDelivery) {
  AudioUnit unit = fake.Unit();
  const AudioUnitEvent any =
      ParamEvent(unit, kAudioUnitEvent_ParameterValueChange, kAUParameterListener_AnyParameter);
  ASSERT_EQ(AUEventListenerAddEventType(listener, nullptr, &any), noErr);
  for (AudioUnitParameterID id = 0; id < 4; ++id) {
    const AudioUnitEvent e = ParamEvent(unit, kAudioUnitEvent_ParameterValueChange, id);
    AUEventListenerNotify(nullptr, nullptr, &e);
  }
  ASSERT_EQ(inbox.events.size(), 4u);
  EXPECT_EQ(inbox.events[3].id, 3u);
  EXPECT_EQ(inbox.events[3].value, 1.0f);

  ASSERT_EQ(AUEventListenerRemoveEventType(listener, nullptr, &any), noErr);
  const AudioUnitEvent e = ParamEvent(unit, kAudioUnitEvent_ParameterValueChange, 0);
  AUEventListenerNotify(nullptr, nullptr, &e);
  EXPECT_EQ(inbox.events.size(), 4u);
}

TEST_F(Listeners, TheSenderIsNotCalledBackAndDisposedListenersNeverAgain) {
  AudioUnit unit = fake.Unit();
  const AudioUnitEvent e = ParamEvent(unit, kAudioUnitEvent_ParameterValueChange, 0);
  ASSERT_EQ(AUEventListenerAddEventType(listener, &object, &e), noErr);
  AUEventListenerNotify(listener, nullptr, &e);
  EXPECT_TRUE(inbox.events.empty());
  int otherObject = 0;
  AUEventListenerNotify(listener, &otherObject, &e);  // the sender, but for another object
  EXPECT_EQ(inbox.events.size(), 1u);

  // A listener may dispose itself from inside its call-back; the second registration is skipped.
  const AudioUnitEvent again = ParamEvent(unit, kAudioUnitEvent_ParameterValueChange, 0);
  ASSERT_EQ(AUEventListenerAddEventType(listener, &otherObject, &again), noErr);
  inbox.disposeOnDelivery = listener;
  AUEventListenerNotify(nullptr, nullptr, &e);
  EXPECT_EQ(inbox.events.size(), 2u);
  listener = nullptr;
  AUEventListenerNotify(nullptr, nullptr, &e);
  EXPECT_EQ(inbox.events.size(), 2u);
}

TEST_F(Listeners, BadArgumentsAreParamErrors) {
  const AudioUnitEvent e = ParamEvent(fake.Unit(), kAudioUnitEvent_ParameterValueChange, 0);
  AUEventListenerRef none = nullptr;
  EXPECT_EQ(AUEventListenerCreate(nullptr, nullptr, nullptr, nullptr, 0, 0, &none),
            kAudio_ParamError);
  EXPECT_EQ(AUEventListenerCreate(OnEvent, nullptr, nullptr, nullptr, 0, 0, nullptr),
            kAudio_ParamError);
  EXPECT_EQ(AUEventListenerAddEventType(nullptr, nullptr, &e), kAudio_ParamError);
  EXPECT_EQ(AUEventListenerAddEventType(listener, nullptr, nullptr), kAudio_ParamError);
  EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, nullptr), kAudio_ParamError);
  EXPECT_EQ(AUListenerDispose(nullptr), kAudio_ParamError);
  EXPECT_EQ(AUListenerDispose(reinterpret_cast<AUEventListenerRef>(&inbox)), kAudio_ParamError);
}

struct ParamInbox {
  std::vector<std::pair<AudioUnitParameterID, AudioUnitParameterValue>> values;
};

TEST_F(Listeners, AUParameterSetSetsTheValueAndNotifiesOtherListeners) {
  AudioUnit unit = fake.Unit();
  ParamInbox paramInbox;
  AUParameterListenerRef paramListener = nullptr;
  ASSERT_EQ(AUListenerCreate(
                [](void* user, void*, const AudioUnitParameter* p, AudioUnitParameterValue v) {
                  static_cast<ParamInbox*>(user)->values.push_back({p->mParameterID, v});
                },
                &paramInbox, CFRunLoopGetMain(), kCFRunLoopDefaultMode, 0, &paramListener),
            noErr);
  const AudioUnitParameter p1{unit, 1, kAudioUnitScope_Global, 0};
  ASSERT_EQ(AUListenerAddParameter(paramListener, nullptr, &p1), noErr);
  const AudioUnitEvent e1 = ParamEvent(unit, kAudioUnitEvent_ParameterValueChange, 1);
  ASSERT_EQ(AUEventListenerAddEventType(listener, nullptr, &e1), noErr);

  EXPECT_EQ(AUParameterSet(paramListener, nullptr, &p1, 0.875f, 0), noErr);
  EXPECT_EQ(fake.parameters[1], 0.875f);
  EXPECT_TRUE(paramInbox.values.empty());  // the sender
  ASSERT_EQ(inbox.events.size(), 1u);
  EXPECT_EQ(inbox.events[0].value, 0.875f);

  EXPECT_EQ(AUParameterSet(nullptr, nullptr, &p1, 0.5f, 0), noErr);
  ASSERT_EQ(paramInbox.values.size(), 1u);
  EXPECT_EQ(paramInbox.values[0].second, 0.5f);

  const AudioUnitParameter bad{unit, 9, kAudioUnitScope_Global, 0};
  EXPECT_EQ(AUParameterSet(nullptr, nullptr, &bad, 1.0f, 0), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(inbox.events.size(), 2u);
  ASSERT_EQ(AUListenerRemoveParameter(paramListener, nullptr, &p1), noErr);
  EXPECT_EQ(AUListenerDispose(paramListener), noErr);
}

TEST_F(Listeners, NotificationsFromAnotherThreadArriveOnThatThread) {
  AudioUnit unit = fake.Unit();
  const AudioUnitEvent e = ParamEvent(unit, kAudioUnitEvent_EndParameterChangeGesture, 3);
  ASSERT_EQ(AUEventListenerAddEventType(listener, nullptr, &e), noErr);
  std::thread sender([&] {
    for (int i = 0; i < 100; ++i) AUEventListenerNotify(nullptr, nullptr, &e);
  });
  sender.join();
  EXPECT_EQ(inbox.events.size(), 100u);
  EXPECT_NE(CFRunLoopGetCurrent(), nullptr);
  EXPECT_EQ(CFRunLoopGetCurrent(), CFRunLoopGetMain());
}

}  // namespace
