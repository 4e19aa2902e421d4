// The simulated player's flash memory and card slot, backed by image files.
// ViloSimDriver.cpp calls these from its control channel; the command groups
// themselves are the model's (sim/model, MediaModel.h).
#pragma once

#include <intrin.h>
// As in ViloSimDriver.cpp: the DDK's copies of these two go by other names.
#define InterlockedBitTestAndSet DdkInterlockedBitTestAndSet
#define InterlockedBitTestAndReset DdkInterlockedBitTestAndReset
extern "C" {
#include <ntddk.h>
}
#undef InterlockedBitTestAndSet
#undef InterlockedBitTestAndReset

#include "vilosim/PlayerModel.h"

// Groups 1 and 2 of the model answer from the media set here; called after
// every reset of the model (which forgets its groups).
void MediaAttachGroups(vilosim::CPlayerModel* model);
// SimMediaImage, then a UTF-16 path (NT or DOS form); no path empties the
// slot. Serialises with the model's packets through the lock routines given.
NTSTATUS MediaSetImage(bool flash, const void* buffer, ULONG length, void (*lock)(), void (*unlock)());
// Closes every media file (reset and unload); the model must not run meanwhile.
void MediaCloseAll();
