// Compiled against one layer to see whether a header of another layer can be reached.
#include INCLUDED_HEADER
