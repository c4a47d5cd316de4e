// The sky: the cloud image and the dome that carries it, for code that uses both.
#pragma once

#include "assets/clouds.h"
#include "assets/sky_dome.h"
