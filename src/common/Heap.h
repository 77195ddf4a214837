#pragma once
// How the process's heap is set up for page work.

namespace vellumark {

// Keeps buffers of up to a few tens of megabytes (a page's pixels) in the heap for reuse,
// instead of a fresh mapping for each that the kernel must fault in and zero, page after page;
// what the heap holds beyond that is still given back. Call once, first thing in main, before
// other threads start. Does nothing where the C library has no such setting.
void KeepPageBuffersInHeap() noexcept;

}  // namespace vellumark
