#include "ChannelView.h"

#include "moc_ChannelView.cpp"
