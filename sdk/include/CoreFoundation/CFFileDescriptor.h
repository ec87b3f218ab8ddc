/* CFFileDescriptor.h: file descriptors watched by a run loop (Linux stand-in). */
#ifndef __COREFOUNDATION_CFFILEDESCRIPTOR__
#define __COREFOUNDATION_CFFILEDESCRIPTOR__

#include <CoreFoundation/CFRunLoop.h>

CF_EXTERN_C_BEGIN

typedef int CFFileDescriptorNativeDescriptor;
typedef struct __CFFileDescriptor *CFFileDescriptorRef;

enum {
  kCFFileDescriptorReadCallBack = 1UL << 0,
  kCFFileDescriptorWriteCallBack = 1UL << 1
};

/* callBackTypes: the enabled types that are ready. A hang-up or error counts as ready for both. */
typedef void (*CFFileDescriptorCallBack)(CFFileDescriptorRef f, CFOptionFlags callBackTypes, void *info);

typedef struct {
  CFIndex version;
  void *info;
  void *(*retain)(void *info);
  void (*release)(void *info);
  CFStringRef (*copyDescription)(void *info);
} CFFileDescriptorContext;

CF_EXPORT CFTypeID CFFileDescriptorGetTypeID(void);
/* NULL for a negative descriptor or a NULL call-out. The context is copied and its retain applied
   to info; info is released when the object is invalidated. */
CF_EXPORT CFFileDescriptorRef CFFileDescriptorCreate(CFAllocatorRef allocator, CFFileDescriptorNativeDescriptor fd,
                                                     Boolean closeOnInvalidate, CFFileDescriptorCallBack callout,
                                                     const CFFileDescriptorContext *context);
/* -1 once invalidated. */
CF_EXPORT CFFileDescriptorNativeDescriptor CFFileDescriptorGetNativeDescriptor(CFFileDescriptorRef f);
CF_EXPORT void CFFileDescriptorGetContext(CFFileDescriptorRef f, CFFileDescriptorContext *context);
/* Call-backs are one-shot, as on macOS: a type is disabled when its call-out is made, and the
   call-out enables it again when it wants the next one. Any thread. */
CF_EXPORT void CFFileDescriptorEnableCallBacks(CFFileDescriptorRef f, CFOptionFlags callBackTypes);
CF_EXPORT void CFFileDescriptorDisableCallBacks(CFFileDescriptorRef f, CFOptionFlags callBackTypes);
/* No call-out after this; its source leaves its loop, info is released, and the descriptor is
   closed when the object was created with closeOnInvalidate. */
CF_EXPORT void CFFileDescriptorInvalidate(CFFileDescriptorRef f);
CF_EXPORT Boolean CFFileDescriptorIsValid(CFFileDescriptorRef f);
/* The object's run-loop source (created once; each call returns it retained), which retains the
   object. NULL for an invalid object. */
CF_EXPORT CFRunLoopSourceRef CFFileDescriptorCreateRunLoopSource(CFAllocatorRef allocator, CFFileDescriptorRef f,
                                                                 CFIndex order);

CF_EXTERN_C_END

#endif /* __COREFOUNDATION_CFFILEDESCRIPTOR__ */
