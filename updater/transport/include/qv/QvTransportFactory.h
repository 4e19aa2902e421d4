// Chooses the transport for the running Windows version: 95/98/ME get the
// ASPI transport, 2000 and XP the pass-through one, others none (-27).
#pragma once
#include "qv/QvDeviceIo.h"
#include "qv/QvScsiTransport.h"
#include <memory>

int QvCurrentVersionClass();
// transport receives the new object, whose own construction result (for
// instance -19 without WNASPI32.DLL) is returned.
int QvCreateTransport(CQvTransportOwner* owner, CQvDeviceIo* io, std::unique_ptr<CQvScsiTransport>& transport);
int QvCreateTransportForClass(int versionClass, CQvTransportOwner* owner, CQvDeviceIo* io,
                              std::unique_ptr<CQvScsiTransport>& transport);
