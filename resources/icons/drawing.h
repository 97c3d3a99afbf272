// The three icons' pictures, drawn at any size.
#pragma once

#include "image.h"

// Quorvi: a blue tile with a "Q"-like ring and tail.
Image DrawQuorvi(int size);
// Quorvi service control: an amber tile with a start/stop (power) glyph.
Image DrawServiceControl(int size);
// The small helper programs: a teal tile with a "start" triangle.
Image DrawSmall(int size);
