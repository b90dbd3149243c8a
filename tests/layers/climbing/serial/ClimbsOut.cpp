// A file of the serial layer that reaches a terminal header beside its folder.
#include "../terminal/Product.h"
