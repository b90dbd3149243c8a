#pragma once

// Hands memory the program has freed back to the system. glibc keeps freed memory from the
// system while it lies below its trim threshold or below other allocations, so a burst that has
// passed (a full log cleared, a stream of megabytes ended) would stay resident for good.
void giveFreedMemoryBack();
