#pragma once

// Windows's own dialogs (the print dialog is PrintDlgEx's, not a Qt widget): cancels every dialog of
// the calling thread that shows, as its Cancel button does. Returns how many there were.
int CancelNativeDialogs();
