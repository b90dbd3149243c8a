#include "DeviceWatch.h"

#include "moc_DeviceWatch.cpp"
