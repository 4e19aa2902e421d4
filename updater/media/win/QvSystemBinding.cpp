#include "qv/QvSystemBinding.h"
#include "qv/QvErrors.h"
#include "qv/QvTransportFactory.h"
#include <windows.h>
#include <new>
#include <vector>

int CQvSystemBinding::CreateTransport(CQvTransportOwner* owner, std::unique_ptr<CQvScsiTransport>& transport)
{
    return QvCreateTransport(owner, m_io, transport);
}

std::string CQvSystemBinding::ToOem(const std::u16string& text)
{
    // A double-byte OEM code page takes up to two bytes a character: the
    // buffer is sized for that from the text.
    std::wstring wide(text.begin(), text.end());
    std::vector<char> oem(2 * wide.size() + 1, 0);
    if (!CharToOemW(wide.c_str(), oem.data()))
        return std::string();
    return std::string(oem.data());
}

int CQvSystemBinding::OpenRecoveryDevice()
{
    if (!m_recovery) {
        m_recovery.reset(new (std::nothrow) CQvRecoveryDev(m_io));
        if (!m_recovery)
            return QV_E_NOMEM;
    }
    return m_recovery->Open();
}

int CQvSystemBinding::StreamRecovery(CQvProgress* progress, std::unique_ptr<CQvImageSource> component)
{
    if (!m_recovery)
        return QV_E_NO_RECOVERY_DEVICE;
    m_recovery->AttachComponent(std::move(component));
    int r = m_recovery->StreamComponent(progress);
    m_recovery.reset();
    return r;
}
