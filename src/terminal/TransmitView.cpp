#include "TransmitView.h"

#include "moc_TransmitView.cpp"
