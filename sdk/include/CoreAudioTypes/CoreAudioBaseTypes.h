/* CoreAudioBaseTypes.h: Core Audio's data types, values and layouts (Linux stand-in). */
#ifndef CoreAudioTypes_CoreAudioBaseTypes_h
#define CoreAudioTypes_CoreAudioBaseTypes_h

#include <CoreFoundation/CFBase.h>
#include <MacTypes.h>

CF_EXTERN_C_BEGIN

CF_ENUM(OSStatus) {
  kAudio_UnimplementedError = -4,
  kAudio_FileNotFoundError = -43,
  kAudio_FilePermissionError = -54,
  kAudio_TooManyFilesOpenError = -42,
  kAudio_BadFilePathError = 0x21707468, /* '!pth' */
  kAudio_ParamError = -50,
  kAudio_MemFullError = -108
};
CF_ENUM(OSStatus) { kAudio_NoError = 0 };

typedef struct AudioValueRange {
  Float64 mMinimum;
  Float64 mMaximum;
} AudioValueRange;

/* Buffers. For non-interleaved formats every buffer holds one channel. */
struct AudioBuffer {
  UInt32 mNumberChannels;
  UInt32 mDataByteSize;
  void *mData;
};
typedef struct AudioBuffer AudioBuffer;

struct AudioBufferList {
  UInt32 mNumberBuffers;
  AudioBuffer mBuffers[1]; /* variable length: 8 + 16 * N bytes hold N buffers */
};
typedef struct AudioBufferList AudioBufferList;

TOVRASDK_STATIC_ASSERT(sizeof(AudioBuffer) == 16, "AudioBuffer is 16 bytes");
TOVRASDK_STATIC_ASSERT(offsetof(AudioBuffer, mData) == 8, "AudioBuffer.mData at 8");
TOVRASDK_STATIC_ASSERT(sizeof(AudioBufferList) == 24, "AudioBufferList is 24 bytes with one buffer");
TOVRASDK_STATIC_ASSERT(offsetof(AudioBufferList, mBuffers) == 8, "AudioBufferList.mBuffers at 8");

/* Stream formats. */
typedef UInt32 AudioFormatID;
typedef UInt32 AudioFormatFlags;

static const Float64 kAudioStreamAnyRate = 0.0;

CF_ENUM(AudioFormatID) {
  kAudioFormatLinearPCM = 0x6C70636D /* 'lpcm' */
};

CF_ENUM(AudioFormatFlags) {
  kAudioFormatFlagIsFloat = (1U << 0),
  kAudioFormatFlagIsBigEndian = (1U << 1),
  kAudioFormatFlagIsSignedInteger = (1U << 2),
  kAudioFormatFlagIsPacked = (1U << 3),
  kAudioFormatFlagIsAlignedHigh = (1U << 4),
  kAudioFormatFlagIsNonInterleaved = (1U << 5),
  kAudioFormatFlagIsNonMixable = (1U << 6),
  kAudioFormatFlagsAreAllClear = 0x80000000U,

  kLinearPCMFormatFlagIsFloat = kAudioFormatFlagIsFloat,
  kLinearPCMFormatFlagIsBigEndian = kAudioFormatFlagIsBigEndian,
  kLinearPCMFormatFlagIsSignedInteger = kAudioFormatFlagIsSignedInteger,
  kLinearPCMFormatFlagIsPacked = kAudioFormatFlagIsPacked,
  kLinearPCMFormatFlagIsAlignedHigh = kAudioFormatFlagIsAlignedHigh,
  kLinearPCMFormatFlagIsNonInterleaved = kAudioFormatFlagIsNonInterleaved,
  kLinearPCMFormatFlagIsNonMixable = kAudioFormatFlagIsNonMixable,
  kLinearPCMFormatFlagsSampleFractionShift = 7,
  kLinearPCMFormatFlagsSampleFractionMask = (0x3FU << 7),
  kLinearPCMFormatFlagsAreAllClear = kAudioFormatFlagsAreAllClear
};

/* Little-endian machines only (x86-64, arm64). */
CF_ENUM(AudioFormatFlags) {
  kAudioFormatFlagsNativeEndian = 0,
  kAudioFormatFlagsCanonical = kAudioFormatFlagIsFloat | kAudioFormatFlagsNativeEndian | kAudioFormatFlagIsPacked,
  kAudioFormatFlagsAudioUnitCanonical = kAudioFormatFlagIsFloat | kAudioFormatFlagsNativeEndian |
                                        kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved,
  kAudioFormatFlagsNativeFloatPacked = kAudioFormatFlagIsFloat | kAudioFormatFlagsNativeEndian | kAudioFormatFlagIsPacked
};

/* For non-interleaved formats the per-frame and per-packet byte counts describe one channel. */
struct AudioStreamBasicDescription {
  Float64 mSampleRate;
  AudioFormatID mFormatID;
  AudioFormatFlags mFormatFlags;
  UInt32 mBytesPerPacket;
  UInt32 mFramesPerPacket;
  UInt32 mBytesPerFrame;
  UInt32 mChannelsPerFrame;
  UInt32 mBitsPerChannel;
  UInt32 mReserved;
};
typedef struct AudioStreamBasicDescription AudioStreamBasicDescription;

TOVRASDK_STATIC_ASSERT(sizeof(AudioStreamBasicDescription) == 40, "AudioStreamBasicDescription is 40 bytes");
TOVRASDK_STATIC_ASSERT(offsetof(AudioStreamBasicDescription, mFormatID) == 8, "mFormatID at 8");
TOVRASDK_STATIC_ASSERT(offsetof(AudioStreamBasicDescription, mChannelsPerFrame) == 28, "mChannelsPerFrame at 28");
TOVRASDK_STATIC_ASSERT(offsetof(AudioStreamBasicDescription, mReserved) == 36, "mReserved at 36");

struct AudioStreamPacketDescription {
  SInt64 mStartOffset;
  UInt32 mVariableFramesInPacket;
  UInt32 mDataByteSize;
};
typedef struct AudioStreamPacketDescription AudioStreamPacketDescription;

TOVRASDK_STATIC_ASSERT(sizeof(AudioStreamPacketDescription) == 16, "AudioStreamPacketDescription is 16 bytes");

/* Time stamps. */
#if !defined(__SMPTETime__)
#define __SMPTETime__

typedef CF_ENUM(UInt32, SMPTETimeType) {
  kSMPTETimeType24 = 0,
  kSMPTETimeType25 = 1,
  kSMPTETimeType30Drop = 2,
  kSMPTETimeType30 = 3,
  kSMPTETimeType2997 = 4,
  kSMPTETimeType2997Drop = 5,
  kSMPTETimeType60 = 6,
  kSMPTETimeType5994 = 7,
  kSMPTETimeType60Drop = 8,
  kSMPTETimeType5994Drop = 9,
  kSMPTETimeType50 = 10,
  kSMPTETimeType2398 = 11
};

typedef CF_OPTIONS(UInt32, SMPTETimeFlags) {
  kSMPTETimeUnknown = 0,
  kSMPTETimeValid = (1U << 0),
  kSMPTETimeRunning = (1U << 1)
};

struct SMPTETime {
  SInt16 mSubframes;
  SInt16 mSubframeDivisor;
  UInt32 mCounter;
  SMPTETimeType mType;
  SMPTETimeFlags mFlags;
  SInt16 mHours;
  SInt16 mMinutes;
  SInt16 mSeconds;
  SInt16 mFrames;
};
typedef struct SMPTETime SMPTETime;

TOVRASDK_STATIC_ASSERT(sizeof(SMPTETime) == 24, "SMPTETime is 24 bytes");
TOVRASDK_STATIC_ASSERT(offsetof(SMPTETime, mHours) == 16, "SMPTETime.mHours at 16");
#endif

typedef CF_OPTIONS(UInt32, AudioTimeStampFlags) {
  kAudioTimeStampNothingValid = 0,
  kAudioTimeStampSampleTimeValid = (1U << 0),
  kAudioTimeStampHostTimeValid = (1U << 1),
  kAudioTimeStampRateScalarValid = (1U << 2),
  kAudioTimeStampWordClockTimeValid = (1U << 3),
  kAudioTimeStampSMPTETimeValid = (1U << 4),
  kAudioTimeStampSampleHostTimeValid = (kAudioTimeStampSampleTimeValid | kAudioTimeStampHostTimeValid)
};

struct AudioTimeStamp {
  Float64 mSampleTime;
  UInt64 mHostTime;
  Float64 mRateScalar;
  UInt64 mWordClockTime;
  SMPTETime mSMPTETime;
  AudioTimeStampFlags mFlags;
  UInt32 mReserved;
};
typedef struct AudioTimeStamp AudioTimeStamp;

TOVRASDK_STATIC_ASSERT(sizeof(AudioTimeStamp) == 64, "AudioTimeStamp is 64 bytes");
TOVRASDK_STATIC_ASSERT(offsetof(AudioTimeStamp, mSMPTETime) == 32, "mSMPTETime at 32");
TOVRASDK_STATIC_ASSERT(offsetof(AudioTimeStamp, mFlags) == 56, "mFlags at 56");

/* Channel layouts: tag = layout number << 16 | channel count. */
typedef UInt32 AudioChannelLabel;
typedef UInt32 AudioChannelLayoutTag;

CF_ENUM(AudioChannelLabel) {
  kAudioChannelLabel_Unknown = 0xFFFFFFFFU,
  kAudioChannelLabel_Unused = 0,
  kAudioChannelLabel_Left = 1,
  kAudioChannelLabel_Right = 2,
  kAudioChannelLabel_Center = 3,
  kAudioChannelLabel_LFEScreen = 4,
  kAudioChannelLabel_LeftSurround = 5,
  kAudioChannelLabel_RightSurround = 6,
  kAudioChannelLabel_Mono = 42
};

typedef CF_OPTIONS(UInt32, AudioChannelBitmap) {
  kAudioChannelBit_Left = (1U << 0),
  kAudioChannelBit_Right = (1U << 1),
  kAudioChannelBit_Center = (1U << 2),
  kAudioChannelBit_LFEScreen = (1U << 3),
  kAudioChannelBit_LeftSurround = (1U << 4),
  kAudioChannelBit_RightSurround = (1U << 5)
};

typedef CF_OPTIONS(UInt32, AudioChannelFlags) {
  kAudioChannelFlags_AllOff = 0,
  kAudioChannelFlags_RectangularCoordinates = (1U << 0),
  kAudioChannelFlags_SphericalCoordinates = (1U << 1),
  kAudioChannelFlags_Meters = (1U << 2)
};

#define AudioChannelLayoutTag_GetNumberOfChannels(layoutTag) ((UInt32)((layoutTag) & 0x0000FFFF))

CF_ENUM(AudioChannelLayoutTag) {
  kAudioChannelLayoutTag_UseChannelDescriptions = (0U << 16) | 0,
  kAudioChannelLayoutTag_UseChannelBitmap = (1U << 16) | 0,

  kAudioChannelLayoutTag_Mono = (100U << 16) | 1,
  kAudioChannelLayoutTag_Stereo = (101U << 16) | 2,
  kAudioChannelLayoutTag_Ambisonic_B_Format = (107U << 16) | 4,
  kAudioChannelLayoutTag_Quadraphonic = (108U << 16) | 4,
  kAudioChannelLayoutTag_MPEG_1_0 = kAudioChannelLayoutTag_Mono,
  kAudioChannelLayoutTag_MPEG_2_0 = kAudioChannelLayoutTag_Stereo,
  kAudioChannelLayoutTag_MPEG_3_0_A = (113U << 16) | 3,
  kAudioChannelLayoutTag_MPEG_5_0_B = (118U << 16) | 5,
  kAudioChannelLayoutTag_MPEG_5_1_A = (121U << 16) | 6,
  kAudioChannelLayoutTag_MPEG_6_1_A = (125U << 16) | 7,
  kAudioChannelLayoutTag_MPEG_7_1_A = (126U << 16) | 8,
  kAudioChannelLayoutTag_MPEG_7_1_C = (128U << 16) | 8,
  kAudioChannelLayoutTag_ITU_1_0 = kAudioChannelLayoutTag_Mono,
  kAudioChannelLayoutTag_ITU_2_0 = kAudioChannelLayoutTag_Stereo,
  kAudioChannelLayoutTag_ITU_3_0 = kAudioChannelLayoutTag_MPEG_3_0_A,
  kAudioChannelLayoutTag_ITU_3_2_1 = kAudioChannelLayoutTag_MPEG_5_1_A,
  kAudioChannelLayoutTag_ITU_3_4_1 = kAudioChannelLayoutTag_MPEG_7_1_C,
  kAudioChannelLayoutTag_DVD_0 = kAudioChannelLayoutTag_Mono,
  kAudioChannelLayoutTag_DVD_1 = kAudioChannelLayoutTag_Stereo,
  kAudioChannelLayoutTag_DVD_7 = kAudioChannelLayoutTag_MPEG_3_0_A,
  kAudioChannelLayoutTag_DVD_12 = kAudioChannelLayoutTag_MPEG_5_1_A,
  kAudioChannelLayoutTag_DVD_17 = kAudioChannelLayoutTag_MPEG_5_1_A,
  kAudioChannelLayoutTag_DVD_19 = kAudioChannelLayoutTag_MPEG_5_0_B,
  kAudioChannelLayoutTag_AudioUnit_4 = kAudioChannelLayoutTag_Quadraphonic,
  kAudioChannelLayoutTag_AudioUnit_5_0 = kAudioChannelLayoutTag_MPEG_5_0_B,
  kAudioChannelLayoutTag_AudioUnit_5_1 = kAudioChannelLayoutTag_MPEG_5_1_A,
  kAudioChannelLayoutTag_AudioUnit_6_0 = (139U << 16) | 6,
  kAudioChannelLayoutTag_AudioUnit_6_1 = kAudioChannelLayoutTag_MPEG_6_1_A,
  kAudioChannelLayoutTag_AudioUnit_7_0 = (140U << 16) | 7,
  kAudioChannelLayoutTag_AudioUnit_7_1 = kAudioChannelLayoutTag_MPEG_7_1_C,
  kAudioChannelLayoutTag_AudioUnit_7_1_Front = kAudioChannelLayoutTag_MPEG_7_1_A,
  kAudioChannelLayoutTag_AAC_Quadraphonic = kAudioChannelLayoutTag_Quadraphonic,
  kAudioChannelLayoutTag_WAVE_3_0 = kAudioChannelLayoutTag_MPEG_3_0_A,
  kAudioChannelLayoutTag_WAVE_5_1_A = kAudioChannelLayoutTag_MPEG_5_1_A,
  kAudioChannelLayoutTag_Logic_Mono = kAudioChannelLayoutTag_Mono,
  kAudioChannelLayoutTag_Logic_Stereo = kAudioChannelLayoutTag_Stereo,
  kAudioChannelLayoutTag_Logic_Quadraphonic = kAudioChannelLayoutTag_Quadraphonic,
  kAudioChannelLayoutTag_Logic_5_0_B = kAudioChannelLayoutTag_MPEG_5_0_B,
  kAudioChannelLayoutTag_Logic_5_1_A = kAudioChannelLayoutTag_MPEG_5_1_A,
  kAudioChannelLayoutTag_Logic_6_0_C = kAudioChannelLayoutTag_AudioUnit_6_0,
  kAudioChannelLayoutTag_Logic_6_1_C = kAudioChannelLayoutTag_MPEG_6_1_A,
  kAudioChannelLayoutTag_Logic_7_1_A = kAudioChannelLayoutTag_MPEG_7_1_C,
  kAudioChannelLayoutTag_Logic_7_1_C = kAudioChannelLayoutTag_MPEG_7_1_C,
  kAudioChannelLayoutTag_Logic_7_1_SDDS_A = kAudioChannelLayoutTag_MPEG_7_1_A,
  kAudioChannelLayoutTag_CICP_1 = kAudioChannelLayoutTag_Mono,
  kAudioChannelLayoutTag_CICP_2 = kAudioChannelLayoutTag_Stereo,
  kAudioChannelLayoutTag_CICP_3 = kAudioChannelLayoutTag_MPEG_3_0_A,
  kAudioChannelLayoutTag_CICP_6 = kAudioChannelLayoutTag_MPEG_5_1_A,
  kAudioChannelLayoutTag_CICP_11 = kAudioChannelLayoutTag_MPEG_6_1_A,
  kAudioChannelLayoutTag_CICP_12 = kAudioChannelLayoutTag_MPEG_7_1_C,

  kAudioChannelLayoutTag_DiscreteInOrder = (147U << 16) | 0,
  kAudioChannelLayoutTag_HOA_ACN_SN3D = (190U << 16) | 0,
  kAudioChannelLayoutTag_HOA_ACN_N3D = (191U << 16) | 0,
  kAudioChannelLayoutTag_Atmos_7_1_4 = (192U << 16) | 12,
  kAudioChannelLayoutTag_Logic_Atmos_7_1_4_A = kAudioChannelLayoutTag_Atmos_7_1_4,
  kAudioChannelLayoutTag_Atmos_7_1_2 = (196U << 16) | 10,
  kAudioChannelLayoutTag_Logic_Atmos_7_1_2 = kAudioChannelLayoutTag_Atmos_7_1_2,

  kAudioChannelLayoutTag_Unknown = 0xFFFF0000U
};

struct AudioChannelDescription {
  AudioChannelLabel mChannelLabel;
  AudioChannelFlags mChannelFlags;
  Float32 mCoordinates[3];
};
typedef struct AudioChannelDescription AudioChannelDescription;

/* Variable length: 12 + 20 * N bytes hold N descriptions. */
struct AudioChannelLayout {
  AudioChannelLayoutTag mChannelLayoutTag;
  AudioChannelBitmap mChannelBitmap;
  UInt32 mNumberChannelDescriptions;
  AudioChannelDescription mChannelDescriptions[1];
};
typedef struct AudioChannelLayout AudioChannelLayout;

TOVRASDK_STATIC_ASSERT(sizeof(AudioChannelDescription) == 20, "AudioChannelDescription is 20 bytes");
TOVRASDK_STATIC_ASSERT(sizeof(AudioChannelLayout) == 32, "AudioChannelLayout is 32 bytes with one description");
TOVRASDK_STATIC_ASSERT(offsetof(AudioChannelLayout, mChannelDescriptions) == 12, "descriptions at 12");

CF_EXTERN_C_END

#endif /* CoreAudioTypes_CoreAudioBaseTypes_h */
