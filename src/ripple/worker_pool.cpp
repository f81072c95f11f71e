#include "ripple/worker_pool.h"

namespace rillo {

WorkerPool::WorkerPool(int nThreads) {
    if (nThreads <= 0)
        nThreads = int(std::thread::hardware_concurrency());
    if (nThreads < 1)
        nThreads = 1;
    m_threads.reserve(std::size_t(nThreads - 1));
    for (int n = 1; n < nThreads; ++n)
        m_threads.emplace_back([this] { Work(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_start.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

void WorkerPool::TakeTasks() {
    for (int n; (n = m_nNext.fetch_add(1, std::memory_order_relaxed)) < m_nTasks;)
        m_pfnTask(m_pContext, n);
}

void WorkerPool::Run(int nTasks, Task pfnTask, void* pContext) {
    if (nTasks <= 0)
        return;
    if (m_threads.empty() || nTasks == 1) {
        for (int n = 0; n < nTasks; ++n)
            pfnTask(pContext, n);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pfnTask = pfnTask;
        m_pContext = pContext;
        m_nTasks = nTasks;
        m_nNext.store(0, std::memory_order_relaxed);
        m_nBusy = int(m_threads.size());
        ++m_nJob;
    }
    m_start.notify_all();
    TakeTasks();
    // The workers' tasks are finished (and their writes visible) once each has
    // reported under the mutex.
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return m_nBusy == 0; });
}

void WorkerPool::Work() {
    std::uint64_t nSeen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_start.wait(lock, [&] { return m_bStop || m_nJob != nSeen; });
            if (m_bStop)
                return;
            nSeen = m_nJob;
        }
        TakeTasks();
        bool bLast;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            bLast = --m_nBusy == 0;
        }
        if (bLast)
            m_done.notify_one();
    }
}

} // namespace rillo
