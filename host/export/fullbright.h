// The texels the game draws at full brightness whatever light falls on them:
// eyes, flames, lava, lamps. The host receives a skin as colours, after the
// palette, so a texel is told by its colour: that of one of the palette's
// last 32 entries and of none before them. The palette repeats a colour or
// two of its lit entries among those, and such a texel stays lit.
#pragma once

#include <string>

#include "received_model.h"

bool IsFullbright(const _COLOR& colour);

// The skin's fullbright texels in their own colours and every other texel
// black, as PNG: the glow the export adds to the lit skin. Empty when the
// skin has none, or no pixels.
std::string EncodeFullbrightPng(const Skin& skin);
