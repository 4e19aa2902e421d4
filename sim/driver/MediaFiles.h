// The simulated player's flash memory and card slot, backed by image files.
// The control device (ControlDevice.cpp) calls these; the command groups
// themselves are the model's (sim/model, MediaModel.h).
#pragma once

#include "DriverShared.h"


// Groups 1 and 2 of the model answer from the media set here; called after
// every reset of the model (which forgets its groups).
void MediaAttachGroups(vilosim::CPlayerModel* model);
// SimMediaImage, then a UTF-16 path (NT or DOS form); no path empties the
// slot. The model's groups change under the driver's lock.
NTSTATUS MediaSetImage(bool flash, const void* buffer, ULONG length);
// Closes every media file (reset and unload); the model must not run meanwhile.
void MediaCloseAll();
