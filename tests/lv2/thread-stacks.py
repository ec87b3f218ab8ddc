# thread-stacks.py: sourced by gdb in batch mode once a host has stopped; prints every thread's
# stack with the shared object of each frame. gdb's own backtrace names the object only for frames
# without line information, and a module built with debug information would hide its frames.
import gdb


def object_of(pc):
    return gdb.solib_name(pc) or gdb.current_progspace().filename or "??"


def print_thread(thread, mark):
    thread.switch()
    print('Thread %d (LWP %d "%s")%s:' % (thread.num, thread.ptid[1], thread.name or "", mark))
    frame = gdb.newest_frame()
    level = 0
    while frame is not None:
        print("#%-3d %s in %s" % (level, frame.name() or "??", object_of(frame.pc())))
        frame = frame.older()
        level += 1


inferior = gdb.selected_inferior()
if inferior.pid == 0:
    print("thread stacks: none, the host is gone")
else:
    # The thread selected when the host stopped is the one the signal was for.
    stopped = gdb.selected_thread()
    print("thread stacks:")
    for thread in sorted(inferior.threads(), key=lambda t: t.num):
        print_thread(thread, " stopped" if thread == stopped else "")
