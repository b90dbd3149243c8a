#pragma once

#include "ChannelControls.h"

class QWidget;
struct ChannelLayout;

// Builds one terminal channel's frame, with its port panel, inside `client`.
ChannelControls buildTerminalFrame(const ChannelLayout& layout, QWidget* client);
