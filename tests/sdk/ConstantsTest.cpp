// ConstantsTest.cpp: the four-character codes and composite values written as numbers in the
// headers.
#include <AudioToolbox/AudioToolbox.h>
#include <CoreServices/CoreServices.h>

#include <gtest/gtest.h>

namespace {

constexpr UInt32 FourCC(const char (&s)[5]) {
  return (static_cast<UInt32>(static_cast<unsigned char>(s[0])) << 24) |
         (static_cast<UInt32>(static_cast<unsigned char>(s[1])) << 16) |
         (static_cast<UInt32>(static_cast<unsigned char>(s[2])) << 8) |
         static_cast<unsigned char>(s[3]);
}

TEST(SdkConstants, FourCharCodesSpellTheirNames) {
  struct Case {
    UInt32 value;
    UInt32 spelled;
  };
  const Case cases[] = {
      {kAudioUnitType_Effect, FourCC("aufx")},
      {kAudioUnitType_MusicEffect, FourCC("aumf")},
      {kAudioUnitType_MusicDevice, FourCC("aumu")},
      {kAudioUnitType_MIDIProcessor, FourCC("aumi")},
      {kAudioUnitType_Generator, FourCC("augn")},
      {kAudioUnitType_Output, FourCC("auou")},
      {kAudioUnitType_FormatConverter, FourCC("aufc")},
      {kAudioUnitType_Mixer, FourCC("aumx")},
      {kAudioUnitType_Panner, FourCC("aupn")},
      {kAudioUnitType_OfflineEffect, FourCC("auol")},
      {kAudioUnitManufacturer_Apple, FourCC("appl")},
      {kAudioFormatLinearPCM, FourCC("lpcm")},
      {static_cast<UInt32>(kAudio_BadFilePathError), FourCC("!pth")},
      {kAppleManufacturer, FourCC("appl")},
      {kComponentResourceType, FourCC("thng")},
  };
  for (const Case& c : cases) EXPECT_EQ(c.value, c.spelled) << std::hex << c.value;
}

TEST(SdkConstants, CompositeValues) {
  EXPECT_EQ(kAudioFormatFlagsAudioUnitCanonical, 41u);
  EXPECT_EQ(kAudioFormatFlagsNativeFloatPacked, 9u);
  EXPECT_EQ(kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved,
            0x29u);
  EXPECT_EQ(kAudioChannelLayoutTag_Mono, 6553601u);
  EXPECT_EQ(kAudioChannelLayoutTag_Stereo, 6619138u);
  EXPECT_EQ(kAudioChannelLayoutTag_AudioUnit_6_0, 9109510u);
  EXPECT_EQ(kAudioChannelLayoutTag_Atmos_7_1_2, 12845066u);
  EXPECT_EQ(AudioChannelLayoutTag_GetNumberOfChannels(kAudioChannelLayoutTag_Atmos_7_1_4), 12u);
  EXPECT_EQ(kAudioUnitParameterFlag_DisplayMask, 0x00470000u);
  EXPECT_EQ(kAudioUnitParameterFlag_IsWritable, 0x80000000u);
  EXPECT_EQ(GetAudioUnitParameterDisplayType(kAudioUnitParameterFlag_IsReadable |
                                             kAudioUnitParameterFlag_DisplayLogarithmic),
            kAudioUnitParameterFlag_DisplayLogarithmic);
  EXPECT_EQ(kCFStringEncodingUTF8, 0x08000100u);
  EXPECT_EQ(kAudioTimeStampSampleHostTimeValid, 3u);
  EXPECT_EQ(kLinearPCMFormatFlagsSampleFractionMask, 0x1F80u);
  EXPECT_EQ(kAudioUnitErr_InvalidPropertyValue, -10851);
  EXPECT_EQ(kAudioUnitErr_ComponentManagerNotSupported, -66740);
  EXPECT_EQ(kAudioUnitProperty_CurrentPreset, 28u);
  EXPECT_EQ(kAudioUnitProperty_BusCount, kAudioUnitProperty_ElementCount);
  EXPECT_EQ(kMusicDeviceMIDIEventListSelect, 0x0107);
  EXPECT_EQ(kComponentUnregisterSelect, -7);
  // Named enumerations are their own types in C++, as with Apple's headers.
  static_assert(!std::is_same_v<AudioUnitParameterUnit, UInt32>);
  static_assert(std::is_same_v<std::underlying_type_t<AudioUnitParameterUnit>, UInt32>);
  static_assert(std::is_same_v<AudioUnitParameterOptions, UInt32>);
  static_assert(std::is_same_v<AudioUnitScope, UInt32>);
}

}  // namespace
