/* The check of an ECM file's whole-image checksum, behind the dialog's
 * "Verify" button. */
#ifndef CDIMAGE_VERIFY_H
#define CDIMAGE_VERIFY_H

#include <windows.h>

/* Checks the ECM file at path with a progress dialog owned by owner (its
   Cancel stops the check), then says in a message box "Verify" what it
   found. False, with nothing said, when the user cancelled. */
bool VerifyEcmImage(HWND owner, const wchar_t *path);

#endif
