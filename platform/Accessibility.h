#pragma once
// The desktop read by assistive technology. The main window's accessible
// tree holds one push button per object of the table, named after the object,
// described by its caption, pressed as a click would press it; its states
// follow the desktop (keyboard focus, pressed look, selection, hidden).
// QAccessible::queryAccessibleInterface on the main window's Qt window gives
// that tree, and so does the window's accessibleRoot for the platform bridge.

// After a presented frame: tells assistive technology what changed since the
// last call (the object with the focus, objects that came into or went out of
// view, renamed objects). Does nothing while no assistive technology listens.
void AnnounceAccessibleChanges();
