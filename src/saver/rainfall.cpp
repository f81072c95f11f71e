#include "saver/rainfall.h"

namespace rillo {

Rainfall::Rainfall(const SaverSettings& settings, std::int32_t nSeed)
    : m_settings(settings), m_rain(nSeed) {}

bool Rainfall::Resize(std::int32_t nWidth, std::int32_t nHeight) {
    // The rain keeps the screen's size even when the field cannot be had.
    m_nScreenWidth = nWidth;
    m_nScreenHeight = nHeight;
    return m_ripple.Resize(nWidth, nHeight);
}

std::int32_t Rainfall::GetStrength() const {
    return std::int32_t(std::uint32_t(m_settings.nAmplitude) - std::uint32_t(kStrengthOffset));
}

int Rainfall::DrawDrops(CRain& rain, const SaverSettings& settings, std::int32_t nScreenWidth,
                        std::int32_t nScreenHeight, std::int32_t nFieldWidth,
                        std::int32_t nFieldHeight, RippleDrop* pDrops) {
    const ScreenRect accept = nFieldWidth > 0 && nFieldHeight > 0
                                  ? CRain::AcceptanceRect(nFieldWidth, nFieldHeight)
                                  : CRain::AcceptanceRect(0, 0);
    const std::int32_t strength =
        std::int32_t(std::uint32_t(settings.nAmplitude) - std::uint32_t(kStrengthOffset));
    int drops = 0;
    for (int attempt = 0; attempt < kAttemptsPerTick; ++attempt) {
        const RainAttempt a = rain.Attempt(nScreenWidth, nScreenHeight, accept);
        if (a.bDrop)
            pDrops[drops++] = RippleDrop{a.nCellX, a.nCellY, settings.nWavelength, strength};
    }
    return drops;
}

int Rainfall::Tick(const std::uint32_t* pPicture, std::uint32_t* pFrame) {
    PrepareTick(pPicture, pFrame);
    m_ripple.RunPendingTasks();
    return FinishTick();
}

int Rainfall::PrepareTick(const std::uint32_t* pPicture, std::uint32_t* pFrame) {
    // An empty rectangle accepts nothing: the rain goes on, the water stays still.
    const bool bPictures = pPicture && pFrame && m_ripple.GetWidth() > 0;
    RippleDrop drops[kAttemptsPerTick];
    m_nSteps =
        DrawDrops(m_rain, m_settings, m_nScreenWidth, m_nScreenHeight,
                  bPictures ? m_ripple.GetWidth() : 0, bPictures ? m_ripple.GetHeight() : 0, drops);
    m_rcChanged = {};
    if (m_nSteps == 0)
        return 0;
    return m_ripple.PrepareSteps(drops, m_nSteps, pPicture, pFrame);
}

int Rainfall::FinishTick() {
    if (m_nSteps > 0) {
        m_ripple.FinishSteps();
        m_rcChanged = m_ripple.GetChangedRect();
    }
    return m_nSteps;
}

int TickRainfalls(Rainfall* const* ppRains, int nRains, const std::uint32_t* const* pPictures,
                  std::uint32_t* const* pFrames, WorkerPool& workers) {
    // The tasks of a phase, numbered across the rains in order.
    struct Job {
        Rainfall* const* ppRains;
        int nRains;
        int nPhase;
        static void Run(void* p, int nTask) {
            const Job& job = *static_cast<const Job*>(p);
            for (int n = 0; n < job.nRains; ++n) {
                CRippleField& field = job.ppRains[n]->GetField();
                const int tasks = field.GetPendingTasks();
                if (nTask < tasks) {
                    field.RunTask(job.nPhase, nTask);
                    return;
                }
                nTask -= tasks;
            }
        }
    };
    int tasks = 0;
    for (int n = 0; n < nRains; ++n)
        tasks += ppRains[n]->PrepareTick(pPictures[n], pFrames[n]);
    for (int phase = 0; phase < 2; ++phase) {
        Job job{ppRains, nRains, phase};
        workers.Run(tasks, Job::Run, &job);
    }
    int steps = 0;
    for (int n = 0; n < nRains; ++n)
        steps += ppRains[n]->FinishTick();
    return steps;
}

} // namespace rillo
