// The kt482 form printing library.
#pragma once

#include "kt482/draw_surface.h"
#include "kt482/kt482_print.h"
#include "kt482/member_table.h"
#include "kt482/variant.h"
#include "kt482/version.h"
