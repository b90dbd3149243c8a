#include "SerialControl.h"

#include "moc_SerialControl.cpp"
