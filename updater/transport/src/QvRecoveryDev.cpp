#include "qv/QvRecoveryDev.h"
#include "qv/QvErrors.h"
#include "qv/QvRecoveryPlan.h"
#include <cstring>
#include <vector>

namespace {
constexpr int RECOVERY_DEVICES = 100;
constexpr DWORD WRITE_TIMEOUT_MS = 1000;
// Links the completion routine and the wait, as one event for the process.
HANDLE g_completionEvent = nullptr;
} // namespace

CQvRecoveryDev::CQvRecoveryDev(CQvDeviceIo* io, std::string name)
    : CQvBase(std::move(name)), m_io(io ? *io : QvSystemDeviceIo()) {}

CQvRecoveryDev::~CQvRecoveryDev() { Release(); }

int CQvRecoveryDev::Open()
{
    // The component may already be attached: keep it across the re-open.
    std::unique_ptr<CQvImageSource> component = std::move(m_component);
    Release();
    m_component = std::move(component);
    for (int i = 0; i < RECOVERY_DEVICES; ++i) {
        std::wstring path = L"\\\\.\\QvMp3RecDevice" + std::to_wstring(i);
        HANDLE h = m_io.OpenFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED);
        if (h != INVALID_HANDLE_VALUE) {
            m_handle = h;
            m_path = path;
            break;
        }
        SetSystemError(GetLastError());
    }
    if (m_handle == INVALID_HANDLE_VALUE)
        return Fail(QV_E_NO_RECOVERY_DEVICE);
    g_completionEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_completionEvent) {
        SetSystemError(GetLastError());
        return Fail(QV_E_EVENT);
    }
    return 0;
}

void CALLBACK CQvRecoveryDev::Completion(DWORD error, DWORD bytes, OVERLAPPED* overlapped)
{
    Io* io = reinterpret_cast<Io*>(overlapped);
    DWORD expected = DWORD(reinterpret_cast<ULONG_PTR>(overlapped->hEvent));
    overlapped->Offset = (error == 0 && bytes == expected) ? bytes : 0;
    InterlockedExchange(&io->completed, 1);
    SetEvent(g_completionEvent);
}

int CQvRecoveryDev::WriteBlock(const uint8_t* buffer, uint32_t length)
{
    if (m_handle == INVALID_HANDLE_VALUE || !g_completionEvent)
        return Fail(QV_E_RECOVERY_WRITE);
    std::memset(&m_write, 0, sizeof m_write);
    m_write.overlapped.Offset = 0;
    // The event field is free with a completion routine: it carries the count.
    m_write.overlapped.hEvent = reinterpret_cast<HANDLE>(ULONG_PTR(length));
    ResetEvent(g_completionEvent);
    if (!m_io.WriteEx(m_handle, buffer, length, &m_write.overlapped, Completion)) {
        SetSystemError(GetLastError());
        return Fail(QV_E_RECOVERY_WRITE);
    }
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        DWORD left = elapsed < WRITE_TIMEOUT_MS ? WRITE_TIMEOUT_MS - elapsed : 0;
        DWORD w = WaitForSingleObjectEx(g_completionEvent, left, TRUE);
        if (m_write.completed)
            break;
        if (w == WAIT_TIMEOUT || (w != WAIT_IO_COMPLETION && w != WAIT_OBJECT_0)) {
            m_io.Cancel(m_handle);
            // The cancelled write still completes through our routine, into
            // this object's OVERLAPPED and the caller's buffer: both must
            // outlive it, so wait for it before going on.
            while (!m_write.completed)
                WaitForSingleObjectEx(g_completionEvent, INFINITE, TRUE);
            return Fail(QV_E_RECOVERY_TIMEOUT);
        }
        // Another APC woke the wait, or a stale signal: our write is still
        // under way, and it can only complete inside one of our waits.
        if (w == WAIT_OBJECT_0)
            ResetEvent(g_completionEvent);
    }
    return m_write.overlapped.Offset != 0 ? 0 : Fail(QV_E_RECOVERY_WRITE);
}

int CQvRecoveryDev::StreamComponent(CQvProgress* progress)
{
    if (!m_component)
        return Fail(QV_E_NO_COMPONENT);
    QvRecoveryPlan plan;
    int r = QvPlanRecovery(m_component->ImageSize(), plan);
    if (r != 0)
        return Fail(r);
    if (progress)
        progress->SetPhase(1, int(plan.blocks));
    std::vector<uint8_t> buffer(QV_RECOVERY_BLOCK);
    uint64_t offset = 0;
    for (uint64_t block = 0; block + 1 < plan.blocks; ++block, offset += QV_RECOVERY_BLOCK) {
        r = m_component->ReadImage(offset, buffer.data(), QV_RECOVERY_BLOCK);
        if (r != 0)
            return Fail(r);
        r = WriteBlock(buffer.data(), QV_RECOVERY_BLOCK);
        if (r != 0)
            return r;
        if (progress)
            progress->Step();
    }
    std::fill(buffer.begin(), buffer.end(), 0);
    r = m_component->ReadImage(offset, buffer.data(), plan.lastLength);
    if (r != 0)
        return Fail(r);
    r = WriteBlock(buffer.data(), plan.lastLength);
    if (progress)
        progress->Step();
    if (m_handle != INVALID_HANDLE_VALUE) {
        m_io.CloseFile(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
    return r;
}

void CQvRecoveryDev::Release()
{
    m_component.reset();
    if (g_completionEvent) {
        CloseHandle(g_completionEvent);
        g_completionEvent = nullptr;
    }
    if (m_handle != INVALID_HANDLE_VALUE) {
        m_io.CloseFile(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
}
