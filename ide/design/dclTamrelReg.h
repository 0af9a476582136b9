// The design-time package tamreldsgn: the environment loads it and calls Register once, which
// puts the library's components on the palette page "Tamrel" and starts the add-in library
// tamrelwiz (its wizards, property editors and the two dialog components).
#pragma once

// Exported undecorated (stdcall, no arguments). Catches nothing: a registration the environment
// refuses, or a failure of the add-in library's entry, reaches the environment's package loader.
extern "C" void __stdcall Register();

// Run by the environment before it frees the package: the add-in library's wizards and about
// item are removed while its code is still loaded.
extern "C" void __stdcall Finalize();
