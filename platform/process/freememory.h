#pragma once
// Gives the heap's free pages back to the system. The allocator keeps what a burst of
// work freed (parsing a profile, a language file, a tablet's opening) resident for
// reuse; a program that then waits in the tray for hours has no use for it. Cheap (a
// walk of the free lists), so it may follow every such burst.
void ReturnFreeHeapPages();
