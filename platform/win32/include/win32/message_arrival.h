// A wake-up hook on a thread's message queue, for an event loop of another kind (the forms
// runtime's) that serves the thread's windows too: instead of polling, it is called each time a
// message arrives in the queue — posted (PostMessage, PostThreadMessage), sent from another
// thread (SendMessage) or a quit request — and then takes the messages with PeekMessage on its
// own thread.
#pragma once

namespace win32 {

using MessageArrivalNotifier = void (*)(void* context);

// Sets the calling thread's notifier (nullptr removes it). It is called on the thread that
// queued the message, after the message is in the queue and outside the queue's lock; it must
// not block, and typically wakes the owner's loop. Calls for one thread are serialised, and
// removing or replacing the notifier waits for a call in progress, so that after it returns the
// old context is no longer used. A thread's notifier goes with the thread.
void SetMessageArrivalNotifier(MessageArrivalNotifier notifier, void* context);

}  // namespace win32
