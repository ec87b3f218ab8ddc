// The thread words that every "Threads:" note in plug/, plug/au/ and the crusher uses.
#pragma once

// Three callers meet in a plug-in, and every public operation says which of them may call it:
//
//   render               the host's real-time audio thread. Such an operation is noexcept and
//                        allocates nothing, takes no lock, makes no file or system call and
//                        throws nothing; it may run at the same time as main-thread operations.
//   main                 the application's main thread: construction, the editor, timers, state,
//                        presets and the host's property calls.
//   not while rendering  any one thread, but only while the host is not rendering (set-up,
//                        format and block-size changes); it may touch what render operations read.
//
// "any" means any thread at any time: the operation only reads what construction fixed, or
// works on atomics. Several words joined by "or" mean any of those callers.
namespace plug {}
