#include "qv/QvTransportFactory.h"
#include "qv/QvErrors.h"
#include "qv/QvScsi_9x.h"
#include "qv/QvScsi_Nt.h"
#include "qv/QvVersionClass.h"

int QvCurrentVersionClass()
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info))
        return 6;
    return QvWindowsVersionClass(info.dwMajorVersion, info.dwMinorVersion);
}

int QvCreateTransport(CQvTransportOwner* owner, CQvDeviceIo* io, std::unique_ptr<CQvScsiTransport>& transport)
{
    return QvCreateTransportForClass(QvCurrentVersionClass(), owner, io, transport);
}

int QvCreateTransportForClass(int versionClass, CQvTransportOwner* owner, CQvDeviceIo* io,
                              std::unique_ptr<CQvScsiTransport>& transport)
{
    transport.reset();
    switch (versionClass) {
    case 0:
    case 1:
        transport = std::make_unique<CQvScsi_9x>(owner, io);
        break;
    case 2:
    case 3:
        transport = std::make_unique<CQvScsi_Nt>(owner, io);
        break;
    default:
        return QV_E_NO_TRANSPORT;
    }
    return transport->LastError();
}
