#include <windows.h>

#include "platform/background_task.h"
#include "platform/text_win32.h"

namespace rigwright {
namespace {

class PoolTask final : public BackgroundTask {
 public:
  explicit PoolTask(std::function<void()> task) : task_(std::move(task)) {}
  ~PoolTask() override {
    if (!work_) return;
    // A task that has not started yet never will: starting it may need a new pool thread, and a
    // new thread cannot start while this one holds the loader lock (it would wait for that lock
    // to tell every DLL of its arrival), so waiting for it to start and end would never finish.
    ::WaitForThreadpoolWorkCallbacks(work_, TRUE);
    ::CloseThreadpoolWork(work_);
  }

  PoolTask(const PoolTask&) = delete;
  PoolTask& operator=(const PoolTask&) = delete;

  bool Submit(std::string* error) {
    work_ = ::CreateThreadpoolWork(&PoolTask::Run, this, nullptr);
    if (!work_) {
      *error = "cannot start a thread: " + Win32ErrorText(::GetLastError());
      return false;
    }
    ::SubmitThreadpoolWork(work_);
    return true;
  }

 private:
  static void CALLBACK Run(PTP_CALLBACK_INSTANCE instance, void* context, PTP_WORK) {
    // The pool keeps other work off a thread that is known to block for long.
    ::CallbackMayRunLong(instance);
    static_cast<PoolTask*>(context)->task_();
  }

  std::function<void()> task_;
  PTP_WORK work_ = nullptr;
};

}  // namespace

std::unique_ptr<BackgroundTask> StartBackgroundTask(std::function<void()> task,
                                                    std::string* error) {
  auto pooled = std::make_unique<PoolTask>(std::move(task));
  if (!pooled->Submit(error)) return nullptr;
  return pooled;
}

}  // namespace rigwright
