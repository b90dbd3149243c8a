#include "LogView.h"
