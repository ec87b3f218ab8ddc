// ThreadStacksTest: which crashes and stalls of a host count as its own known faults (to be tried
// again) and which may be ours (to fail at once), judged from stacks as gdb prints them.
#include "tests/lv2/ThreadStacks.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using lv2test::ThreadStacks;

// The threads that are in every Ardour export, whatever failed.
constexpr const char* kPreamble = R"(* Writing /tmp/x/export.wav
* Exporting Audio 0.0%
Thread 1 "ardour7-export" received signal SIGABRT, Aborted.
thread stacks:
)";

// A host's thread in the editor's idle call, waiting in the poll of our main run loop.
constexpr const char* kOurRunLoopPoll = R"(Thread 14 (LWP 30089 "ardour7-export"):
#0   __GI___poll in /lib/x86_64-linux-gnu/libc.so.6
#1   tovrasdk::RunLoop::Run(std::basic_string_view<char, std::char_traits<char> >, double, bool) in /b/TovraSat.lv2/lib/libtovrasdk.so
#2   CFRunLoopRunInMode in /b/TovraSat.lv2/lib/libtovrasdk.so
#3   plug::IPluginLV2UI::Idle() in /b/TovraSat.lv2/lib/TovraSat.so
#4   g_main_context_dispatch in /lib/x86_64-linux-gnu/libglib-2.0.so.0
#5   ?? in /lib/x86_64-linux-gnu/libglib-2.0.so.0
#6   start_thread in /lib/x86_64-linux-gnu/libc.so.6
#7   clone3 in /lib/x86_64-linux-gnu/libc.so.6
)";
constexpr const char* kButlerWaitingForTheProcessLock = R"(Thread 4 (LWP 4101 "butler"):
#0   futex_wait in /lib/x86_64-linux-gnu/libc.so.6
#1   __GI___lll_lock_wait in /lib/x86_64-linux-gnu/libc.so.6
#2   ___pthread_mutex_lock in /lib/x86_64-linux-gnu/libc.so.6
#3   Glib::Threads::Mutex::lock() in /usr/lib/ardour7/libardour.so.3
#4   ARDOUR::Session::butler_transport_work(bool) in /usr/lib/ardour7/libardour.so.3
#5   ARDOUR::Butler::thread_work() in /usr/lib/ardour7/libardour.so.3
#6   start_thread in /lib/x86_64-linux-gnu/libc.so.6
#7   clone3 in /lib/x86_64-linux-gnu/libc.so.6
)";

std::string Stacks(std::initializer_list<const char*> threads) {
  std::string text = kPreamble;
  for (const char* t : threads) text += t;
  return text;
}

struct Case {
  const char* name;
  bool crash;  // else a stall
  std::string output;
  bool hostFault;
  const char* reasonHas;
};

TEST(ThreadStacks, TellsArdoursOwnFaultsFromFaultsThatMayBeOurs) {
  const Case cases[] = {
      {"heap corruption found while Ardour frees its export graph (a real crash)", true,
       Stacks({R"(Thread 1 (LWP 29633 "ardour7-export"):
#0   __GI___clock_nanosleep in /lib/x86_64-linux-gnu/libc.so.6
#1   __GI___nanosleep in /lib/x86_64-linux-gnu/libc.so.6
#2   g_usleep in /lib/x86_64-linux-gnu/libglib-2.0.so.0
#3   main in /usr/lib/ardour7/utils/ardour7-export
)",
               R"(Thread 10 (LWP 30005 "audioengine") stopped:
#0   __pthread_kill_implementation in /lib/x86_64-linux-gnu/libc.so.6
#1   __pthread_kill_internal in /lib/x86_64-linux-gnu/libc.so.6
#2   __GI_raise in /lib/x86_64-linux-gnu/libc.so.6
#3   __GI_abort in /lib/x86_64-linux-gnu/libc.so.6
#4   __libc_message in /lib/x86_64-linux-gnu/libc.so.6
#5   malloc_printerr in /lib/x86_64-linux-gnu/libc.so.6
#6   munmap_chunk in /lib/x86_64-linux-gnu/libc.so.6
#7   __GI___libc_free in /lib/x86_64-linux-gnu/libc.so.6
#8   AudioGrapherDSP::Limiter::Upsampler::fini() in /usr/lib/ardour7/libaudiographer.so.0
#9   AudioGrapherDSP::Limiter::Upsampler::~Upsampler() in /usr/lib/ardour7/libaudiographer.so.0
#10  AudioGrapher::Limiter::~Limiter() in /usr/lib/ardour7/libaudiographer.so.0
#11  AudioGrapher::Normalizer::~Normalizer() in /usr/lib/ardour7/libaudiographer.so.0
#12  boost::detail::sp_counted_base::release() in /usr/lib/ardour7/utils/ardour7-export
#13  ARDOUR::ExportGraphBuilder::SFC::~SFC() in /usr/lib/ardour7/libardour.so.3
#14  ARDOUR::ExportGraphBuilder::reset() in /usr/lib/ardour7/libardour.so.3
#15  ARDOUR::ExportHandler::finish_timespan() in /usr/lib/ardour7/libardour.so.3
#16  ARDOUR::Session::process_export_fw(unsigned int) in /usr/lib/ardour7/libardour.so.3
#17  ARDOUR::AudioEngine::process_callback(unsigned int) in /usr/lib/ardour7/libardour.so.3
#18  ARDOUR::DummyAudioBackend::main_process_thread() in /usr/lib/ardour7/backends/libdummy_audiobackend.so
#19  start_thread in /lib/x86_64-linux-gnu/libc.so.6
#20  clone3 in /lib/x86_64-linux-gnu/libc.so.6
)",
               kOurRunLoopPoll}),
       true, "in AudioGrapherDSP::Limiter::Upsampler::fini() in /usr/lib/ardour7/libaudiographer.so.0"},
      {"a segmentation fault in our render, called by Ardour's process thread", true,
       Stacks({R"(Thread 1 (LWP 4096 "ardour7-export"):
#0   __GI___poll in /lib/x86_64-linux-gnu/libc.so.6
#1   main in /usr/lib/ardour7/utils/ardour7-export
)",
               R"(Thread 6 (LWP 4103 "audioengine") stopped:
#0   cc::Engine::process(float*, float*, int) in /b/TovraSat.lv2/lib/TovraSat.so
#1   ARDOUR::LV2Plugin::connect_and_run(ARDOUR::BufferSet&, long, long, double, ARDOUR::ChanMapping const&, ARDOUR::ChanMapping const&, unsigned int, unsigned int) in /usr/lib/ardour7/libardour.so.3
#2   ARDOUR::PluginInsert::run(ARDOUR::BufferSet&, long, long, double, unsigned int, bool) in /usr/lib/ardour7/libardour.so.3
)"}),
       false, "runs our code: cc::Engine::process"},
      {"a crash in libc called by our SDK below Ardour's frames", true,
       Stacks({R"(Thread 1 (LWP 4096 "ardour7-export") stopped:
#0   __memmove_avx_unaligned_erms in /lib/x86_64-linux-gnu/libc.so.6
#1   CFDataGetBytes in /b/TovraSat.lv2/lib/libtovrasdk.so
#2   ARDOUR::LV2Plugin::set_state(XMLNode const&, int) in /usr/lib/ardour7/libardour.so.3
)"}),
       false, "CFDataGetBytes in /b/TovraSat.lv2/lib/libtovrasdk.so"},
      {"a crash with no frame of Ardour's", true,
       Stacks({R"(Thread 3 (LWP 4099 "ardour7-export") stopped:
#0   __GI___libc_free in /lib/x86_64-linux-gnu/libc.so.6
#1   ?? in /lib/x86_64-linux-gnu/libglib-2.0.so.0
)"}),
       false, "holds no frame of Ardour's"},
      {"a crash that gdb printed no stacks of", true, std::string(kPreamble), false,
       "no stack of the crashing thread"},
      {"a crash whose stopped thread is not marked", true,
       Stacks({kButlerWaitingForTheProcessLock, kOurRunLoopPoll}), false,
       "no stack of the crashing thread"},
      {"the export starting with the process lock held while the butler waits for it", false,
       Stacks({R"(Thread 1 (LWP 4096 "ardour7-export"):
#0   syscall in /lib/x86_64-linux-gnu/libc.so.6
#1   g_cond_wait in /lib/x86_64-linux-gnu/libglib-2.0.so.0
#2   ARDOUR::Butler::wait_until_finished() in /usr/lib/ardour7/libardour.so.3
#3   ARDOUR::Session::start_audio_export(long, bool, bool, bool) in /usr/lib/ardour7/libardour.so.3
#4   ARDOUR::ExportHandler::start_timespan() in /usr/lib/ardour7/libardour.so.3
#5   main in /usr/lib/ardour7/utils/ardour7-export
)",
               kButlerWaitingForTheProcessLock, kOurRunLoopPoll}),
       true, "2 of its threads wait, none inside our code"},
      {"a stall with Ardour's thread waiting on a lock inside our code", false,
       Stacks({kButlerWaitingForTheProcessLock, R"(Thread 6 (LWP 4103 "audioengine"):
#0   futex_wait in /lib/x86_64-linux-gnu/libc.so.6
#1   ___pthread_mutex_lock in /lib/x86_64-linux-gnu/libc.so.6
#2   plug::IPluginLV2::Run(unsigned int) in /b/TovraSat.lv2/lib/TovraSat.so
#3   ARDOUR::LV2Plugin::connect_and_run(ARDOUR::BufferSet&, long, long, double, ARDOUR::ChanMapping const&, ARDOUR::ChanMapping const&, unsigned int, unsigned int) in /usr/lib/ardour7/libardour.so.3
)",
               kOurRunLoopPoll}),
       false, "waits inside our code: plug::IPluginLV2::Run(unsigned int)"},
      {"a stall with our code stuck in a tick rather than the run loop's poll", false,
       Stacks({kButlerWaitingForTheProcessLock, R"(Thread 9 (LWP 4109 "ardour7-export"):
#0   futex_wait in /lib/x86_64-linux-gnu/libc.so.6
#1   ___pthread_mutex_lock in /lib/x86_64-linux-gnu/libc.so.6
#2   TovraSat::OnIdle() in /b/TovraSat.lv2/lib/TovraSat.so
#3   tovrasdk::RunLoop::Run in /b/TovraSat.lv2/lib/libtovrasdk.so
)"}),
       false, "waits inside our code: TovraSat::OnIdle"},
      {"a stall with a poll of ours that is not the run loop's", false,
       Stacks({kButlerWaitingForTheProcessLock, R"(Thread 9 (LWP 4109 "ardour7-export"):
#0   __GI___poll in /lib/x86_64-linux-gnu/libc.so.6
#1   plug::gfx::X11View::ProcessEvents() in /b/TovraSat.lv2/lib/TovraSat.so
)"}),
       false, "waits inside our code: plug::gfx::X11View::ProcessEvents()"},
      {"a stall that gdb printed no stacks of", false, "* Writing /tmp/x/export.wav\n", false,
       "no stack of Ardour's threads"},
  };
  for (const Case& c : cases) {
    const ThreadStacks stacks = ThreadStacks::Parse(c.output);
    const ThreadStacks::Verdict v = c.crash ? stacks.TriageCrash() : stacks.TriageStall();
    EXPECT_EQ(v.hostFault, c.hostFault) << c.name << ": " << v.reason;
    EXPECT_NE(v.reason.find(c.reasonHas), std::string::npos) << c.name << ": " << v.reason;
  }
}

TEST(ThreadStacks, ReadsThreadsAndFramesOfGdbsOutputOnly) {
  const ThreadStacks stacks = ThreadStacks::Parse(Stacks({kOurRunLoopPoll}) +
                                                  "[Inferior 1 (process 4096) killed]\n");
  ASSERT_EQ(stacks.Threads().size(), 1u);
  const ThreadStacks::Thread& t = stacks.Threads()[0];
  EXPECT_EQ(t.title, R"(thread 14 (LWP 30089 "ardour7-export"))");
  EXPECT_FALSE(t.stopped);
  ASSERT_EQ(t.frames.size(), 8u);
  EXPECT_EQ(t.frames[1].function,
            "tovrasdk::RunLoop::Run(std::basic_string_view<char, std::char_traits<char> >, double, "
            "bool)");
  EXPECT_EQ(t.frames[3].function, "plug::IPluginLV2UI::Idle()");
  EXPECT_EQ(t.frames[3].object, "/b/TovraSat.lv2/lib/TovraSat.so");
  EXPECT_TRUE(ThreadStacks::IsOurs(t.frames[1]));
  EXPECT_FALSE(ThreadStacks::IsOurs(t.frames[5]));
  // The host's own output before the stacks is never read as a thread.
  EXPECT_TRUE(ThreadStacks::Parse("Thread 1 (LWP 1 \"x\") stopped:\n#0  f in /a/TovraSat.so\n")
                  .Threads()
                  .empty());
}

}  // namespace
