// WorkerPool: a few threads, started once, that run the tasks of one job at a time
// beside the thread that hands the job in.
//
// The caller takes tasks too and returns once every task has finished, so a job is
// a plain function call to it. Tasks are claimed in order but may run in any order
// and on any thread: a job's tasks must not depend on one another. Running a job
// allocates nothing.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace rillo {

class WorkerPool {
  public:
    using Task = void (*)(void* pContext, int nTask);

    // nThreads threads in all, the caller's included; 0 means one per core.
    explicit WorkerPool(int nThreads = 0);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Threads that run a job's tasks, the caller's included.
    int GetThreadCount() const { return int(m_threads.size()) + 1; }

    // Runs pfnTask(pContext, 0 .. nTasks - 1) and returns when all have finished.
    // One job at a time, from one thread.
    void Run(int nTasks, Task pfnTask, void* pContext);

  private:
    void Work();
    void TakeTasks();

    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_start;
    std::condition_variable m_done;
    std::uint64_t m_nJob = 0; // counts jobs handed out, under m_mutex
    bool m_bStop = false;
    int m_nBusy = 0; // workers still on the current job, under m_mutex
    Task m_pfnTask = nullptr;
    void* m_pContext = nullptr;
    int m_nTasks = 0;
    std::atomic<int> m_nNext{0};
};

} // namespace rillo
