#include <exception>
#include <thread>

#include "platform/background_task.h"

namespace rigwright {
namespace {

class ThreadTask final : public BackgroundTask {
 public:
  explicit ThreadTask(std::function<void()> task) : thread_(std::move(task)) {}
  ~ThreadTask() override { thread_.join(); }

 private:
  std::thread thread_;
};

}  // namespace

std::unique_ptr<BackgroundTask> StartBackgroundTask(std::function<void()> task,
                                                    std::string* error) {
  try {
    return std::make_unique<ThreadTask>(std::move(task));
  } catch (const std::exception& failure) {
    *error = std::string("cannot start a thread: ") + failure.what();
    return nullptr;
  }
}

}  // namespace rigwright
