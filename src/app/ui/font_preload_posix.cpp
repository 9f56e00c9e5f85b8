// Font configuration preload for fontconfig systems, on a POSIX thread.
#include "app/ui/font_preload.h"

#include <fontconfig/fontconfig.h>
#include <pthread.h>
#include <sched.h>

namespace terva::app {

struct FontPreload::Worker {
  pthread_t thread{};
  cpu_set_t allowed{};
};

namespace {

// arg: the cores the process may run on.
void* loadConfiguration(void* arg) {
  const auto* allowed = static_cast<const cpu_set_t*>(arg);
  // Started on another core (see below); from now on the scheduler may move
  // the thread wherever the process may run.
  pthread_setaffinity_np(pthread_self(), sizeof *allowed, allowed);
  FcInit();
  return nullptr;
}

}  // namespace

FontPreload::FontPreload() {
  auto worker = std::make_unique<Worker>();
  if (sched_getaffinity(0, sizeof worker->allowed, &worker->allowed) != 0) return;
  // A new thread is queued on its parent's core and, while the parent keeps
  // that core busy, waits for the load balancer (over a millisecond seen on a
  // two-core machine). Asking for any other core starts it at once.
  cpu_set_t others = worker->allowed;
  const int here = sched_getcpu();
  if (here < 0 || here >= CPU_SETSIZE) return;
  CPU_CLR(here, &others);
  if (CPU_COUNT(&others) == 0) return;  // one core: nothing to gain

  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) return;
  const bool ready = pthread_attr_setaffinity_np(&attr, sizeof others, &others) == 0 &&
                     pthread_create(&worker->thread, &attr, loadConfiguration, &worker->allowed) == 0;
  pthread_attr_destroy(&attr);
  if (ready) worker_ = std::move(worker);
}

FontPreload::~FontPreload() { finish(); }

void FontPreload::finish() {
  if (!worker_) return;
  pthread_join(worker_->thread, nullptr);
  worker_.reset();
}

}  // namespace terva::app
