// A spatial file that reaches up to the state layer: the layer check must refuse it.
#include "state/state.h"
