#pragma once

#include "kt482/draw_surface.h"
