// Placeholders for the renderers' entry points until each renderer lands: the renderer of a
// family deletes its block here and implements the functions in its own file.
#include "skin/render/registration.h"
