#pragma once

#include "records/host_records.h"

// The 256-colour palette that the model file's skin indices select from; the
// file does not carry it.
extern const _COLOR QUAKE_PALETTE[256];
