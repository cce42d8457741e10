// Work off the user-interface thread, and the one road back onto it.
#pragma once
#include <functional>

// Runs `proc` on a pool thread and returns when it has finished; meanwhile the calling
// (user-interface) thread keeps dispatching its messages. Errors of `proc` are swallowed.
void Wait(const std::function<void()>& proc);
// The same, but an error raised by `proc` is raised again here, on the calling thread.
void WaitOrRaise(const std::function<void()>& proc);

// The user-interface thread's task queue (a hidden message window). Tasks run on that
// thread in the order they were queued, whichever call queued them.
void InitMainThread();
void ShutdownMainThread();  // pending tasks are dropped; later ones are refused
bool IsMainThread();
// Queues and returns at once. False when the queue is shut down.
bool QueueToMain(std::function<void()> task);
// Queues and waits until the task has run (runs directly on the main thread). An error
// raised by the task is raised again here. False when the task could not run.
bool SyncToMain(const std::function<void()>& task);
