#pragma once

#include "kt482/failure.h"
