#pragma once

#include <QString>

// Port numbers 1 to 16 with the device each opens (environment, port map, default), whether it
// is there and what adapter it is; then every serial device present that no number opens, with
// the line that would give it one in the port map.
QString portListing();

// The port map file: "Duplink ports.ini" in the data folder.
QString portMapPath();
