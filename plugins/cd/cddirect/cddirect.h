/* State of cddirect shared between its entry points and its setup dialog. */
#ifndef CDDIRECT_H
#define CDDIRECT_H

#include <windows.h>

/* This library's module, which holds the dialog template; recorded by the
   library's entry function. */
extern HINSTANCE ModuleInstance;

#endif
