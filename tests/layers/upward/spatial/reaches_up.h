// A spatial file that reaches up to the data layer: the layer check must refuse it.
#include "data/state.h"
