#include "NetworkSerialControl.h"
